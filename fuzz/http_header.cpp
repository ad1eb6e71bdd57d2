// A response header of the socket client: where it ends, its status, Content-Length, Refresh
// and Location, and the request the client would send next. Values never carry a control
// character, a Refresh never waits longer than the cap, and the next request has exactly its
// fixed lines whatever the server wrote. The fields that continue a partial file (Content-Range,
// ETag, Last-Modified) stay within their rules too.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "remote/HttpText.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The request for a URL the server sent us to, as the client builds it after its checks.
void checkNextRequest(const std::string& url) {
    const ParsedUrl parsed = parseUrl(url);
    if (parsed.host.empty() || hasControlCharacter(url)) return;  // refused before any request
    const std::string request = buildRequestText(parsed.path, parsed.host, nullptr, 0);
    FUZZ_CHECK(request.compare(0, 4 + parsed.path.size(), "GET " + parsed.path) == 0);
    FUZZ_CHECK(countOf(request, "\r\n") == 6 && countOf(request, "\n") == 6 && countOf(request, "\r") == 6);
    FUZZ_CHECK(request.find("\r\nHost: " + parsed.host + "\r\n\r\n") == request.size() - 12 - parsed.host.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string currentUrl = input.ConsumeRandomLengthString(64);
    const std::string received = input.ConsumeRemainingBytesAsString();

    // The header ends after the first line feed that closes a line of nothing but CRs.
    HeaderEnd headerEnd;
    size_t end = received.size();
    bool ended = false;
    for (size_t i = 0; i < received.size() && !ended; ++i) {
        ended = headerEnd.add(received[i]);
        if (ended) end = i + 1;
    }
    const std::string header = received.substr(0, end);
    if (ended) {
        const std::string lines = header.substr(0, header.size() - 1);
        FUZZ_CHECK(header.back() == '\n');
        const size_t previous = lines.rfind('\n');
        const std::string lastLine = lines.substr(previous == std::string::npos ? 0 : previous + 1);
        FUZZ_CHECK(lastLine.find_first_not_of('\r') == std::string::npos);
    }

    const int status = parseStatus(header);
    const size_t version = header.find("HTTP/1.");
    if (version == std::string::npos) {
        FUZZ_CHECK(status == 0);
    } else {
        // After the version's end and white space: the status (checked when it has three digits
        // at most; a sign is not checked here).
        size_t at = header.find_first_of(" \t\r\n\v\f", version + 7);
        if (at != std::string::npos) {
            ++at;
            while (at < header.size() && std::strchr(" \t\r\n\v\f", header[at]) && header[at] != '\0') ++at;
            std::string digits;
            while (at < header.size() && header[at] >= '0' && header[at] <= '9') digits += header[at++];
            const bool number = !digits.empty();
            digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
            if (number && digits.size() <= 3) FUZZ_CHECK(status == (digits.empty() ? 0 : std::stoi(digits)));
        }
    }

    uint64_t length = 0;
    if (parseContentLength(header, length)) {
        size_t at = header.find("Content-Length: ") + 16;
        while (header[at] == ' ') ++at;
        size_t digits = at;
        while (digits < header.size() && header[digits] >= '0' && header[digits] <= '9') ++digits;
        std::string number = header.substr(at, digits - at);
        number.erase(0, std::min(number.find_first_not_of('0'), number.size() - 1));
        FUZZ_CHECK(std::to_string(length) == number);
    }

    std::string value;
    if (headerValue(header, "Refresh: ", value)) {
        for (char c : value) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
        FUZZ_CHECK(header.find("Refresh: " + value) != std::string::npos);
        const Refresh refresh = parseRefresh(value, currentUrl);
        FUZZ_CHECK(refresh.seconds <= kMaxRefreshSeconds);
        const size_t url = value.find("url=");
        FUZZ_CHECK(refresh.url == (url == std::string::npos ? currentUrl : value.substr(url + 4)));
        checkNextRequest(refresh.url);
    }
    if (headerValue(header, "Location: ", value)) {
        for (char c : value) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
        const std::string target = resolveLocation(currentUrl, value);
        if (!value.empty() && value[0] == '/' && value.compare(0, 2, "//") != 0) {  // a path on the same server
            const ParsedUrl current = parseUrl(currentUrl), next = parseUrl(target);
            FUZZ_CHECK(next.host == current.host && next.port == current.port && next.path == value);
        } else {
            FUZZ_CHECK(target == value);
        }
        checkNextRequest(target);
    }
    checkNextRequest(currentUrl);

    // What continues a partial file: field values without control characters, a range inside
    // its total, and a validator that goes back as exactly one header line and survives its
    // resume information.
    std::string field;
    if (headerField(header, "Content-Range", field)) {
        for (char c : field) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        ContentRange range;
        if (parseContentRange(field, range)) FUZZ_CHECK(range.first <= range.last && range.last < range.total);
    }
    const std::string validator = responseValidator(header);
    if (!validator.empty()) {
        std::string etag, modified;
        headerField(header, "ETag", etag);
        headerField(header, "Last-Modified", modified);
        // A weak entity tag never vouches for a range; a date is a date, whatever it starts with.
        FUZZ_CHECK(isUsableValidator(validator) &&
                   ((validator == etag && etag.compare(0, 2, "W/") != 0) || validator == modified));
        const std::string lines = rangeRequestLines(12345, validator);
        FUZZ_CHECK(countOf(lines, "\r\n") == 2 && countOf(lines, "\n") == 2 && countOf(lines, "\r") == 2);
        std::string kept;
        FUZZ_CHECK(parseResumeInfo(resumeInfoText(validator), kept) && kept == validator);
    }
    return 0;
}
