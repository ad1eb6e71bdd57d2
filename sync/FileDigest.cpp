#include "sync/FileDigest.h"

#include "filelist/Md5.h"

namespace ornivel {

bool md5HexOfHandle(HANDLE file, std::vector<unsigned char>& block, std::string& hex) {
    MD5 digest;
    DWORD got = 0;
    do {
        if (!ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) return false;
        digest.update(block.data(), got);
    } while (got > 0);
    digest.finalize();
    hex = digest.hex_digest();
    return true;
}

} // namespace ornivel
