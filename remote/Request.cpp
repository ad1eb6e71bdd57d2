#include "remote/Request.h"

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/HttpText.h"
#include "remote/PartialDownload.h"
#include "remote/ProxyText.h"
#include "remote/UrlEncode.h"

namespace ornivel {

namespace {

void sendAll(SOCKET socket, const char* data, size_t length) {
    while (length > 0) {
        int chunk = static_cast<int>(std::min<size_t>(length, INT_MAX));
        int sent = ::send(socket, data, chunk, 0);
        if (sent <= 0) return;  // the answer, or its absence, tells the rest
        data += sent;
        length -= static_cast<size_t>(sent);
    }
}

// The URL with its control characters shown as "?", for the log.
std::string printableUrl(std::string url) {
    for (char& c : url)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return url;
}

void reportPercent(ProgressListener* listener, int percent) {
    if (listener != nullptr) listener->progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
}

} // namespace

Request::Request(const LogDriver& log, bool dump) : log_(log), dump_(dump) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(1, 1), &data);
    pause_ = [](unsigned seconds) { ::Sleep(seconds * 1000u); };
}

void Request::closeSocket() {
    socket_.reset();
    unreadAt_ = unreadEnd_ = 0;
    connectedHost_.clear();
    connectedPort_ = 0;
}

bool Request::connect(const std::string& host, int port) {
    if (socket_ && host == connectedHost_ && port == connectedPort_) return true;
    closeSocket();
    socket_.reset(::socket(AF_INET, SOCK_STREAM, 0));
    if (!socket_) return false;
    DWORD timeout = receiveTimeoutMs_;
    if (::setsockopt(socket_.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                     sizeof timeout) != 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    if (const hostent* entry = ::gethostbyname(host.c_str());
        entry != nullptr && entry->h_addrtype == AF_INET && entry->h_addr_list[0] != nullptr) {
        memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);
    }
    if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return false;
    connectedHost_ = host;
    connectedPort_ = port;
    return true;
}

int Request::execute(const std::string& url, const char* extraHeader, const char* body, size_t bodyLength,
                     RequestResult& result, ProgressListener* listener) {
    return execute(url, extraHeader, body, bodyLength, result, listener, 0);
}

int Request::receive(char* target, int size) {
    if (unreadAt_ < unreadEnd_) {
        const size_t count = std::min(unreadEnd_ - unreadAt_, static_cast<size_t>(size));
        memcpy(target, unread_.get() + unreadAt_, count);
        unreadAt_ += count;
        return static_cast<int>(count);
    }
    return ::recv(socket_.get(), target, size, 0);
}

Request::HeaderRead Request::readHeader(std::string& header) {
    header.clear();
    HeaderEnd end;
    const DWORD start = ::GetTickCount();
    // The stream is read as if byte by byte: the header ends at its empty line (or when the
    // connection has nothing more), and every byte after it stays unread for what follows.
    for (;;) {
        while (unreadAt_ < unreadEnd_) {
            if (header.size() >= maxHeaderBytes_) return HeaderRead::TooLarge;
            const char c = unread_[unreadAt_++];
            header += c;
            if (end.add(c)) return HeaderRead::Complete;
        }
        if (::GetTickCount() - start > headerDeadlineMs_) return HeaderRead::TooSlow;
        if (!unread_) unread_.reset(new char[kHeaderBlock]);
        const int received = ::recv(socket_.get(), unread_.get(), static_cast<int>(kHeaderBlock), 0);
        unreadAt_ = 0;
        unreadEnd_ = received > 0 ? static_cast<size_t>(received) : 0;
        if (received <= 0) return HeaderRead::Complete;
    }
}

int Request::readBody(uint64_t length, RequestResult& result, ProgressListener* listener, uint64_t before,
                      uint64_t whole) {
    PartialDownload* const download = result.download;
    std::vector<char> block;  // a download passes through it on its way to the file
    if (download != nullptr) {
        block.resize(static_cast<size_t>(std::min<uint64_t>(length, kWriteBlock)));
    } else {
        if (length > result.body.max_size()) return -1;
        try {
            result.body.resize(static_cast<size_t>(length));
        } catch (const std::bad_alloc&) {
            log_.log(LOG_ERROR, L"Not enough memory for a body of %I64u bytes.", length);
            return -1;
        }
    }

    int status = 0;
    int lastPercent = 0;
    uint64_t held = 0;
    size_t filled = 0;  // bytes waiting in `block`
    while (held < length) {
        const uint64_t remaining = length - held;
        char* target = download != nullptr ? block.data() + filled : &result.body[static_cast<size_t>(held)];
        const uint64_t room = download != nullptr ? block.size() - filled : (1u << 30);
        const int received = receive(target, static_cast<int>(std::min(remaining, room)));
        const int percent = heldPercent(before + held, whole);
        if (percent != lastPercent) {
            lastPercent = percent;
            reportPercent(listener, percent);
        }
        // A closed connection before the announced length is as much a failure as an error.
        if (received <= 0) {
            status = -1;
            break;
        }
        held += static_cast<uint64_t>(received);
        filled += static_cast<size_t>(received);
        if (download != nullptr && filled == block.size()) {
            const bool written = download->write(block.data(), filled);
            filled = 0;
            if (!written) {
                status = -1;
                break;
            }
        }
    }
    // What arrived before a break stays in the file: the next try continues after it.
    if (download != nullptr && filled > 0 && !download->write(block.data(), filled)) status = -1;
    if (download == nullptr) result.body.resize(static_cast<size_t>(held));
    result.bodyLength = held;
    return status;
}

