#include "sync/OrnivelSynchronizer.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "common/FileTimes.h"
#include "common/Handles.h"
#include "common/Text.h"
#include "common/WholeWrite.h"
#include "logdriver/LastError.h"
#include "remote/UrlEncode.h"
#include "remote/RemoteSourceCombination.h"
#include "remote/RemoteSourceFactory.h"
#include "remote/WinHttpSource.h"
#include "sync/DeploymentServerInfo.h"
#include "filelist/FileList.h"
#include "sync/GhostscriptUnpacker.h"
#include "sync/HeldFile.h"
#include "sync/InstallationLock.h"
#include "filelist/ListWriter.h"
#include "sync/LocalPaths.h"
#include "sync/OrnivelClient.h"
#include "sync/RestartScript.h"
#include "sync/ServerFile.h"
#include "sync/SignedList.h"
#include "sync/UnfinishedUpdate.h"
#include "sync/UpdateStatus.h"
#include "config/StoredValues.h"

namespace ornivel {

namespace {

const wchar_t kServerFile[] = L"ornivel-Server.dat";
const wchar_t kFileList[] = L"TarnFileList.xml";
const wchar_t kNewFileList[] = L"TarnFileList.new";

// A version-check answer is one line of a server list; nothing real comes near this size, and
// a longer one is not taken (it would be kept in the registry and read again at every start).
constexpr size_t kMaxAnswerBytes = 64 * 1024;

// The first line of a text file read in text mode (a CR before the LF is dropped); false when
// it is longer than kMaxAnswerBytes.
bool readFirstLine(const std::wstring& path, std::string& line) {
    line.clear();
    FILE* file = _wfopen(path.c_str(), L"r");
    if (!file) return true;
    int c = std::fgetc(file);
    for (; c != EOF && c != '\n' && line.size() <= kMaxAnswerBytes; c = std::fgetc(file))
        line.push_back(static_cast<char>(c));
    std::fclose(file);
    return line.size() <= kMaxAnswerBytes;
}

std::wstring temporaryFile() {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t file[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, folder) == 0) return {};
    if (GetTempFileNameW(folder, L"ornivel-deploy", 0, file) == 0) return {};
    return file;
}

// A note or stamp of the installation (a short text); empty when there is none.
std::string readSmallFile(const std::wstring& path) {
    std::string text;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !readWhole(file.get(), text, 256)) text.clear();
    return text;
}

bool writeSmallFile(const std::wstring& path, const std::string& text) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    return file && writeWhole(file.get(), text.data(), text.size());
}

// What identifies the listed archive: its checksum, or its size and time without one.
std::string archiveIdentity(const FileListFile& entry) {
    if (!entry.checksum.empty()) return toUtf8(entry.checksum);
    return std::to_string(entry.size) + " " + std::to_string(entry.timestamp);
}

const wchar_t kGhostscriptArchive[] = L"system\\gs.rar";
const wchar_t kGhostscriptStamp[] = L"system\\gs.rar.unpacked";


} // namespace

const wchar_t* failureReason(int step) {
    switch (step) {
    case FAILURE_CLIENT_CHECKSUM: return L"Adapting client checksum failed.";
    case FAILURE_FILE_LIST: return L"Download of file list failed.";
    case FAILURE_DELETING: return L"Deleting of local unused files failed.";
    case FAILURE_DOWNLOADING: return L"Downloading files failed.";
    default: return L"Loading of local configuration file failed.";
    }
}

std::wstring failureMessage(int step) {
    return std::wstring(L"An error occured while retrieving automatic updates: \r\n") + failureReason(step) +
           L"\r\n\r\nSee log file for details.";
}

OrnivelSynchronizer::OrnivelSynchronizer(bool fieldService, const std::wstring& folder, const LogDriver& log,
                                         bool debug)
    : folder_(folder.empty() ? currentFolder() : folder),
      log_(log),
      fieldService_(fieldService),
      debug_(debug),
      constructedAt_(GetTickCount()) {
    log_.log(LOG_INFO, L"---------------------------------------");
}

OrnivelSynchronizer::~OrnivelSynchronizer() = default;

RunOutcome OrnivelSynchronizer::outcome() const {
    return {result_, filesFetched_, bytesFetched_, (GetTickCount() - constructedAt_) / 1000u};
}

void OrnivelSynchronizer::addListener(ProgressListener* listener) { progress_.addListener(listener); }

void OrnivelSynchronizer::progress(const int* phase, const wchar_t* text, const int* current, const int* total,
                                   const int* percent, const int* extra) {
    progress_.progress(phase, text, current, total, percent, extra);
}

