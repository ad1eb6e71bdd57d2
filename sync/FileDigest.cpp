#include "sync/FileDigest.h"

#include "filelist/ListSignature.h"
#include "filelist/Md5.h"

namespace ornivel {

namespace {

template <typename Digest>
bool digestOfHandle(HANDLE file, std::vector<unsigned char>& block, Digest& digest) {
    DWORD got = 0;
    do {
        if (!ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) return false;
        digest.update(block.data(), got);
    } while (got > 0);
    return true;
}

} // namespace

bool md5HexOfHandle(HANDLE file, std::vector<unsigned char>& block, std::string& hex) {
    MD5 digest;
    if (!digestOfHandle(file, block, digest)) return false;
    digest.finalize();
    hex = digest.hex_digest();
    return true;
}

bool sha256HexOfHandle(HANDLE file, std::vector<unsigned char>& block, std::string& hex) {
    Sha256 digest;
    if (!digestOfHandle(file, block, digest)) return false;
    hex = digest.hexDigest();
    return true;
}

} // namespace ornivel
