#include "sync/SignedList.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "common/Handles.h"
#include "common/Text.h"
#include "common/TextScan.h"
#include "common/WholeWrite.h"
#include "logdriver/LastError.h"
#include "remote/RemoteSource.h"
#include "filelist/FileList.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListValues.h"
#include "filelist/ListWriter.h"
#include "filelist/Md5.h"
#include "config/StoredValues.h"

namespace ornivel {

const wchar_t* const kListSerialPrefix = L"Software\\Torbenwald\\ornivel\\listSerial\\";

namespace {

// A key file is one line; anything much longer is not one.
constexpr DWORD kMaxKeyFileBytes = 4096;

std::wstring ascii(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

// The whole file, or at most `limit` + 1 bytes of it (so a longer file shows as longer).
// False with the system's error when it cannot be read.
bool readFileBytes(const std::wstring& path, std::string& bytes, unsigned long long limit) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && readWhole(file.get(), bytes, limit < ~0ull ? limit + 1 : limit);
}

// An entry is bound to its content by its SHA-256; an MD5 beside it must at least be one (the
// launchers that know no SHA-256 check it).
bool entryBound(const FileListFile& file) {
    return isSha256Hex(file.sha256) && (file.checksum.empty() || isMd5Hex(toAnsi(file.checksum)));
}

std::wstring registryPathOf(const std::wstring& folder) { return kListSerialPrefix + installationNameOf(folder); }

} // namespace

SignedListCheck::SignedListCheck(const std::wstring& folder, const LogDriver& log)
    : folder_(folder), log_(log), keyFile_(folder + ascii(kPublicKeyFileName)) {
    // Only a key file that is certainly not there leaves the deployment unsigned.
    if (GetFileAttributesW(keyFile_.c_str()) != INVALID_FILE_ATTRIBUTES) {
        required_ = true;
    } else {
        const DWORD error = GetLastError();
        required_ = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
}

bool SignedListCheck::signatureValid(RemoteSource& source, const std::wstring& listPath,
                                     const std::string& listBytes, ProgressListener* listener) {
    std::string text;
    if (!readFileBytes(keyFile_, text, kMaxKeyFileBytes)) {
        log_.log(LOG_ERROR, L"The deployment key file %s cannot be read (%s): no update can be checked, so none is taken.",
                 keyFile_.c_str(), LastError().text().c_str());
        return false;
    }
    if (text.size() > kMaxKeyFileBytes || !parsePublicKeysText(text, keys_)) {
        log_.log(LOG_ERROR, L"The deployment key file %s is damaged (it must hold one key a line: \"ed25519\" and 64 "
                            L"hexadecimal digits): no update can be checked, so none is taken.",
                 keyFile_.c_str());
        return false;
    }

    const std::wstring signatureFile = listPath + L".sig";
    const bool fetched = source.download(ascii(kListSignatureName), signatureFile, listener);
    std::string signature;
    const bool signatureRead = fetched && readFileBytes(signatureFile, signature, kListSignatureBytes);
    DeleteFileW(signatureFile.c_str());
    if (!signatureRead) {
        log_.log(LOG_ERROR, L"The file list of the deployment server has no signature (%s could not be fetched): the "
                            L"update is refused and nothing was changed.",
                 ascii(kListSignatureName).c_str());
        return false;
    }
    const auto verifying = std::find_if(keys_.begin(), keys_.end(), [&](const PublicKey& key) {
        return listSignatureValid(listBytes, signature, key);
    });
    if (verifying == keys_.end()) {
        log_.log(LOG_ERROR, L"The signature of the deployment server's file list does not match this installation's key "
                            L"(%s): the list may have been altered on its way. The update is refused and nothing was "
                            L"changed.",
                 ascii(kPublicKeyFileName).c_str());
        return false;
    }
    verifiedBy_ = *verifying;
    log_.log(LOG_INFO, L"The file list's signature is valid.");
    return true;
}

std::optional<SignedListCheck::Stored> SignedListCheck::stored(const std::wstring& value) const {
    // "<serial> <public key line>[ list=<digest>]": the serial counts only for a key this
    // installation holds.
    const size_t blank = value.find(L' ');
    if (blank == std::wstring::npos) return std::nullopt;
    std::wstring keyLine = value.substr(blank + 1);
    Stored result;
    const size_t digestAt = keyLine.rfind(L" list=");
    if (digestAt != std::wstring::npos) {
        result.listDigest = toAnsi(keyLine.substr(digestAt + 6));
        keyLine.resize(digestAt);
    }
    PublicKey key{};
    if (!parsePublicKeyText(toAnsi(keyLine), key) || std::find(keys_.begin(), keys_.end(), key) == keys_.end())
        return std::nullopt;
    if (!parseListSerial(toAnsi(value.substr(0, blank)).c_str(), result.serial)) return std::nullopt;
    return result;
}

bool SignedListCheck::accept(const FileList& serverList, const std::string& listBytes, const FileList& localList,
                             const std::wstring& localListPath, uint64_t now) {
    const std::optional<uint64_t> serial = serverList.serial();
    if (!serial) {
        log_.log(LOG_ERROR, L"The signed file list carries no serial number: the update is refused and nothing was "
                            L"changed.");
        return false;
    }
    if (*serial > now && *serial - now > kMaxSerialLeadSeconds) {
        log_.log(LOG_ERROR, L"The deployment server's file list has the serial %s, more than a year beyond this "
                            L"computer's time (%S): the update is refused and nothing was changed.",
                 std::to_wstring(*serial).c_str(), isoUtcText(static_cast<int64_t>(now)).c_str());
        return false;
    }
    RegistryString value(registryPathOf(folder_));
    const std::optional<Stored> kept = stored(value.get());
    const uint64_t lastAccepted = std::max(localList.serial().value_or(0), kept ? kept->serial : 0);
    if (*serial < lastAccepted) {
        log_.log(LOG_ERROR, L"The deployment server's file list (serial %s) is older than the one accepted before "
                            L"(serial %s): the update is refused and nothing was changed.",
                 std::to_wstring(*serial).c_str(), std::to_wstring(lastAccepted).c_str());
        return false;
    }
    // One list per serial: a list with the accepted serial must be the accepted list. What is
    // known of it decides: the local list's bytes, or the digest kept with the serial.
    const std::string digest = md5HexOfBytes(listBytes);
    if (*serial == lastAccepted) {
        std::string localBytes;
        bool differs = false;
        if (localList.serial() == serial && readFileBytes(localListPath, localBytes, ~0ull))
            differs = localBytes != listBytes;
        else if (kept && kept->serial == *serial && !kept->listDigest.empty())
            differs = kept->listDigest != digest;
        if (differs) {
            log_.log(LOG_ERROR, L"The deployment server's file list has the serial of the list accepted before "
                                L"(serial %s) but other contents: the update is refused and nothing was changed.",
                     std::to_wstring(*serial).c_str());
            return false;
        }
    }
    if (const std::optional<uint64_t> expires = serverList.expires(); expires && now >= *expires) {
        log_.log(LOG_ERROR, L"The deployment server's file list expired on %S (it was valid until then): the "
                            L"deployment may be frozen or an old one replayed. The update is refused and nothing "
                            L"was changed.",
                 isoUtcText(static_cast<int64_t>(std::min<uint64_t>(*expires, INT64_MAX))).c_str());
        return false;
    }
    for (const FileListFile& file : serverList.files()) {
        if (entryBound(file)) continue;
        log_.log(LOG_ERROR, L"The signed file list names '%s' without a valid SHA-256 checksum, so the file could not "
                            L"be checked: the update is refused and nothing was changed.",
                 file.path.c_str());
        return false;
    }
    value.set(std::to_wstring(*serial) + L" " + ascii(publicKeyText(verifiedBy_).c_str()) + L" list=" +
              ascii(digest.c_str()));
    return true;
}

std::optional<std::vector<DeploymentServerInfo>> trustedServersOf(const std::wstring& localListPath) {
    std::string text;
    ListElementText element;
    if (!readFileBytes(localListPath, text, ~0ull) || !readListElementText(text, element) || !element.servers)
        return std::nullopt;
    return parseServerList(fromAnsi(*element.servers));
}

bool sameDeploymentServer(const DeploymentServerInfo& a, const DeploymentServerInfo& b) {
    const std::wstring type = lowerAscii(a.type);
    const bool share = type == L"net";
    return type == lowerAscii(b.type) && a.port == b.port && lowerAscii(a.host) == lowerAscii(b.host) &&
           (share ? lowerAscii(a.path) == lowerAscii(b.path) : a.path == b.path);
}

} // namespace ornivel