void OrnivelSynchronizer::reportPhase(int phase) { progress(&phase, nullptr, nullptr, nullptr, nullptr, nullptr); }

void OrnivelSynchronizer::reportText(const std::wstring& text) {
    progress(nullptr, text.c_str(), nullptr, nullptr, nullptr, nullptr);
}

std::wstring OrnivelSynchronizer::localPath(const std::wstring& name) {
    if (folder_.back() != L'\\' && folder_.back() != L'/') folder_ += L'\\';
    return folder_ + name;
}

std::wstring OrnivelSynchronizer::modulePath() { return ornivel::modulePath(); }

std::wstring OrnivelSynchronizer::withExtension(const std::wstring& path, const std::wstring& extension) {
    return ornivel::withExtension(path, extension);
}

bool OrnivelSynchronizer::synchronizeFolder(const std::wstring& deploymentKey, const std::wstring& restartArguments) {
    bool success = true;
    int step = FAILURE_LOCAL_CONFIGURATION;
    std::string answer;

    const std::wstring serverFile = localPath(kServerFile);
    std::string url;
    const bool serverFileRead = readServerUrl(serverFile, url);
    const LastError serverFileError;  // taken before the next calls replace it
    reportPhase(PHASE_WAITING);
    // No second run ever writes into a synchronisation in progress: a start that finds
    // another one at work waits for it, then asks the version check itself.
    InstallationLock lock(localPath(L""), log_);
    lock.acquire([this] { reportText(L"another start is updating this installation"); });
    DeleteFileW(L"copyrun.bat");  // left over from an earlier restart
    log_.log(LOG_INFO, L"Synchronizing local folder %s", folder_.c_str());
    log_.log(LOG_DEBUG, L"Server file name is %s", serverFile.c_str());

    bool answered = true;
    bool listDelivered = false;
    if (!serverFileRead) {
        log_.log(LOG_DEBUG, L"Could not find Server file %s. %s", serverFile.c_str(), serverFileError.text().c_str());
        if (fieldService_) {
            log_.log(LOG_INFO, L"Error adapting client checksum. Error: %s", serverFileError.text().c_str());
            result_ = RESULT_NO_CONFIGURATION;
            return true;
        }
        RegistryString saved(deploymentKey);
        answer = toAnsi(saved.get());
        log_.log(LOG_DEBUG, L"Request unsuccessful, using Saved value '%s'", maskedServerList(fromAnsi(answer)).c_str());
        if (answer.empty()) {
            success = false;
            log_.log(LOG_INFO, L"Error adapting client checksum. Error: %s", serverFileError.text().c_str());
            answered = false;
            result_ = RESULT_NO_CONFIGURATION;
        }
    } else if (!checkVersion(url, answer)) {
        result_ = RESULT_NO_VERSION_CHECK;
        return startOffline();
    }

    if (answered) {
        step = FAILURE_CLIENT_CHECKSUM;
        log_.log(LOG_DEBUG, L"Response is '%s'", maskedServerList(fromAnsi(answer)).c_str());
        // An update that began and did not finish is finished, whatever the check says.
        if (answer == "OK" && serverFileRead && updateUnfinished() &&
            !answerForUnfinishedUpdate(url, deploymentKey, answer)) {
            result_ = RESULT_NO_VERSION_CHECK;
            return false;
        }
        if (answer == "OK") {
            log_.log(LOG_INFO, L"Version checksum is OK. No synchronisation necessary.");
            return true;
        }
        if (answer == "ERROR") {
            log_.log(LOG_INFO, L"Error adapting client checksum.");
            success = false;
            result_ = RESULT_NO_VERSION_CHECK;
        } else {
            const std::vector<DeploymentServerInfo> servers = trustedOnly(parseServerList(fromAnsi(answer)));
            step = FAILURE_FILE_LIST;
            if (refusedAllServers_) {
                success = false;
                result_ = RESULT_LIST_REFUSED;
            }
            for (const DeploymentServerInfo& server : servers) {
                reportText(server.displayName());
                // A server of an unknown type is passed over before anything else of it is looked at.
                std::unique_ptr<RemoteSource> source = createRemoteSource(
                    server.type, server.host, server.path, server.port, server.userName, server.password, log_);
                if (!source) {
                    log_.log(LOG_DEBUG, L"Unknown type of deployment server.");
                    continue;
                }
                if (server.hasControlCharacter()) {
                    log_.log(LOG_ERROR, L"Deployment server '%s' is not used: its host or path holds a control character.",
                             server.displayName().c_str());
                    success = false;
                    continue;
                }
                if (!source->download(kFileList, localPath(kNewFileList), this)) {
                    log_.log(LOG_DEBUG, L"Could not get remote file list.");
                    success = false;
                    continue;
                }
                listDelivered = true;
                server_ = &server;
                updateFromServer(*source, answer, deploymentKey, restartArguments, success, step);
                server_ = nullptr;
                break;
            }
            if (!success && !listDelivered) {
                result_ = RESULT_NO_FILE_LIST;
                if (startOffline()) return true;
            }
        }
    }

    if (success) return true;
    if (restartPending_) return false;
    log_.log(LOG_FATAL, L"%s", failureMessage(step).c_str());
    return false;
}

