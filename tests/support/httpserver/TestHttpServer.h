#pragma once
// Test programs start, script and stop the loopback HTTP/HTTPS test server through this
// class (see README.md in this folder). The server is a Python program on the Linux side;
// it ends when the object is destroyed or the test program exits.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ornivel::test {

// One scripted answer.
struct HttpAnswer {
    int status = 200;
    std::string reason;  // empty: the usual reason phrase
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int64_t size = -1;              // >= 0: a generated body of that many bytes (patternBytes)
    std::string unixFile;           // non-empty: the body is this file (Linux path)
    std::string contentLength = "auto";  // "auto", "omit" or the number to announce
    double delay = 0;               // seconds before the answer
    double bodyDelay = 0;           // seconds between header and body
    int64_t dropAfter = -1;         // >= 0: close the connection after this many body bytes
    bool close = false;             // close the connection after the answer
    bool noResponse = false;        // close the connection without answering
    std::string raw;                // non-empty: these bytes are the whole answer
    double bytesPerSecond = 0;      // > 0: the whole answer trickles out at this rate
    bool endlessHeader = false;     // a status line, then header lines without end
    int64_t stallAfter = -1;        // >= 0: after this many body bytes nothing more, connection kept
    int64_t resetAfter = -1;        // >= 0: after this many body bytes the connection is reset
    bool ignoreRange = false;       // a file answer: always 200 with the whole file, whatever the request asks

    static HttpAnswer ok(const std::string& body) {
        HttpAnswer a;
        a.body = body;
        return a;
    }
    static HttpAnswer withStatus(int status, const std::string& body = std::string()) {
        HttpAnswer a;
        a.status = status;
        a.body = body;
        return a;
    }
    HttpAnswer& header(const std::string& name, const std::string& value) {
        headers.emplace_back(name, value);
        return *this;
    }
};

struct RecordedRequest {
    int connection = 0;  // requests on the same connection share the number
    bool tls = false;
    std::string raw;     // header bytes, empty line included, then the body
    std::string requestLine() const;  // without CR LF
    std::string target() const;       // the path of the request line
};

class TestHttpServer {
public:
    // Starts the server; with TLS when the test prefix's certificate files exist.
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    bool running() const { return control_ != ~uintptr_t(0); }
    int httpPort() const { return httpPort_; }
    int httpsPort() const { return httpsPort_; }  // 0 without TLS

    // The answers for one request target (exact match, query included); each is used once,
    // the last one for every further request.
    bool route(const std::string& target, const std::vector<HttpAnswer>& answers);
    bool route(const std::string& target, const HttpAnswer& answer) { return route(target, std::vector<HttpAnswer>{answer}); }
    // The answers for every request target that starts with `prefix` (exact routes first).
    bool routePrefix(const std::string& prefix, const std::vector<HttpAnswer>& answers);
    // Serves the files of a folder (Windows path) under a target prefix such as "/app/";
    // names are percent-decoded; a missing file gets 404. `options` applies its headers,
    // delays, connection cuts (dropAfter: after that many body bytes of every answer) and
    // ignoreRange to each file's answer.
    bool serveFolder(const std::string& prefix, const std::wstring& folder, const HttpAnswer& options = HttpAnswer());
    // Body bytes sent in all answers since the start or the last clear().
    int64_t bodyBytesSent();
    std::vector<RecordedRequest> requests();
    // Forgets routes, folders and recorded requests.
    bool clear();

    // One raw control command (a JSON object) and its answer line.
    std::string command(const std::string& json);

private:
    uintptr_t control_ = ~uintptr_t(0);
    int httpPort_ = 0;
    int httpsPort_ = 0;
};

// The generated body of HttpAnswer::size: byte k is k % 251.
std::string patternBytes(size_t size);
// A JSON string literal for arbitrary 8-bit text.
std::string jsonString(const std::string& text);

} // namespace ornivel::test
