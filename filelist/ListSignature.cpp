#include "filelist/ListSignature.h"

#include <sodium.h>

#include "common/TextScan.h"

namespace ornivel {

const char* const kPublicKeyFileName = "ornivel-Key.txt";
const char* const kSecretKeyFileName = "ornivel-signing.key";
const char* const kListSignatureName = "TarnFileList.xml.sig";

namespace {

static_assert(sizeof(PublicKey) == crypto_sign_PUBLICKEYBYTES, "Ed25519 public key size");
static_assert(sizeof(SecretKey) == crypto_sign_SECRETKEYBYTES, "Ed25519 secret key size");
static_assert(kListSignatureBytes == crypto_sign_BYTES, "Ed25519 signature size");
static_assert(sizeof(crypto_hash_sha256_state) <= 112 && alignof(crypto_hash_sha256_state) <= 8, "SHA-256 state");

const std::string_view kPublicKeyTag = "ed25519 ";
const std::string_view kSecretKeyTag = "ornivel-signing-key ed25519 ";

bool libraryReady() {
    static const bool ready = sodium_init() >= 0;  // idempotent and thread-safe
    return ready;
}


// The one line of a key file: without a byte-order mark and the white space around it.
std::string_view keyLine(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    while (!text.empty() && isXmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isXmlSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool isLowerHex(std::string_view text, size_t digits) {
    if (text.size() != digits) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

template <size_t N>
bool parseTagged(std::string_view text, std::string_view tag, std::array<unsigned char, N>& bytes) {
    const std::string_view line = keyLine(text);
    if (line.substr(0, tag.size()) != tag) return false;
    const std::string_view hex = line.substr(tag.size());
    if (hex.size() != 2 * N) return false;
    size_t length = 0;
    return sodium_hex2bin(bytes.data(), N, hex.data(), hex.size(), nullptr, &length, nullptr) == 0 && length == N;
}

template <size_t N>
std::string taggedText(std::string_view tag, const std::array<unsigned char, N>& bytes) {
    std::string hex(2 * N + 1, '\0');
    sodium_bin2hex(&hex[0], hex.size(), bytes.data(), N);
    hex.pop_back();
    return std::string(tag) + hex;
}

} // namespace

bool makeKeyPair(PublicKey& publicKey, SecretKey& secretKey) {
    return libraryReady() && crypto_sign_keypair(publicKey.data(), secretKey.data()) == 0;
}

std::string publicKeyText(const PublicKey& key) { return taggedText(kPublicKeyTag, key); }

bool parsePublicKeyText(std::string_view text, PublicKey& key) { return parseTagged(text, kPublicKeyTag, key); }

bool parsePublicKeysText(std::string_view text, std::vector<PublicKey>& keys) {
    const std::string_view mark = "\xEF\xBB\xBF";
    if (text.substr(0, mark.size()) == mark) text.remove_prefix(mark.size());  // before the first line only
    std::vector<PublicKey> read;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (raw.find(mark) != std::string_view::npos) return false;
        const std::string_view line = keyLine(raw);
        if (line.empty()) continue;
        PublicKey key{};
        if (!parseTagged(line, kPublicKeyTag, key)) return false;
        read.push_back(key);
    }
    if (read.empty()) return false;
    keys = std::move(read);
    return true;
}

std::string secretKeyText(const SecretKey& key) { return taggedText(kSecretKeyTag, key); }

bool parseSecretKeyText(std::string_view text, SecretKey& key) {
    SecretKey read{};
    if (!libraryReady() || !parseTagged(text, kSecretKeyTag, read)) return false;
    unsigned char seed[crypto_sign_SEEDBYTES];
    PublicKey derivedPublic{};
    SecretKey derived{};
    const bool whole = crypto_sign_ed25519_sk_to_seed(seed, read.data()) == 0 &&
                       crypto_sign_seed_keypair(derivedPublic.data(), derived.data(), seed) == 0 &&
                       sodium_memcmp(derived.data(), read.data(), derived.size()) == 0;
    sodium_memzero(seed, sizeof seed);
    sodium_memzero(derived.data(), derived.size());
    if (whole) key = read;
    sodium_memzero(read.data(), read.size());
    return whole;
}

PublicKey publicKeyOf(const SecretKey& key) {
    PublicKey result{};
    crypto_sign_ed25519_sk_to_pk(result.data(), key.data());
    return result;
}

std::string signList(std::string_view list, const SecretKey& key) {
    std::string signature(kListSignatureBytes, '\0');
    if (!libraryReady() ||
        crypto_sign_detached(reinterpret_cast<unsigned char*>(&signature[0]), nullptr,
                             reinterpret_cast<const unsigned char*>(list.data()), list.size(), key.data()) != 0)
        return {};
    return signature;
}

bool listSignatureValid(std::string_view list, std::string_view signature, const PublicKey& key) {
    return libraryReady() && signature.size() == kListSignatureBytes &&
           crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                       reinterpret_cast<const unsigned char*>(list.data()), list.size(),
                                       key.data()) == 0;
}

Sha256::Sha256() {
    libraryReady();
    crypto_hash_sha256_init(reinterpret_cast<crypto_hash_sha256_state*>(state_));
}

void Sha256::update(const void* bytes, size_t length) {
    crypto_hash_sha256_update(reinterpret_cast<crypto_hash_sha256_state*>(state_),
                              static_cast<const unsigned char*>(bytes), length);
}

std::string Sha256::hexDigest() {
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256_final(reinterpret_cast<crypto_hash_sha256_state*>(state_), digest.data());
    std::string hex(2 * digest.size() + 1, '\0');
    sodium_bin2hex(&hex[0], hex.size(), digest.data(), digest.size());
    hex.pop_back();
    return hex;
}

std::string sha256HexOfBytes(std::string_view bytes) {
    Sha256 digest;
    digest.update(bytes.data(), bytes.size());
    return digest.hexDigest();
}

bool isMd5Hex(std::string_view text) { return isLowerHex(text, 32); }
bool isSha256Hex(std::string_view text) { return isLowerHex(text, 64); }

} // namespace ornivel
