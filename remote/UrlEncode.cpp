#include "remote/UrlEncode.h"

namespace ornivel {

std::string urlEncode(const std::string& name) {
    static const char kHex[] = "0123456789abcdef";
    std::string encoded;
    encoded.reserve(name.size());
    for (unsigned char c : name) {
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        switch (c) {
        case '~': case '!': case '*': case '/': case '.': case '_': case '-': case '(': case ')': case '\'':
            keep = true;
            break;
        default:
            break;
        }
        if (keep) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 15];
        }
    }
    return encoded;
}

} // namespace ornivel
