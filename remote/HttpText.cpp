#include "remote/HttpText.h"

#include <cstdlib>
#include <cstring>

#include "common/TextScan.h"

namespace ornivel {

namespace {

bool isHostChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == ':';
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

ParsedUrl parseUrl(const std::string& url) {
    std::string upperUrl(url);
    for (char& c : upperUrl) c = upper(c);

    ParsedUrl parsed;
    size_t pos = 0;
    size_t colon = upperUrl.find(':');
    if (colon == std::string::npos) {
        parsed.scheme = "HTTP";
    } else {
        parsed.scheme = upperUrl.substr(0, colon);
        pos = colon + 1;
        if (upperUrl.compare(pos, 2, "//") == 0) pos += 2;
    }
    size_t hostEnd = pos;
    while (hostEnd < upperUrl.size() && isHostChar(upperUrl[hostEnd])) ++hostEnd;
    parsed.host = upperUrl.substr(pos, hostEnd - pos);
    parsed.path = url.substr(hostEnd);
    if (parsed.path.empty()) parsed.path = "/";

    size_t portColon = parsed.host.find(':');
    if (portColon != std::string::npos) {
        parsed.port = std::atoi(parsed.host.c_str() + portColon + 1);
        parsed.host.resize(portColon);
    }
    return parsed;
}

std::string buildRequestText(const std::string& path, const std::string& host, const char* extraHeader,
                             size_t bodyLength) {
    std::string text;
    text.reserve(128 + path.size() + host.size());
    text += bodyLength != 0 ? "POST " : "GET ";
    text += path;
    text += " HTTP/1.1\r\n";
    text += "Accept: */*\r\n";
    text += "Accept-Language: *\r\n";
    text += "User-Agent: Mozilla/4.0\r\n";
    if (bodyLength != 0) {
        text += "Content-Length: ";
        text += std::to_string(bodyLength);
        text += "\r\n";
    }
    text += "Host: ";
    text += host;
    text += "\r\n";
    if (extraHeader != nullptr) text += extraHeader;
    text += "\r\n";
    return text;
}

bool HeaderEnd::add(char c) {
    if (c == '\n') {
        bool end = lineLength_ == 0;
        lineLength_ = 0;
        return end;
    }
    if (c != '\r') ++lineLength_;
    return false;
}

int parseStatus(const std::string& header) {
    size_t pos = header.find("HTTP/1.");
    if (pos == std::string::npos) return 0;
    pos += 7;
    while (pos < header.size() && !isCSpace(header[pos])) ++pos;
    if (pos >= header.size()) return 0;
    return std::atoi(header.c_str() + pos + 1);
}

bool parseContentLength(const std::string& header, uint64_t& length) {
    size_t pos = header.find("Content-Length: ");
    if (pos == std::string::npos) return false;
    pos += 16;
    while (pos < header.size() && header[pos] == ' ') ++pos;
    uint64_t value = 0;
    size_t digits = 0;
    for (; pos < header.size() && header[pos] >= '0' && header[pos] <= '9'; ++pos, ++digits) {
        if (value > (UINT64_MAX - 9) / 10) return false;  // not a length any server sends
        value = value * 10 + static_cast<unsigned>(header[pos] - '0');
    }
    if (digits == 0) return false;
    length = value;
    return true;
}

bool headerValue(const std::string& header, const char* name, std::string& value) {
    size_t pos = header.find(name);
    if (pos == std::string::npos) return false;
    pos += std::strlen(name);
    size_t end = pos;
    while (end < header.size() && static_cast<unsigned char>(header[end]) >= 0x20) ++end;
    value = header.substr(pos, end - pos);
    return true;
}

Refresh parseRefresh(const std::string& value, const std::string& currentUrl) {
    Refresh refresh;
    size_t at = 0;
    while (at < value.size() && isCSpace(value[at])) ++at;
    if (at < value.size() && value[at] == '+') ++at;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
        refresh.seconds = refresh.seconds * 10 + static_cast<unsigned>(value[at] - '0');
        if (refresh.seconds > kMaxRefreshSeconds) refresh.seconds = kMaxRefreshSeconds;  // no overflow either
    }
    size_t url = value.find("url=");
    refresh.url = url == std::string::npos ? currentUrl : value.substr(url + 4);
    return refresh;
}

bool hasControlCharacter(const std::string& url) {
    for (char c : url)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

std::string resolveLocation(const std::string& currentUrl, const std::string& location) {
    if (location.empty() || location[0] != '/' || location.compare(0, 2, "//") == 0) return location;
    ParsedUrl current = parseUrl(currentUrl);
    return "http://" + current.host + ":" + std::to_string(current.port) + location;
}

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The decimal number at `pos` (at least one digit, no overflow); `pos` moves past it.
bool readNumber(const std::string& text, size_t& pos, uint64_t& number) {
    const size_t start = pos;
    number = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (number > (UINT64_MAX - 9) / 10) return false;
        number = number * 10 + static_cast<unsigned>(text[pos] - '0');
    }
    return pos > start;
}

} // namespace

