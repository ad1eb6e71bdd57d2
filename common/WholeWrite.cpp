#include "common/WholeWrite.h"

#include <algorithm>

namespace ornivel {

bool writeWhole(HANDLE file, const void* data, uint64_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(length, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        length -= written;
    }
    return true;
}

} // namespace ornivel