std::vector<DeploymentServerInfo> OrnivelSynchronizer::trustedOnly(std::vector<DeploymentServerInfo> servers) {
    refusedAllServers_ = false;
    if (!SignedListCheck(localPath(L""), log_).required()) return servers;
    const std::optional<std::vector<DeploymentServerInfo>> trusted = trustedServersOf(localPath(kFileList));
    if (!trusted) return servers;  // no signed list has named the servers yet
    std::vector<DeploymentServerInfo> kept;
    for (DeploymentServerInfo& server : servers) {
        const bool named = std::any_of(trusted->begin(), trusted->end(), [&server](const DeploymentServerInfo& t) {
            return sameDeploymentServer(server, t);
        });
        if (named) {
            kept.push_back(std::move(server));
        } else {
            log_.log(LOG_WARNING, L"Deployment server %s|%s|%s|%d is not used: the deployment's signed file list does "
                                  L"not name it.",
                     server.type.c_str(), server.host.c_str(), server.path.c_str(), server.port);
        }
    }
    if (kept.empty() && !servers.empty()) {
        refusedAllServers_ = true;
        log_.log(LOG_ERROR, L"The version check names none of the deployment servers that the deployment's signed file "
                            L"list names (the answer may have been altered on its way): the update is refused and "
                            L"nothing was changed.");
    }
    return kept;
}

bool OrnivelSynchronizer::startOffline() {
    if (!offlineStartDays_ || updateUnfinished()) return false;
    const std::optional<uint64_t> lastSuccess = lastSuccessOf(folder_);
    const uint64_t now = secondsSince1970Now();
    if (!lastSuccess || now < *lastSuccess || now - *lastSuccess > uint64_t(*offlineStartDays_) * 86400u) return false;
    log_.log(LOG_INFO, L"Working offline: the deployment cannot be reached, and the last complete update (%S) lies "
                       L"within the %u days the policy allows.",
             isoUtcText(*lastSuccess).c_str(), static_cast<unsigned>(*offlineStartDays_));
    reportText(L"working offline");
    return true;
}

bool OrnivelSynchronizer::answerForUnfinishedUpdate(const std::string& url, const std::wstring& deploymentKey,
                                                    std::string& answer) {
    log_.log(LOG_INFO, L"The last update of this installation did not finish; it is finished now.");
    answer = toAnsi(RegistryString(deploymentKey).get());
    if (!answer.empty() && answer != "OK" && answer != "ERROR") {
        log_.log(LOG_DEBUG, L"Using Saved value '%s'", maskedServerList(fromAnsi(answer)).c_str());
        return true;
    }
    if (!checkVersion(url, answer, kUnmatchableChecksum)) return false;
    log_.log(LOG_DEBUG, L"Response is '%s'", maskedServerList(fromAnsi(answer)).c_str());
    return true;
}

