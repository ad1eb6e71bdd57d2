// The first token of the deployment server file's text (see ServerFile.h); no file access.
#include "sync/ServerFile.h"

namespace ornivel {

namespace {
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
} // namespace

std::string firstToken(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && isSpace(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !isSpace(text[end]) && text[end] != '\0') ++end;
    return text.substr(start, end - start);
}

} // namespace ornivel
