#include "Publisher.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>
#include <unordered_set>

#include "FileSystem.h"
#include "ModuleScan.h"
#include "NameRules.h"
#include "NginxFragment.h"
#include "PatchWriter.h"
#include "PublishJobs.h"
#include "Signing.h"
#include "Upcase.h"
#include "common/TextScan.h"
#include "filelist/ListSignature.h"
#include "filelist/ListWriter.h"
#include "common/Utf16.h"

namespace ornivel::publish {

namespace {

const char* const kListName = "TarnFileList.xml";
const char* const kSignatureName = kListSignatureName;

// The launcher's own list files at the top of an installation are never published.
bool isListFile(const std::string& path) {
    const std::string lower = lowerAscii(path);
    return lower == "tarnfilelist.xml" || lower == "tarnfilelist.new" || lower == "tarnfilelist.xml.sig";
}

// A secret signing key in the client folder would be served to everyone.
bool isSigningKey(const std::string& path) {
    const size_t slash = path.rfind('/');
    return lowerAscii(slash == std::string::npos ? path : path.substr(slash + 1)) == kSecretKeyFileName;
}

// Whether one folder lies inside the other (or they are the same).
bool nested(const Path& a, const Path& b) {
    const std::string x = textOfPath(a) + "/";
    const std::string y = textOfPath(b) + "/";
    return x.rfind(y, 0) == 0 || y.rfind(x, 0) == 0;
}

// Reads and checks the client's files; false with the problems.
bool readClient(const Path& client, std::vector<ClientFile>& files, std::vector<std::string>& problems) {
    FolderScan scan = scanFolder(client);
    problems = scan.problems;
    for (ScannedFile& scanned : scan.files) {
        if (isListFile(scanned.path)) continue;
        ClientFile file{std::move(scanned.path), scanned.stamp, {}, {}, {}};
        std::string reason;
        if (isSigningKey(file.path)) {
            problems.push_back(file.path + ": a secret signing key is never published; keep it outside the client folder");
        } else if (inPatchFolder(file.path)) {
            problems.push_back(file.path + ": the folder " + kPatchFolder +
                               " is where the deployment serves its patches; rename it in the client");
        } else if (!readPublishedName(file.path, file.parts, reason)) {
            problems.push_back(file.path + ": " + reason);
        } else if (inScanFolder(file.parts) && matchesOnlyByShortName(file.parts.back())) {
            problems.push_back(file.path +
                               ": its short 8.3 name would end in a module extension, so the client checksum would "
                               "depend on whether the installation's volume keeps short names; rename it");
        } else {
            files.push_back(std::move(file));
        }
    }
    std::sort(files.begin(), files.end(), [](const ClientFile& a, const ClientFile& b) { return a.path < b.path; });
    std::vector<std::string> paths;
    std::vector<std::vector<std::wstring>> parts;
    for (const ClientFile& file : files) {
        paths.push_back(file.path);
        parts.push_back(file.parts);
    }
    for (std::string& problem : caseCollisions(paths, parts)) problems.push_back(std::move(problem));
    if (problems.empty() && files.empty())
        problems.push_back(textOfPath(client) + ": the client folder holds no files (the launcher refuses an empty list)");
    return problems.empty();
}

// Makes room for a file at `path` below `root`: a file where a folder on its way must be, or
// a folder where it must be, is no longer listed and goes now.
bool clearWay(const Path& root, const std::string& path, std::string& error) {
    for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1)) {
        const Path step = joined(root, path.substr(0, at));
        FileStamp ignored;
        if (stampOf(step, ignored) && !removeFile(step, error)) return false;
    }
    const Path target = joined(root, path);
    return !isFolder(target) || removeTree(target, error);
}

// Moves a staged file over what is in its place, making room first when a folder is in the way
// or a file stands where a folder on its way must be.
bool moveIntoPlace(const Path& staged, const Path& root, const std::string& path, std::string& error) {
    const Path target = joined(root, path);
    if (replaceFile(staged, target, error)) return true;
    error.clear();
    return clearWay(root, path, error) && makeFolders(target.parent_path(), error) && replaceFile(staged, target, error);
}

// Writes a file into the staging folder and moves it to its place, unless the place holds
// these bytes already.
bool putFile(const Path& staging, const std::string& name, const std::string& bytes, const Path& target,
             std::string& error) {
    std::string held;
    if (readWholeFile(target, held) && held == bytes) return true;
    const Path staged = staging / name;
    return writeWholeFile(staged, bytes, error) && replaceFile(staged, target, error);
}

