#include "common/ResourceText.h"

namespace ornivel {

std::wstring loadResourceString(HINSTANCE instance, UINT id) {
    wchar_t buffer[1024];
    const int length = LoadStringW(instance, id, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

} // namespace ornivel
