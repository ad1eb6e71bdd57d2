#pragma once
// A small HTTP/1.1 client on blocking TCP sockets: builds the request text itself, reads the
// response header up to its empty line and the body by its Content-Length, and follows
// "Refresh: " and "Location: " answers. Plain HTTP only.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/Handles.h"
#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"

namespace ornivel {

struct SocketTraits {
    using Value = SOCKET;
    static Value invalid() noexcept { return INVALID_SOCKET; }
    static bool isValid(Value v) noexcept { return v != INVALID_SOCKET; }
    static void close(Value v) noexcept { ::closesocket(v); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

// What one exchange sent and received.
struct RequestResult {
    std::string sentText;  // the request text, with the body appended when there is one
    std::string header;    // the response header as received, empty line included
    std::string body;      // the body, when it is held in memory
    uint64_t bodyLength = 0;

    // Set by the caller: a body larger than Request::kMemoryBodyLimit is written to this file
    // (replaced) instead of being held in memory. Without it such bodies are held in memory.
    std::wstring spillPath;
    bool bodyInFile = false;  // set when the body went to spillPath
    bool spillCreated = false;  // set when spillPath was written at any step of the exchange
};

class Request {
public:
    static constexpr DWORD kReceiveTimeoutMs = 10000;
    // Refresh and redirect answers followed for one exchange at most.
    static constexpr int kMaxHops = 10;
    // A response header beyond this size fails the exchange (real headers have a few hundred
    // bytes).
    static constexpr size_t kMaxHeaderBytes = 64 * 1024;
    // A response header must be complete this long after the request was sent: a server that
    // sends it a byte at a time cannot hold a download for ever.
    static constexpr DWORD kHeaderDeadlineMs = 15000;
    // Bodies above this size go to the result's spill file when one is named.
    static constexpr uint64_t kMemoryBodyLimit = 16 * 1024 * 1024;
    // The header is received in blocks of this size; bytes past its end stay for the body,
    // so that a small answer usually arrives with one receive.
    static constexpr size_t kHeaderBlock = 64 * 1024;
    // A spilled body is written to its file in blocks of this size.
    static constexpr size_t kWriteBlock = 1024 * 1024;

    // Starts the socket library (version 1.1); no connection is opened yet.
    Request(const LogDriver& log, bool dump);
    ~Request() = default;
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Keeps an open socket to the same host and port, otherwise opens a new one.
    bool connect(const std::string& host, int port);

    // One exchange: the final HTTP status, 0 (not HTTP, no connection, no status line) or -1
    // (a 2xx answer without Content-Length, or the body broke off).
    int execute(const std::string& url, const char* extraHeader, const char* body, size_t bodyLength,
                RequestResult& result, ProgressListener* listener);

    // A GET whose body is written to `localPath` when the status is 200; 0 when the file cannot
    // be written.
    int getToFile(const std::string& url, const std::wstring& localPath, ProgressListener* listener);

    // For tests: a shorter receive time-out, and a replacement for the refresh pause.
    void setReceiveTimeout(DWORD milliseconds) { receiveTimeoutMs_ = milliseconds; }
    void setPause(std::function<void(unsigned seconds)> pause) { pause_ = std::move(pause); }
    void setMaxHeaderBytes(size_t bytes) { maxHeaderBytes_ = bytes; }
    void setHeaderDeadline(DWORD milliseconds) { headerDeadlineMs_ = milliseconds; }

private:
    int execute(const std::string& url, const char* extraHeader, const char* body, size_t bodyLength,
                RequestResult& result, ProgressListener* listener, int hops);
    enum class HeaderRead { Complete, TooLarge, TooSlow };
    HeaderRead readHeader(std::string& header);
    int readBody(uint64_t length, RequestResult& result, ProgressListener* listener);
    // Receives into `target`: first the bytes received before but not yet consumed, then
    // from the socket (one receive). The result of the receive, or the count taken.
    int receive(char* target, int size);
    void closeSocket();

    UniqueSocket socket_;
    // Bytes of the open connection received but not yet consumed (the start of a body that
    // arrived with its header, or what follows a response on a reused connection): the
    // range [unreadAt_, unreadEnd_) of unread_.
    std::unique_ptr<char[]> unread_;
    size_t unreadAt_ = 0;
    size_t unreadEnd_ = 0;
    std::string connectedHost_;
    int connectedPort_ = 0;
    LogDriver log_;
    bool dump_;
    DWORD receiveTimeoutMs_ = kReceiveTimeoutMs;
    size_t maxHeaderBytes_ = kMaxHeaderBytes;
    DWORD headerDeadlineMs_ = kHeaderDeadlineMs;
    std::function<void(unsigned)> pause_;
};

} // namespace ornivel