int Request::receiveDownload(int status, RequestResult& result, ProgressListener* listener) {
    PartialDownload& partial = *result.download;
    uint64_t length = 0;
    const bool lengthKnown = parseContentLength(result.header, length);
    std::string rangeText;
    const bool rangeKnown = headerField(result.header, "Content-Range", rangeText);
    ContentRange range;
    const AnswerUse use = classifyAnswer(status, partial.offset(), rangeKnown ? &rangeText : nullptr,
                                         lengthKnown ? &length : nullptr, range);
    if (use != AnswerUse::Whole && use != AnswerUse::Append) return status;
    if (!lengthKnown) return -1;
    const bool whole = use == AnswerUse::Whole;
    if (whole ? !partial.startOver(responseValidator(result.header)) : !partial.append()) {
        log_.log(LOG_ERROR, L"Could not write file '%s'. Error: %s", partial.path().c_str(), LastError().text().c_str());
        return 0;
    }
    const uint64_t before = whole ? 0 : partial.offset();
    const uint64_t complete = whole ? length : range.total;
    const int read = readBody(length, result, listener, before, complete);
    partial.close();
    // A range that ends before the file does is progress, not the whole file.
    return read == 0 && partial.size() == complete ? 200 : -1;
}

int Request::execute(const std::string& url, const char* extraHeader, const char* body, size_t bodyLength,
                     RequestResult& result, ProgressListener* listener, int hops) {
    result.sentText.clear();
    result.header.clear();
    result.body.clear();
    result.bodyLength = 0;

    const ParsedUrl parsed = parseUrl(url);
    if (parsed.scheme != "HTTP") return 0;
    if (parsed.host.empty() || hasControlCharacter(url)) {
        log_.log(LOG_ERROR, L"Refused to request URL '%S': it names no host or holds a control character.",
                 printableUrl(url).c_str());
        return 0;
    }
    // Through a proxy the connection goes to the proxy and the request line names the whole
    // URL; the rest of the request is the same.
    const bool proxied = !proxy_.empty();
    if (!(proxied ? connect(proxyHost_, proxyPort_) : connect(parsed.host, parsed.port))) return 0;

    if (body == nullptr) bodyLength = 0;
    std::string extra = extraHeader != nullptr ? extraHeader : "";
    if (proxied && !proxyCredential_.empty())
        extra = "Proxy-Authorization: " + basicCredentials(proxyCredential_.user, proxyCredential_.password) + "\r\n" +
                extra;
    const std::string text =
        buildRequestText(proxied ? absoluteRequestTarget(parsed.host, parsed.port, parsed.path) : parsed.path,
                         parsed.host, extra.empty() ? nullptr : extra.c_str(), bodyLength);
    sendAll(socket_.get(), text.data(), text.size());
    result.sentText = text;
    if (bodyLength != 0) {
        sendAll(socket_.get(), body, bodyLength);
        result.sentText.append(body, bodyLength);
    }
    if (dump_) {
        log_.log(LOG_DEBUG, L"SEND");
        log_.log(LOG_DEBUG, L"%s", fromAnsi(maskProxyAuthorization(result.sentText)).c_str());
    }

    const HeaderRead read = readHeader(result.header);
    if (read != HeaderRead::Complete) {
        if (read == HeaderRead::TooLarge)
            log_.log(LOG_ERROR, L"Response header from URL '%S' exceeds %u bytes.", url.c_str(),
                     static_cast<unsigned>(maxHeaderBytes_));
        else
            log_.log(LOG_ERROR, L"Response header from URL '%S' did not arrive within %u seconds.", url.c_str(),
                     static_cast<unsigned>(headerDeadlineMs_ / 1000));
        closeSocket();
        return 0;
    }
    if (dump_) {
        log_.log(LOG_DEBUG, L"RECEIVE");
        log_.log(LOG_DEBUG, L"%s", fromAnsi(result.header).c_str());
    }

    int status = parseStatus(result.header);
    if (proxied && status == 407) {
        closeSocket();  // the challenge's body is not read
        if (answerProxyChallenge(result.header))
            return execute(url, extraHeader, body, bodyLength, result, listener, hops + 1);
        log_.log(LOG_ERROR, L"The proxy server %s refused the credentials (HTTP 407) for URL '%S'.", proxy_.c_str(),
                 printableUrl(url).c_str());
        return status;
    }
    if (proxied && !proxyCredential_.empty() && !proxyCredentialAccepted_) {
        proxyCredentialAccepted_ = true;
        rememberProxyCredential(proxy_, proxyCredential_);
    }
    if (status >= 200 && status <= 299) {
        uint64_t length = 0;
        if (result.download != nullptr) {
            status = receiveDownload(status, result, listener);
        } else if (!parseContentLength(result.header, length)) {
            status = -1;
        } else if (readBody(length, result, listener, 0, length) != 0) {
            status = -1;
        }
    }

    std::string value;
    if (headerValue(result.header, "Refresh: ", value)) {
        log_.log(LOG_DEBUG, L"refreshValue=%S", value.c_str());
        const Refresh refresh = parseRefresh(value, url);
        log_.log(LOG_DEBUG, L"Received HTTP Refresh with %d seconds. URL: %S", static_cast<int>(refresh.seconds),
                 refresh.url.c_str());
        if (hops >= kMaxHops) {
            log_.log(LOG_ERROR, L"Too many refreshes and redirections at URL '%S'.", url.c_str());
            closeSocket();
            return 0;
        }
        pause_(refresh.seconds);
        // The socket stays open: a refresh to the same server reuses the connection.
        return execute(refresh.url, extraHeader, body, bodyLength, result, listener, hops + 1);
    }
    closeSocket();

    if (status >= 300 && status <= 399 && headerValue(result.header, "Location: ", value)) {
        log_.log(LOG_DEBUG, L"Redirected to URL '%S'.", value.c_str());
        if (hops >= kMaxHops) {
            log_.log(LOG_ERROR, L"Too many refreshes and redirections at URL '%S'.", url.c_str());
            return 0;
        }
        Request redirected(log_, dump_);
        redirected.receiveTimeoutMs_ = receiveTimeoutMs_;
        redirected.headerDeadlineMs_ = headerDeadlineMs_;
        redirected.pause_ = pause_;
        redirected.maxHeaderBytes_ = maxHeaderBytes_;
        redirected.proxy_ = proxy_;
        redirected.proxyHost_ = proxyHost_;
        redirected.proxyPort_ = proxyPort_;
        redirected.proxyCredential_ = proxyCredential_;
        redirected.proxyCredentialAccepted_ = proxyCredentialAccepted_;
        return redirected.execute(resolveLocation(url, value), extraHeader, body, bodyLength, result, listener,
                                  hops + 1);
    }
    return status;
}

