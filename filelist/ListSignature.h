#pragma once
// Signed deployments: a deployment's Ed25519 key pair (libsodium), the detached signature
// "TarnFileList.xml.sig" over the exact bytes of its file list, and the texts the keys are
// kept in: the public key "ornivel-Key.txt" that installations hold, and the secret key
// "ornivel-signing.key" that only the publisher reads. Plain logic, no system calls.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ornivel {

using PublicKey = std::array<unsigned char, 32>;
using SecretKey = std::array<unsigned char, 64>;
constexpr size_t kListSignatureBytes = 64;
// How far beyond the current time a signed list's serial may lie (serials are at least the
// seconds since 1970): a year. A list with a higher serial is refused, so that a leaked key
// cannot lock installations out with a huge serial.
constexpr unsigned long long kMaxSerialLeadSeconds = 365ull * 24 * 3600;

extern const char* const kPublicKeyFileName;   // "ornivel-Key.txt"
extern const char* const kSecretKeyFileName;   // "ornivel-signing.key"
extern const char* const kListSignatureName;   // "TarnFileList.xml.sig"

// A new key pair from the system's random source; false when the library cannot start.
bool makeKeyPair(PublicKey& publicKey, SecretKey& secretKey);

// "ed25519 " and 64 hexadecimal digits, as one line.
std::string publicKeyText(const PublicKey& key);
// The text of a public key file with one key: that line, with white space around it and a
// UTF-8 byte-order mark before it allowed (editors add them). False for anything else.
bool parsePublicKeyText(std::string_view text, PublicKey& key);
// The text of a public key file with one or more keys, one a line (a deployment that moves to
// a new key hands out the old and the new one for a while); empty lines are passed over.
// False when a line is not a key or there is none.
bool parsePublicKeysText(std::string_view text, std::vector<PublicKey>& keys);

// "ornivel-signing-key ed25519 " and 128 hexadecimal digits, as one line.
std::string secretKeyText(const SecretKey& key);
// The text of a secret key file, read like a public key file; false as well when the key's
// two halves do not belong together (a damaged file would sign lists no installation takes).
bool parseSecretKeyText(std::string_view text, SecretKey& key);
// The public half of a secret key.
PublicKey publicKeyOf(const SecretKey& key);

// The 64 bytes of the detached signature of `list`.
std::string signList(std::string_view list, const SecretKey& key);
// Whether `signature` is exactly a signature of `list`'s bytes by the key's owner.
bool listSignatureValid(std::string_view list, std::string_view signature, const PublicKey& key);

// SHA-256 (FIPS 180-4) of a file's bytes, fed in pieces: the list entries' "sha256".
class Sha256 {
public:
    Sha256();
    void update(const void* bytes, size_t length);
    // 64 lower-case hexadecimal digits; the digest is finished with it.
    std::string hexDigest();

private:
    alignas(8) unsigned char state_[112];  // the library's streaming state
};
std::string sha256HexOfBytes(std::string_view bytes);
// Whether a text is a digest as the list writes it: lower-case hexadecimal digits, 32 of them
// for MD5 ("checksum"), 64 for SHA-256 ("sha256").
bool isMd5Hex(std::string_view text);
bool isSha256Hex(std::string_view text);

} // namespace ornivel
