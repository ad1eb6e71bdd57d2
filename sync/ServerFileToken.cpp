// The first token of the deployment server file's text (see ServerFile.h); no file access.
#include "sync/ServerFile.h"

#include "common/TextScan.h"

namespace ornivel {

std::string firstToken(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && isCSpace(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !isCSpace(text[end]) && text[end] != '\0') ++end;
    return text.substr(start, end - start);
}

} // namespace ornivel
