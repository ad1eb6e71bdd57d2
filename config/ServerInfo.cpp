#include "config/ServerInfo.h"

#include <climits>
#include <cwctype>

namespace ornivel {

int leadingInt(const std::wstring& text, size_t from) {
    size_t i = from;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

ServerInfo ServerInfo::fromLine(const std::wstring& line) {
    constexpr size_t npos = std::wstring::npos;
    ServerInfo info;
    size_t p1 = line.find(L'|');
    info.host_ = line.substr(0, p1);
    size_t afterP1 = p1 == npos ? 0 : p1 + 1;
    size_t p2 = line.find(L'|', afterP1);
    info.port_ = leadingInt(line, afterP1);
    size_t afterP2 = p2 == npos ? 0 : p2 + 1;
    size_t p3 = line.find(L'|', afterP2);
    if (p3 == npos) {
        info.extra_ = -1;
        info.caption_ = line.substr(afterP2);
    } else {
        info.extra_ = leadingInt(line, p3 + 1);
        info.caption_ = line.substr(afterP2, p3 - afterP2);
    }
    return info;
}

} // namespace ornivel
