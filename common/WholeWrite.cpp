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

bool readWhole(HANDLE file, std::string& bytes, uint64_t limit) {
    LARGE_INTEGER size;
    const LARGE_INTEGER start{};
    if (!GetFileSizeEx(file, &size) || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    const uint64_t wanted = std::min<uint64_t>(static_cast<uint64_t>(size.QuadPart), limit);
    if (size.QuadPart < 0 || wanted >= bytes.max_size()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    bytes.resize(static_cast<size_t>(wanted));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!ReadFile(file, &bytes[done], chunk, &read, nullptr)) return false;
        if (read == 0) break;
        done += read;
    }
    bytes.resize(done);
    return true;
}

} // namespace ornivel