bool Request::setProxy(const std::wstring& proxy) {
    std::wstring host;
    int port = 0;
    if (!splitHostPort(proxy, host, port)) return false;
    proxy_ = proxy;
    proxyHost_ = toAnsi(host);
    proxyPort_ = port;
    return true;
}

bool Request::answerProxyChallenge(const std::string& header) {
    // A credential that was sent and answered with another 407 is refused.
    if (!proxyCredential_.empty()) {
        proxyCredential_ = ProxyCredential();
        proxyCredentialAccepted_ = false;
        return false;
    }
    ProxyCredential credential;
    if (!offersBasicProxyAuth(header) || !knownProxyCredential(proxy_, credential)) return false;
    log_.log(LOG_DEBUG, L"The proxy server %s asks for credentials; offering the stored ones.", proxy_.c_str());
    proxyCredential_ = credential;
    return true;
}

int Request::getOnce(const std::string& url, PartialDownload& partial, ProgressListener* listener) {
    partial.prepare();
    const std::string lines = partial.requestLines();
    if (!lines.empty())
        log_.log(LOG_DEBUG, L"Continuing '%s' from byte %I64u.", partial.path().c_str(), partial.offset());
    RequestResult result;
    result.download = &partial;
    return execute(url, lines.empty() ? nullptr : lines.c_str(), nullptr, 0, result, listener);
}

int Request::getToFile(const std::string& url, PartialDownload& partial, ProgressListener* listener) {
    int status = getOnce(url, partial, listener);
    if (status == 416 && partial.offset() > 0) {
        // Nothing left to ask for: a complete file that never took its name, or a longer one
        // than the server's. Only the whole file can tell.
        log_.log(LOG_DEBUG, L"'%s' holds %I64u bytes, no fewer than the file on the server: starting over.",
                 partial.path().c_str(), partial.offset());
        partial.discard();
        status = getOnce(url, partial, listener);
    }
    if (status == 206) partial.discard();  // a range that does not fit what the file holds
    return status;
}

} // namespace ornivel
