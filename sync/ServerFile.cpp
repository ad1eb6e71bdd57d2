#include "sync/ServerFile.h"

#include <windows.h>

#include "common/Handles.h"
#include "common/TextScan.h"

namespace ornivel {

bool readServerUrl(const std::wstring& path, std::string& url) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // Read until the first token has ended; what follows it is never needed.
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        text.append(chunk, read);
        size_t start = 0;
        while (start < text.size() && isCSpace(text[start])) ++start;
        if (text.find_first_of(" \t\n\v\f\r", start) != std::string::npos) break;
    }
    url = firstToken(text);
    return true;
}

} // namespace ornivel