// The jobs for the files that changed since the last publication. A file published before and
// unchanged since (by size and time) stays when it is still in place; its checksum is known.
std::vector<Job> planJobs(const Path& client, const Path& deployFolder, const Path& staging,
                          const std::vector<std::string>& deployedFiles, const PublishState& previous, bool copy,
                          std::vector<ClientFile>& files, size_t& unchanged) {
    const std::unordered_set<std::string> inPlace(deployedFiles.begin(), deployedFiles.end());
    std::vector<Job> jobs;
    for (size_t i = 0; i < files.size(); ++i) {
        ClientFile& file = files[i];
        Job job;
        job.file = i;
        job.staged = staging / std::to_string(i);
        job.kind = copy ? Job::Replace : Job::Place;
        if (inPlace.count(file.path)) {
            const auto known = previous.find(file.path);
            // (A file published before SHA-256 was listed is hashed again.)
            if (known != previous.end() && known->second.stamp == file.stamp && !known->second.sha256.empty()) {
                file.checksum = known->second.checksum;
                file.sha256 = known->second.sha256;
                ++unchanged;
                continue;
            }
            const Path target = joined(deployFolder, file.path);
            job.kind = !copy && sameFile(joined(client, file.path), target) ? Job::Hash : Job::Replace;
        }
        jobs.push_back(job);
    }
    return jobs;
}

// Keeps the version of a file that is about to be replaced, under its SHA-256 in `keptFolder`:
// a hard link where the file system allows, a copy otherwise.
bool keepVersion(const Path& deployed, const Path& keptFolder, const std::string& sha256, std::string& error) {
    const Path kept = keptFolder / sha256;
    FileStamp stamp;
    if (stampOf(kept, stamp)) return true;
    if (!makeFolders(keptFolder, error) || !stampOf(deployed, stamp)) return false;
    const LinkResult linked = hardLink(deployed, kept, error);
    if (linked == LinkResult::Linked || linked == LinkResult::Exists) return true;
    error.clear();
    FileDigests digests;
    std::atomic<uint64_t> bytes{0};
    return copyAndHash(deployed, kept, stamp, digests, bytes, error);
}

// The patches of one file from its kept older versions (made where missing): the versions a
// patch exists for, newest first, in `served`. False only when a patch cannot be written.
bool patchFile(const ClientFile& file, const std::vector<std::string>& older, const Path& deployFolder,
               const Path& keptFolder, const Path& staging, std::vector<std::string>& served, PublishSummary& summary,
               std::string& error) {
    std::string newBytes;
    bool newRead = false;
    for (const std::string& version : older) {
        const Path kept = keptFolder / version;
        const Path target = joined(deployFolder, patchPath(file.sha256, version));
        FileStamp stamp;
        if (!stampOf(kept, stamp) || !patchApplies(stamp.size, file.stamp.size)) continue;
        if (!stampOf(target, stamp)) {
            // A kept file that is no longer that version (a hard link whose file was rewritten
            // in place) makes no patch.
            std::string base, patch, ignored;
            if (!readWholeFile(kept, base) || sha256HexOfBytes(base) != version) continue;
            if (!newRead && !readWholeFile(joined(deployFolder, file.path), newBytes)) return true;
            newRead = true;
            if (makePatch(base, newBytes, patch, ignored) != PatchResult::Written) continue;
            const Path staged = staging / "patch";
            if (!makeFolders(target.parent_path(), error) || !writeWholeFile(staged, patch, error) ||
                !replaceFile(staged, target, error))
                return false;
            ++summary.patches;
            summary.patchBytes += patch.size();
        }
        served.push_back(version);
    }
    return true;
}

// Removes the files of the deployment that the new list no longer names, the patches no
// longer served, and the folders left empty.
bool removeUnlisted(const Path& deployFolder, const std::vector<std::string>& deployedFiles,
                    const std::vector<std::string>& deployedFolders, const std::vector<ClientFile>& files,
                    const std::unordered_set<std::string>& patches, size_t& removed, std::string& error) {
    std::unordered_set<std::string> listed;
    for (const ClientFile& file : files) listed.insert(file.path);
    for (const std::string& path : deployedFiles) {
        if (path == kListName || path == kSignatureName || listed.count(path) || patches.count(path)) continue;
        if (inPatchFolder(path)) {
            if (!removeFile(joined(deployFolder, path), error)) return false;
            continue;
        }
        // (A folder now, or gone with a folder that a file took the place of: gone already.)
        const Path orphan = joined(deployFolder, path);
        if (!isFolder(orphan) && !removeFile(orphan, error)) return false;
        ++removed;
    }
    for (const std::string& folder : deployedFolders) removeEmptyFolder(joined(deployFolder, folder));
    return true;
}

} // namespace