bool headerField(const std::string& header, const char* name, std::string& value) {
    const size_t nameLength = std::strlen(name);
    for (size_t line = header.find('\n'); line != std::string::npos; line = header.find('\n', line)) {
        ++line;
        size_t i = 0;
        while (i < nameLength && line + i < header.size() && lower(header[line + i]) == lower(name[i])) ++i;
        size_t pos = line + i;
        if (i < nameLength || pos >= header.size() || header[pos] != ':') continue;
        ++pos;
        while (pos < header.size() && isBlank(header[pos])) ++pos;
        size_t end = pos;
        while (end < header.size() && static_cast<unsigned char>(header[end]) >= 0x20 && header[end] != 0x7F) ++end;
        while (end > pos && header[end - 1] == ' ') --end;
        value = header.substr(pos, end - pos);
        return true;
    }
    return false;
}

bool parseContentRange(const std::string& value, ContentRange& range) {
    if (value.size() < 6 || lowerAscii(value.substr(0, 5)) != "bytes" || !isBlank(value[5])) return false;
    size_t pos = 6;
    while (pos < value.size() && isBlank(value[pos])) ++pos;
    ContentRange parsed;
    if (!readNumber(value, pos, parsed.first) || pos >= value.size() || value[pos++] != '-') return false;
    if (!readNumber(value, pos, parsed.last) || pos >= value.size() || value[pos++] != '/') return false;
    if (!readNumber(value, pos, parsed.total) || pos != value.size()) return false;
    if (parsed.first > parsed.last || parsed.last >= parsed.total) return false;
    range = parsed;
    return true;
}

bool isUsableValidator(const std::string& value) {
    if (value.empty() || value.size() > kMaxValidatorBytes || value.front() == ' ' || value.back() == ' ') return false;
    for (char c : value)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

std::string chooseValidator(const std::string& etag, const std::string& lastModified) {
    // A weak entity tag says "equivalent", not "the same bytes": it cannot vouch for a range.
    if (isUsableValidator(etag) && etag.compare(0, 2, "W/") != 0) return etag;
    if (isUsableValidator(lastModified)) return lastModified;
    return std::string();
}

std::string responseValidator(const std::string& header) {
    std::string etag, lastModified;
    headerField(header, "ETag", etag);
    headerField(header, "Last-Modified", lastModified);
    return chooseValidator(etag, lastModified);
}

std::string rangeRequestLines(uint64_t offset, const std::string& validator) {
    return "Range: bytes=" + std::to_string(offset) + "-\r\nIf-Range: " + validator + "\r\n";
}

std::string resumeInfoText(const std::string& validator) { return validator + "\n"; }

bool parseResumeInfo(const std::string& text, std::string& validator) {
    if (text.empty() || text.back() != '\n') return false;
    std::string value = text.substr(0, text.size() - 1);
    if (!isUsableValidator(value)) return false;
    validator = std::move(value);
    return true;
}

AnswerUse classifyAnswer(int status, uint64_t offset, const std::string* contentRange, const uint64_t* contentLength,
                         ContentRange& range) {
    if (status == 200) return AnswerUse::Whole;
    if (offset == 0) return AnswerUse::Refuse;  // nothing was asked for but the whole file
    if (status == 416) return AnswerUse::NotSatisfiable;
    if (status != 206 || contentRange == nullptr || !parseContentRange(*contentRange, range)) return AnswerUse::Refuse;
    if (range.first != offset) return AnswerUse::Refuse;
    if (contentLength != nullptr && *contentLength != range.last - range.first + 1) return AnswerUse::Refuse;
    return AnswerUse::Append;
}

int percentOf(uint64_t done, uint64_t total) {
    if (total == 0) return 100;
    double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

int heldPercent(uint64_t held, uint64_t length) {
    return static_cast<int>(static_cast<double>(held) / static_cast<double>(length) * 100.0);
}

} // namespace ornivel
