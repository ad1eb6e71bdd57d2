#include "common/TextScan.h"

#include <climits>
#include <cwctype>

namespace ornivel {

namespace {

bool isSpace(wchar_t c, Spaces spaces) { return spaces == Spaces::Wide ? std::iswspace(c) != 0 : isCSpace(c); }

} // namespace

int clampedLeadingInt(const std::wstring& text, size_t from, Spaces spaces) {
    size_t i = from;
    while (i < text.size() && isSpace(text[i], spaces)) ++i;
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

std::wstring trimWhitespace(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::vector<std::wstring> splitTokens(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> fields;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = text.find_first_not_of(separator, pos);
        if (start == std::wstring::npos) break;
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        fields.push_back(text.substr(start, end - start));
        pos = end;
    }
    return fields;
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::wstring lowerAscii(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

} // namespace ornivel