bool publish(const PublishOptions& options, PublishSummary& summary, std::vector<std::string>& problems,
             const ProgressCallback& progress) {
    problems.clear();
    auto fail = [&problems](const std::string& problem) {
        problems.push_back(problem);
        return false;
    };
    const Path client = absolutePath(pathOfText(options.clientFolder));
    const Path deployment = absolutePath(pathOfText(options.deploymentFolder));
    const std::string deploymentText = textOfPath(deployment);
    if (!isFolder(client)) return fail(options.clientFolder + ": the client folder is not a folder");
    if (nested(client, deployment)) return fail("the deployment folder must lie outside the client folder and hold it not");
    std::string problem;
    if (!fitsNginx(deploymentText, problem) || !prepareUpcase(problem)) return fail(problem);

    // The signing key is read now, and never from a folder that is published or served.
    SecretKey signingKey{};
    const bool signing = !options.keyFile.empty();
    if (signing) {
        const Path keyFile = absolutePath(pathOfText(options.keyFile));
        if (nested(keyFile, client) || nested(keyFile, deployment))
            return fail(options.keyFile + ": the signing key must lie outside the client and the deployment folder");
        if (!readSigningKey(keyFile, signingKey, problem)) return fail(problem);
    }

    std::vector<ClientFile> files;
    if (!readClient(client, files, problems)) return false;

    const Path deployFolder = deployment / "deploy";
    const Path checkFolder = deployment / "check";
    const Path own = deployment / ".publish";
    std::string serverAnswer;
    if (!options.servers.empty()) {
        if (!serverListAnswer(options.servers, serverAnswer, problem)) return fail(problem);
    } else if (!readWholeFile(checkFolder / kServerListAnswerName, serverAnswer)) {
        return fail("name the deployment servers with --server (there is no earlier publication to take them from)");
    }
    std::vector<ScannedName> names;
    for (const ClientFile& file : files) names.push_back({file.parts, file.stamp.size});
    const std::string checksum = utf8OfUtf16(predictedClientChecksum(names));

    // Checked: from here on the deployment is written.
    PublishLock lock;
    const Path staging = own / "staging";
    if (!makeFolders(own, problem) || !lock.acquire(own / "lock", problem) || !removeTree(staging, problem) ||
        !makeFolders(staging, problem) || !makeFolders(deployFolder, problem) || !makeFolders(checkFolder, problem))
        return fail(problem);
    std::string stateBytes;
    const PublishState previous = readWholeFile(own / "state", stateBytes) ? parseState(stateBytes) : PublishState();

    // What the deployment holds now, and what of it stays.
    std::vector<std::string> deployedFiles, deployedFolders;
    listBelow(deployFolder, deployedFiles, deployedFolders);
    std::vector<Job> jobs =
        planJobs(client, deployFolder, staging, deployedFiles, previous, options.copy, files, summary.unchanged);
    if (!runJobs(client, deployFolder, files, jobs, options.copy, progress)) {
        for (const Job& job : jobs)
            if (!job.error.empty()) problems.push_back(job.error);
        removeTree(staging, problem);
        return false;
    }

    // The versions that changed files replace are kept for patches.
    const Path keptFolder = own / "kept";
    std::unordered_map<std::string, std::string> replaced;
    if (options.keep > 0) {
        for (const Job& job : jobs) {
            const ClientFile& file = files[job.file];
            const auto known = previous.find(file.path);
            if (job.kind != Job::Replace || known == previous.end() || known->second.sha256.empty() ||
                known->second.sha256 == file.sha256)
                continue;
            if (keepVersion(joined(deployFolder, file.path), keptFolder, known->second.sha256, problem))
                replaced[file.path] = known->second.sha256;
            problem.clear();
        }
    }

    // Every changed file into its place, then the list that names them.
    for (const Job& job : jobs) {
        if (job.kind == Job::Replace && !moveIntoPlace(job.staged, deployFolder, files[job.file].path, problem))
            return fail(problem);
        ++(job.kind == Job::Hash ? summary.rehashed : job.linked ? summary.linked : summary.copied);
    }
    std::string deployedList;
    readWholeFile(deployFolder / kListName, deployedList);
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    summary.serial = signing ? nextSerial(deployedList, now) : 0;
    ListHeader header;
    header.serial = summary.serial;
    header.report = options.report;
    if (signing) {
        // Signed with the list: installations that took it take no other servers.
        header.servers = serverAnswer.substr(0, serverAnswer.find_last_not_of("\r\n") + 1);
        if (options.validDays > 0) header.expires = static_cast<uint64_t>(now) + uint64_t(options.validDays) * 86400u;
    }
    summary.expires = header.expires;

    // Patches from the kept older versions of each file, made for the files that changed.
    std::string keptBytes;
    const KeptVersions keptBefore = readWholeFile(own / "kept-versions", keptBytes) ? parseKept(keptBytes) : KeptVersions();
    KeptVersions keptNow;
    std::unordered_set<std::string> patchesServed, versionsKept;
    std::vector<std::string> patchAttributes(files.size());
    for (size_t i = 0; i < files.size() && options.keep > 0; ++i) {
        const ClientFile& file = files[i];
        const auto before = keptBefore.find(file.path);
        const auto gone = replaced.find(file.path);
        const std::vector<std::string> older =
            olderVersions(gone == replaced.end() ? std::string() : gone->second,
                          before == keptBefore.end() ? std::vector<std::string>() : before->second, file.sha256,
                          static_cast<size_t>(options.keep));
        std::vector<std::string> served;
        if (older.empty() || file.sha256.empty()) continue;
        if (!patchFile(file, older, deployFolder, keptFolder, staging, served, summary, problem)) return fail(problem);
        for (const std::string& version : served) {
            patchAttributes[i] += (patchAttributes[i].empty() ? "" : " ") + version;
            patchesServed.insert(patchPath(file.sha256, version));
            versionsKept.insert(version);
        }
        if (!served.empty()) keptNow[file.path] = std::move(served);
    }

    std::string list = fileListStart(header);
    PublishState state;
    for (size_t i = 0; i < files.size(); ++i) {
        const ClientFile& file = files[i];
        list += fileListEntry(file.path, listTimeOfUnixSeconds(file.stamp.seconds), file.stamp.size, file.checksum,
                              file.sha256, patchAttributes[i]);
        state[file.path] = PublishedFile{file.stamp, file.checksum, file.sha256};
        summary.bytes += file.stamp.size;
    }
    list += kFileListEnd;
    // The signature before the list it belongs to: a client that fetches the two while they are
    // replaced sees the old pair, the new pair, or a pair that does not verify.
    if (signing) {
        const std::string signature = signList(list, signingKey);
        signingKey.fill(0);
        if (signature.empty()) return fail("the cryptography library cannot start");
        if (!putFile(staging, "signature", signature, deployFolder / kSignatureName, problem)) return fail(problem);
    }
    if (!putFile(staging, "list", list, deployFolder / kListName, problem) ||
        (!signing && !removeFile(deployFolder / kSignatureName, problem)) ||
        !putFile(staging, "state", stateText(state), own / "state", problem) ||
        !putFile(staging, "kept-versions", keptText(keptNow), own / "kept-versions", problem))
        return fail(problem);

    // The answers: the server list for every other checksum, then "OK" for this one only.
    if (!putFile(staging, "servers", serverAnswer, checkFolder / kServerListAnswerName, problem) ||
        !putFile(staging, "current", kCurrentAnswer, checkFolder / currentAnswerName(checksum), problem) ||
        !putFile(staging, "nginx.conf", nginxFragment(deploymentText, options.urlPath, options.report), deployment / "nginx.conf",
                 problem))
        return fail(problem);
    std::vector<std::string> answers, ignored;
    listBelow(checkFolder, answers, ignored);
    for (const std::string& name : answers)
        if (isCurrentAnswerName(name) && name != currentAnswerName(checksum) && !removeFile(checkFolder / name, problem))
            return fail(problem);

    // Last, what the new list no longer names.
    if (!removeUnlisted(deployFolder, deployedFiles, deployedFolders, files, patchesServed, summary.removed, problem))
        return fail(problem);
    std::vector<std::string> keptFiles, keptFolders;
    listBelow(keptFolder, keptFiles, keptFolders);
    for (const std::string& name : keptFiles)
        if (!versionsKept.count(name) && !removeFile(keptFolder / name, problem)) return fail(problem);
    removeTree(staging, problem);

    summary.deploymentFolder = deploymentText;
    summary.checksum = checksum;
    summary.files = files.size();
    summary.report = options.report;
    return true;
}

} // namespace ornivel::publish