bool OrnivelSynchronizer::checkVersion(const std::string& url, std::string& answer, const std::wstring& checksum) {
    OrnivelClient client(folder_, log_);
    log_.log(LOG_DEBUG, L"Server URL is '%S'", url.c_str());
    const std::wstring wideUrl = fromAnsi(url);
    int phase = PHASE_CONTACTING_SERVER;
    progress(&phase, wideUrl.c_str(), nullptr, nullptr, nullptr, nullptr);

    // The components point into the URL itself, so no component length is limited.
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts)) {
        log_.log(LOG_DEBUG, L"Error parsing URL. Error: <<%s>>", LastError().text().c_str());
        result_ = RESULT_NO_VERSION_CHECK;
        answer.clear();
        return true;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring path(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);

    const std::wstring answerFile = temporaryFile();
    bool delivered = false;
    LastError requestError(0);
    {
        // The scheme decides, in any letter case: an "https" address is never asked in clear text.
        RemoteSourceWININET source(host, path, parts.nPort, log_, parts.nScheme == INTERNET_SCHEME_HTTPS);
        delivered = !answerFile.empty() &&
                    source.download(L"clientChecksum=" + (checksum.empty() ? client.clientChecksum() : checksum),
                                    answerFile, this);
        if (!delivered) requestError = LastError();  // before the source's clean-up replaces it
    }
    if (!delivered) {
        log_.log(LOG_DEBUG, L"Could not call Version check URL. Error: <<%s>>", requestError.text().c_str());
        if (!answerFile.empty()) {
            DeleteFileW(answerFile.c_str());
            RemoteSource::discardPartial(answerFile);  // an answer is never continued
        }
        return false;
    }
    const bool whole = readFirstLine(answerFile, answer);
    DeleteFileW(answerFile.c_str());
    if (!whole) {
        log_.log(LOG_ERROR, L"The answer of the version check is longer than %u bytes and is not used.",
                 static_cast<unsigned>(kMaxAnswerBytes));
        answer.clear();
        return false;
    }
    return true;
}

