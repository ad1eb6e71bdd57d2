#pragma once
// Signed deployments on the launcher's side. When the installation folder holds the
// deployment's public key file "ornivel-Key.txt" (one or more keys, one a line), a server's
// file list is used only when
//  - its signature "TarnFileList.xml.sig", fetched from the same source right after the list,
//    verifies over the list's exact bytes under one of those keys,
//  - its serial is not lower than the one of the last list accepted here (the local list's
//    own "Serial" and the registry value of the installation, whichever is higher, so that
//    losing one of them does not let an older list in again), not more than a year beyond
//    the current time, and a list with the same serial is the accepted list itself, byte for
//    byte,
//  - it has not expired (its "Expires"), and
//  - every entry has a SHA-256 checksum, so that every file is checked against the signed list.
// A key file that cannot be read or is damaged refuses every list. Once a signed list that
// names its deployment servers has been accepted, a version-check answer may name no others.
// Without a key file nothing of this applies.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filelist/ListSignature.h"
#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"
#include "sync/DeploymentServerInfo.h"

namespace ornivel {

class FileList;
class RemoteSource;

// The serial of the last accepted list, per installation (followed by its name, the data in
// the key's default value): "<serial> <public key line> list=<MD5 of the list's bytes>" with
// the key that verified the list, taken only while the installation holds that key (a value
// without the digest, as older launchers wrote it, counts for its serial).
extern const wchar_t* const kListSerialPrefix;  // "Software\Torbenwald\ornivel\listSerial\"

class SignedListCheck {
public:
    // `folder`: the installation folder, ending with a backslash.
    SignedListCheck(const std::wstring& folder, const LogDriver& log);

    // Whether the installation asks for signed lists (it holds a key file, or one that
    // cannot even be looked at).
    bool required() const { return required_; }

    // Reads the keys and checks the signature of the list `listBytes` (the exact bytes that
    // will be read as the list), whose signature is fetched through `source` beside
    // `listPath`. False, logged at error, when the key file is damaged or unreadable or the
    // signature is missing or verifies under none of the keys. The fetched signature is not
    // kept.
    bool signatureValid(RemoteSource& source, const std::wstring& listPath, const std::string& listBytes,
                        ProgressListener* listener);

    // The checks of the list's contents (after signatureValid). False, logged at error, for a
    // list without serial, with a serial lower than the last accepted one or more than a year
    // beyond `now` (seconds since 1970), with the same serial as the accepted list but other
    // bytes (`localListPath` holds the accepted list), past its expiry, or with an entry
    // without a SHA-256 checksum (or with a damaged MD5 one); otherwise the list's serial
    // becomes the last accepted one.
    bool accept(const FileList& serverList, const std::string& listBytes, const FileList& localList,
                const std::wstring& localListPath, uint64_t now);

private:
    struct Stored {
        uint64_t serial = 0;
        std::string listDigest;  // empty when the value has none
    };
    std::optional<Stored> stored(const std::wstring& value) const;

    std::wstring folder_;
    LogDriver log_;
    std::wstring keyFile_;
    bool required_ = false;
    std::vector<PublicKey> keys_;
    PublicKey verifiedBy_{};
};

// The deployment servers named by the accepted list at `localListPath` (its "Servers"); none
// when there is no such list or it names none: then a version-check answer is taken as it is.
std::optional<std::vector<DeploymentServerInfo>> trustedServersOf(const std::wstring& localListPath);

// Whether two server records name the same server: the same type and port, host and path (a
// host name and a share path in any letter case). Labels and credentials do not count.
bool sameDeploymentServer(const DeploymentServerInfo& a, const DeploymentServerInfo& b);

} // namespace ornivel
