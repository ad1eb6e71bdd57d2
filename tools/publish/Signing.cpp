#include "Signing.h"

#include <algorithm>

#include "filelist/FileListScanner.h"
#include "filelist/FileListValues.h"

namespace ornivel::publish {

bool generateKeys(const Path& keyFolder, std::string& publicKeyLine, std::string& problem) {
    PublicKey publicKey{};
    SecretKey secretKey{};
    if (!makeKeyPair(publicKey, secretKey)) {
        problem = "the cryptography library cannot start";
        return false;
    }
    const Path secretFile = keyFolder / kSecretKeyFileName;
    const Path publicFile = keyFolder / kPublicKeyFileName;
    for (const Path& file : {secretFile, publicFile}) {
        FileStamp ignored;
        if (stampOf(file, ignored)) {
            problem = textOfPath(file) + " exists already; key files are never replaced (installations hold the "
                      "public key that belongs to it)";
            return false;
        }
    }
    publicKeyLine = publicKeyText(publicKey);
    std::string secretText = secretKeyText(secretKey) + "\n";
    secretKey.fill(0);
    const bool written = makeFolders(keyFolder, problem) && writeNewFile(secretFile, secretText, true, problem) &&
                         writeNewFile(publicFile, publicKeyLine + "\r\n", false, problem);
    std::fill(secretText.begin(), secretText.end(), '\0');
    return written;
}

bool readSigningKey(const Path& keyFile, SecretKey& key, std::string& problem) {
    std::string text;
    if (!readWholeFile(keyFile, text)) {
        problem = textOfPath(keyFile) + ": the signing key cannot be read";
        return false;
    }
    const bool read = parseSecretKeyText(text, key);
    std::fill(text.begin(), text.end(), '\0');
    if (!read) problem = textOfPath(keyFile) + ": is not an ornivel signing key (made by ornivel-publish keygen), or damaged";
    return read;
}

uint64_t serialOfList(std::string_view list) {
    // The publisher's own lists: the attribute as it writes it.
    const std::string_view tag = scanFileList(list).listElement;
    const std::string_view name = " Serial=\"";
    const size_t at = tag.find(name);
    if (at == std::string_view::npos) return 0;
    const size_t start = at + name.size();
    const size_t end = tag.find('"', start);
    uint64_t serial = 0;
    if (end == std::string_view::npos ||
        !parseListSerial(std::string(tag.substr(start, end - start)).c_str(), serial))
        return 0;
    return serial;
}

uint64_t nextSerial(std::string_view deployedList, int64_t unixSeconds) {
    uint64_t previous = serialOfList(deployedList);
    const uint64_t now = unixSeconds > 0 ? static_cast<uint64_t>(unixSeconds) : 0;
    if (previous >= now + kMaxSerialLeadSeconds) previous = 0;
    return std::max(previous + 1, now);
}

} // namespace ornivel::publish
