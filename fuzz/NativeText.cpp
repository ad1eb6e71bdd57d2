// The fuzz build links sync/Md5.cpp for the MD5 digest of the login record; its text helper
// refers to the UTF-8 conversion of common/Text.cpp, whose Windows side cannot be built
// here. This is that conversion for the fuzz build, on the pure encoder (which gives the
// same bytes as the system's conversion).
#include "common/Text.h"
#include "common/Utf8.h"

namespace ornivel {

std::string toUtf8(const std::wstring& text) { return encodeUtf8(text); }

} // namespace ornivel