void OrnivelSynchronizer::updateFromServer(RemoteSource& source, const std::string& answer,
                                           const std::wstring& deploymentKey, const std::wstring& restartArguments,
                                           bool& success, int& step) {
    // The list is held from its reading to its new name: the bytes whose signature is checked
    // are the bytes that are read as the list and that become the local list.
    const std::wstring newList = localPath(kNewFileList);
    HeldFile held;
    std::string listBytes;
    if (!held.open(newList, false) || !held.readAll(listBytes)) {
        log_.log(LOG_ERROR, L"The file list %s cannot be read (%s): the update is refused and nothing was changed.",
                 newList.c_str(), LastError().text().c_str());
        success = false;
        result_ = RESULT_LIST_REFUSED;
        return;
    }
    // In a signed deployment a list is proven genuine before anything of it is used; a refused
    // list is not kept.
    SignedListCheck signedList(localPath(L""), log_);
    const auto refuse = [&]() {
        held.release();
        DeleteFileW(newList.c_str());
        success = false;
        result_ = RESULT_LIST_REFUSED;
    };
    if (signedList.required() && !signedList.signatureValid(source, newList, listBytes, this)) return refuse();
    RegistryString saved(deploymentKey);
    saved.set(fromAnsi(answer));
    reportPhase(PHASE_SEARCHING_UPDATES);

    const FileList serverList = FileList::fromText(listBytes);
    const FileList localList = FileList::load(localPath(kFileList));
    // A list cut short, or no list at all, would make every file it does not reach look unused.
    if (!serverListUsable(serverList, newList)) {
        success = false;  // nothing is deleted or downloaded
        result_ = RESULT_LIST_REFUSED;
        return;
    }
    if (signedList.required() &&
        !signedList.accept(serverList, listBytes, localList, localPath(kFileList), secondsSince1970Now()))
        return refuse();

    // From here on files change: the update is unfinished until the new list is in place.
    noteUnfinishedUpdate(false);
    step = FAILURE_DELETING;
    if (!deleteUnusedFiles(L"", serverList, localList)) {
        log_.log(LOG_DEBUG, L"Error deleting unused files.");
        success = false;
        result_ = RESULT_FILE_FAILED;
        return;
    }
    // More sources for the same server: for patches, whose failures only mean the whole file
    // is fetched (logged, but never shown as errors), and for the transfers beside `source`.
    SourceMaker moreSources;
    if (server_) {
        moreSources = [this, &source, server = *server_](bool forPatches) {
            LogDriver log(log_);
            if (forPatches) log.capSeverity(LOG_DEBUG);
            std::unique_ptr<RemoteSource> more = createRemoteSource(server.type, server.host, server.path,
                                                                    server.port, server.userName, server.password, log);
            // A client that failed this server in this run is not asked again, by any transfer.
            const auto* known = dynamic_cast<const RemoteSourceCombination*>(&source);
            auto* combination = dynamic_cast<RemoteSourceCombination*>(more.get());
            if (combination && known && !forPatches) combination->shareFailuresWith(*known);
            return more;
        };
    }
    // The patch source is made only for a list that names patches.
    std::unique_ptr<RemoteSource> patchSource;
    const std::vector<FileListFile> entries = serverList.files();
    if (moreSources && std::any_of(entries.begin(), entries.end(), [](const FileListFile& f) { return !f.patches.empty(); }))
        patchSource = moreSources(true);
    // Files of an HTTP server travel several at once, each transfer with a source (and a
    // connection) of its own; a share copies one file after the other.
    if (server_ && lowerAscii(server_->type) == L"net") moreSources = nullptr;
    const bool ok = downloadChangedFiles(serverList, source, patchSource.get(), moreSources);
    if (ok) copyToParentFolder();
    success = ok;
    step = FAILURE_DOWNLOADING;
    if (!ok) {
        result_ = RESULT_FILE_FAILED;
        return;
    }
    // An unpacking that an earlier run could not finish is still due.
    const FileListFile* archive = serverList.find(kGhostscriptArchive);
    const std::string unpackedArchive = archive ? archiveIdentity(*archive) : std::string();
    const std::wstring stamp = localPath(kGhostscriptStamp);
    const bool unpackDue = ghostscriptLoaded_ || (archive && readSmallFile(stamp) != unpackedArchive);
    const bool unpacked = !unpackDue || unpackGhostscript();
    if (unpackDue && unpacked && archive && !writeSmallFile(stamp, unpackedArchive))
        log_.log(LOG_DEBUG, L"Could not write %s.", stamp.c_str());

    // One step: the local list is never missing, whenever the run ends.
    if (!held.renameTo(localPath(kFileList))) {
        log_.log(LOG_DEBUG, L"The file list could not be renamed while held (%s); it is moved by name.",
                 LastError().text().c_str());
        held.release();
        MoveFileExW(newList.c_str(), localPath(kFileList).c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    // A failed unpacking leaves the update unfinished, so that the next start unpacks again.
    if (!unpacked) {
        result_ = RESULT_FILE_FAILED;
        return;
    }
    if (restartPending_) {
        // The update stays unfinished until the new launcher has run.
        if (!restartAllowedNow()) {
            log_.log(LOG_WARNING, L"The new launcher %s could not take its place at the last %d restarts (the "
                                  L"launcher may be in use by another start); it is tried again at a later start.",
                     withExtension(modulePath(), L".tmp").c_str(), kMaxRestarts);
            result_ = RESULT_FILE_FAILED;
            return;
        }
        noteUnfinishedUpdate(true);
        result_ = RESULT_RESTARTING;
        restart(restartArguments);
        success = false;  // the launcher ends so that the script can replace it
        return;
    }
    DeleteFileW(localPath(kUnfinishedUpdateFile).c_str());
}

bool OrnivelSynchronizer::updateUnfinished() {
    return GetFileAttributesW(localPath(kUnfinishedUpdateFile).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void OrnivelSynchronizer::noteUnfinishedUpdate(bool restarting) {
    const std::wstring path = localPath(kUnfinishedUpdateFile);
    UnfinishedUpdate note = parseUnfinishedUpdate(readSmallFile(path));
    if (restarting) {
        ++note.restarts;
        note.lastRestart = secondsSince1970Now();
    }
    if (!writeSmallFile(path, formatUnfinishedUpdate(note)))
        log_.log(LOG_WARNING, L"Could not note the update as unfinished in %s. Error: %s", path.c_str(),
                 LastError().text().c_str());
}

bool OrnivelSynchronizer::restartAllowedNow() {
    return restartAllowed(parseUnfinishedUpdate(readSmallFile(localPath(kUnfinishedUpdateFile))), secondsSince1970Now());
}

void OrnivelSynchronizer::copyToParentFolder() {
    const std::wstring current = currentFolder();  // ends with a backslash
    const std::wstring here = current.substr(0, current.size() - 1);
    if (GetFileAttributesW((current + L"ornivel.ini").c_str()) == INVALID_FILE_ATTRIBUTES) return;
    log_.log(LOG_DEBUG, L"ornivel.ini exists.");
    if (!CopyFileW((current + L"ornivel.ini").c_str(), (here + L"\\..\\ornivel.ini").c_str(), FALSE))
        log_.log(LOG_DEBUG, L"Copy of ornivel.ini failed.");
    if (!CopyFileW(modulePath().c_str(), (here + L"\\..\\ornivel.exe").c_str(), FALSE))
        log_.log(LOG_DEBUG, L"Copy of ornivel.exe failed.");
}

bool OrnivelSynchronizer::unpackGhostscript() {
    log_.log(LOG_INFO, L"UnRARing Ghostscript...");
    reportPhase(PHASE_DECOMPRESSING);
    localPath(L"");  // the folder ends with its backslash from here on
    return ornivel::unpackGhostscript(folder_, log_);
}

void OrnivelSynchronizer::restart(const std::wstring& restartArguments) {
    localPath(L"");
    startRestartScript(folder_, modulePath(), restartArguments, log_);
}

} // namespace ornivel
