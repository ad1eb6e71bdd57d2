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
#include "remote/ProxyCredentials.h"

namespace ornivel {

struct SocketTraits {
    using Value = SOCKET;
    static Value invalid() noexcept { return INVALID_SOCKET; }
    static bool isValid(Value v) noexcept { return v != INVALID_SOCKET; }
    static void close(Value v) noexcept { ::closesocket(v); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

class PartialDownload;

// What one exchange sent and received.
struct RequestResult {
    std::string sentText;  // the request text, with the body appended when there is one
    std::string header;    // the response header as received, empty line included
    std::string body;      // the body, when it is held in memory
    uint64_t bodyLength = 0;

    // Set by the caller for a download: the body goes into this partial file instead of
    // memory. A 200 answer starts it over, a 206 answer that continues it exactly at its
    // offset (the caller's range request) is appended; other answers leave it alone and their
    // bodies unread.
    PartialDownload* download = nullptr;
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
    // The header is received in blocks of this size; bytes past its end stay for the body,
    // so that a small answer usually arrives with one receive.
    static constexpr size_t kHeaderBlock = 64 * 1024;
    // A download's body is written to its file in blocks of this size.
    static constexpr size_t kWriteBlock = 1024 * 1024;

    // Starts the socket library (version 1.1); no connection is opened yet.
    Request(const LogDriver& log, bool dump);
    ~Request() = default;
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Keeps an open socket to the same host and port, otherwise opens a new one.
    bool connect(const std::string& host, int port);

    // One exchange: the final HTTP status, 0 (not HTTP, no connection, no status line, or a
    // download's file cannot be written) or -1 (a 2xx answer without Content-Length, or the
    // body broke off). For a download (result.download) 200 means that its partial file now
    // holds the whole file, also after a 206 that completed it.
    int execute(const std::string& url, const char* extraHeader, const char* body, size_t bodyLength,
                RequestResult& result, ProgressListener* listener);

    // A GET of `url` into `partial`: a range request continues what it holds where it can be
    // continued (PartialDownload::prepare), a 200 answer starts it over. The status as from
    // execute (200: the partial file holds the whole file). A 416 answer to the range request
    // (the partial file is as long as the file or longer) removes the partial file and asks
    // once more for the whole file; a 206 that does not continue it removes it as well.
    int getToFile(const std::string& url, PartialDownload& partial, ProgressListener* listener);

    // For tests: a shorter receive time-out, and a replacement for the refresh pause.
    void setReceiveTimeout(DWORD milliseconds) { receiveTimeoutMs_ = milliseconds; }
    void setPause(std::function<void(unsigned seconds)> pause) { pause_ = std::move(pause); }
    void setMaxHeaderBytes(size_t bytes) { maxHeaderBytes_ = bytes; }
    void setHeaderDeadline(DWORD milliseconds) { headerDeadlineMs_ = milliseconds; }

    // Sends every request through the HTTP proxy `proxy` ("HOST:PORT"): the connection goes to
    // the proxy, the request line carries the absolute URL, and a Basic challenge (407) is
    // answered with the proxy's credential of this run or of the credential store. False
    // when `proxy` is not "HOST:PORT".
    bool setProxy(const std::wstring& proxy);

private:
    int execute(const std::string& url, const char* extraHeader, const char* body, size_t bodyLength,
                RequestResult& result, ProgressListener* listener, int hops);
    enum class HeaderRead { Complete, TooLarge, TooSlow };
    HeaderRead readHeader(std::string& header);
    // Receives a body of `length` bytes into memory or onto the end of the result's download.
    // Percentages count `before` bytes held already of `whole` bytes in all.
    int readBody(uint64_t length, RequestResult& result, ProgressListener* listener, uint64_t before, uint64_t whole);
    // The body of a 2xx answer to a download: the status (see execute).
    int receiveDownload(int status, RequestResult& result, ProgressListener* listener);
    int getOnce(const std::string& url, PartialDownload& partial, ProgressListener* listener);
    // After a 407: true when a credential not refused yet is now set for the next request.
    bool answerProxyChallenge(const std::string& header);
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
    std::wstring proxy_;              // "HOST:PORT", empty: direct
    std::string proxyHost_;
    int proxyPort_ = 0;
    ProxyCredential proxyCredential_;  // sent (Basic) with every request once the proxy asked
    bool proxyCredentialAccepted_ = false;
};

} // namespace ornivel
