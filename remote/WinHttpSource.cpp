#include "remote/WinHttpSource.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "logdriver/LastError.h"
#include "remote/UrlEncode.h"
#include "remote/HttpText.h"
#include "remote/PartialDownload.h"
#include "remote/ProxyDiscovery.h"
#include "remote/ProxyText.h"

namespace ornivel {

namespace {

// Used when the answer carries no readable Content-Length.
constexpr uint64_t kFallbackContentLength = 10000000;
// Each read asks for at least this much (what has arrived and whatever follows): a file
// passes in few reads, and the bar still moves within a file and on a slow line.
constexpr DWORD kReadBlock = 64 * 1024;
// Received bytes are written to the file in blocks of this size.
constexpr size_t kWriteBlock = 1024 * 1024;

} // namespace

RemoteSourceWININET::RemoteSourceWININET(const std::wstring& host, const std::wstring& path, unsigned short port,
                                         const LogDriver& log, bool secure)
    : RemoteSource(log), secure_(secure), basePath_(path + L"/") {
    log_.log(LOG_DEBUG, L"Using URL '%s' for sync.", basePath_.c_str());
    proxy_ = ProxyDiscovery::instance().decide(host, port, secure, log_).proxy;
    session_.reset(openWinHttpSession(proxy_));
    if (!session_) {
        log_.log(LOG_ERROR, L"Error initializing WinINET. OS Error: %s", LastError().text().c_str());
        return;
    }
    // A TLS server's redirect never leads to clear text; a response header must stay small.
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    ::WinHttpSetOption(session_.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    DWORD headerSize = kMaxHeaderBytes;
    ::WinHttpSetOption(session_.get(), WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &headerSize, sizeof headerSize);
    connection_.reset(::WinHttpConnect(session_.get(), host.c_str(), port, 0));
    if (!connection_) {
        log_.log(LOG_ERROR, L"Error connecting to Server. OS Error: %s", LastError().text().c_str());
    } else {
        log_.log(LOG_INFO, L"WinHTTP Initialization successfull");
    }
}

RemoteSourceWININET::~RemoteSourceWININET() {
    connection_.reset();
    session_.reset();
}

uint32_t RemoteSourceWININET::requestFlags(bool secure) {
    return WINHTTP_FLAG_REFRESH | (secure ? WINHTTP_FLAG_SECURE : 0u);
}

std::wstring RemoteSourceWININET::objectName(const std::wstring& basePath, const std::wstring& remoteName,
                                             NameBytes nameBytes) {
    std::wstring name = remoteName;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return basePath + fromAnsi(urlEncode(serverBytesOf(name, nameBytes)));
}

namespace {

// A header of the answer as text; false when it is missing or is not short printable ASCII
// (nothing else can be sent back as a validator).
bool queryAscii(HINTERNET request, DWORD info, std::string& value) {
    wchar_t text[kMaxValidatorBytes + 2];
    DWORD size = sizeof text;
    if (!::WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX))
        return false;
    value.clear();
    for (DWORD i = 0; i < size / sizeof(wchar_t); ++i) {
        if (text[i] < 0x20 || text[i] > 0x7E) return false;
        value += static_cast<char>(text[i]);
    }
    return true;
}

std::string validatorOf(HINTERNET request) {
    std::string etag, lastModified;
    queryAscii(request, WINHTTP_QUERY_ETAG, etag);
    queryAscii(request, WINHTTP_QUERY_LAST_MODIFIED, lastModified);
    return chooseValidator(etag, lastModified);
}

} // namespace

bool RemoteSourceWININET::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
                                NameBytes nameBytes) {
    if (!beginHttpDownload(remoteName, localPath)) return false;
    const std::wstring object = objectName(basePath_, remoteName, nameBytes);
    PartialDownload partial(localPath);
    bool progressed = false;  // a try of this fetch added to what can be continued
    bool restarted = false;   // the partial file was given up after a 416
    int stalled = 0;          // tries in a row since then that added nothing
    for (;;) {
        partial.prepare();
        const uint64_t before = partial.resumableSize();
        int status = 0;
        const TryEnd end = fetchOnce(object, partial, listener, status);
        if (end == TryEnd::Whole) return true;
        if (end == TryEnd::NotSatisfiable && !restarted) {
            // Nothing left to ask for: a complete file that never took its name, or a longer one
            // than the server's. Only the whole file can tell.
            log_.log(LOG_DEBUG, L"'%s' holds %I64u bytes, no fewer than the file on the server: starting over.",
                     partial.path().c_str(), partial.offset());
            partial.discard();
            restarted = true;
            continue;
        }
        if (end == TryEnd::BrokeOff) {
            if (partial.resumableSize() > before) {
                progressed = true;
                stalled = 0;
                continue;
            }
            if (progressed && ++stalled < kAttempts) continue;
        }
        const DWORD error = ::GetLastError();
        partial.keepForLater();
        if (end != TryEnd::BadStatus) {
            log_.log(LOG_DEBUG, L"Download error. HTTP error code: %d, OS Error: %s", status,
                     LastError(error).text().c_str());
        }
        return false;
    }
}

RemoteSourceWININET::TryEnd RemoteSourceWININET::fetchOnce(const std::wstring& object, PartialDownload& partial,
                                                           ProgressListener* listener, int& status) {
    WinHttpHandle request(::WinHttpOpenRequest(connection_.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, requestFlags(secure_)));
    log_.log(LOG_DEBUG, L"Opening Request...");
    status = 0;
    if (!request) return TryEnd::BrokeOff;
    // The whole response header within the bound (on every step WinHTTP keeps its own).
    DWORD headerBound = headerBoundMs_;
    ::WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerBound, sizeof headerBound);
    if (!proxy_.empty()) {
        allowAutomaticLogon(request.get());
        // A proxy that took a Basic credential before gets it with the request, which spares
        // a challenge per file. Never inside a TLS tunnel, where it would reach the server.
        ProxyCredential accepted;
        if (!secure_ && acceptedScheme_ == WINHTTP_AUTH_SCHEME_BASIC && knownProxyCredential(proxy_, accepted)) {
            const std::wstring line =
                L"Proxy-Authorization: " + fromAnsi(basicCredentials(accepted.user, accepted.password)) + L"\r\n";
            ::WinHttpAddRequestHeaders(request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                       WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
        }
    }

    // A try that continues the partial file asks for the rest with a range request; one that
    // does not sends no additional header at all.
    const std::wstring lines = fromAnsi(partial.requestLines());
    if (!lines.empty()) {
        log_.log(LOG_DEBUG, L"Continuing '%s' from byte %I64u.", partial.path().c_str(), partial.offset());
        // Added to the request itself, so that a request sent again after a proxy's challenge
        // carries them once.
        ::WinHttpAddRequestHeaders(request.get(), lines.c_str(), static_cast<DWORD>(lines.size()),
                                   WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    bool answered = false;
    ProxyAuthTries tries;
    for (;;) {
        log_.log(LOG_DEBUG, L"Sending Request...");
        answered = ::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                        0, 0) != FALSE;
        if (answered) {
            log_.log(LOG_DEBUG, L"Receiving Response...");
            answered = ::WinHttpReceiveResponse(request.get(), nullptr) != FALSE;
        }
        if (!answered || proxy_.empty()) break;
        DWORD code = 0, size = sizeof code;
        ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX);
        if (code != HTTP_STATUS_PROXY_AUTH_REQ) {
            if (!tries.offered.empty()) {
                rememberProxyCredential(proxy_, tries.offered);
                acceptedScheme_ = tries.scheme;
            }
            break;
        }
        if (tries.logon && !tries.known) logonRefused_ = true;
        if (!answerProxyChallenge(request.get(), tries)) {
            log_.log(LOG_FATAL, L"Error 407 While calling URL: %s\r\nThe proxy server %s refused the credentials.",
                     object.c_str(), proxy_.c_str());
            status = HTTP_STATUS_PROXY_AUTH_REQ;
            return TryEnd::BadStatus;
        }
    }
    if (answered) {
        uint64_t contentLength = kFallbackContentLength;
        bool lengthKnown = false;
        wchar_t lengthText[64] = {};
        DWORD size = sizeof lengthText;
        if (::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                                  lengthText, &size, WINHTTP_NO_HEADER_INDEX)) {
            contentLength = std::wcstoull(lengthText, nullptr, 10);
            lengthKnown = true;
        } else {
            log_.log(LOG_ERROR, L"Error determining Content Length: %s", LastError().text().c_str());
        }

        DWORD httpStatus = 0;
        size = sizeof httpStatus;
        if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &httpStatus, &size, WINHTTP_NO_HEADER_INDEX)) {
            log_.log(LOG_ERROR, L"Error determining HTTP Status: %s", LastError().text().c_str());
            contentLength = kFallbackContentLength;
            lengthKnown = false;
            httpStatus = 0;
        }
        std::string rangeText;
        const bool rangeKnown = httpStatus == 206 && queryAscii(request.get(), WINHTTP_QUERY_CONTENT_RANGE, rangeText);
        ContentRange range;
        const AnswerUse use = classifyAnswer(static_cast<int>(httpStatus), partial.offset(),
                                             rangeKnown ? &rangeText : nullptr, lengthKnown ? &contentLength : nullptr,
                                             range);
        if (use == AnswerUse::NotSatisfiable) {
            status = static_cast<int>(httpStatus);
            return TryEnd::NotSatisfiable;
        }
        if (use == AnswerUse::Refuse) {
            log_.log(LOG_FATAL, L"Error %d While calling URL: %s", static_cast<int>(httpStatus), object.c_str());
            if (httpStatus == 206) partial.discard();  // a range that does not fit what the file holds
            status = static_cast<int>(httpStatus);
            return TryEnd::BadStatus;
        }

        const bool whole = use == AnswerUse::Whole;
        if (whole ? partial.startOver(validatorOf(request.get())) : partial.append()) {
            const uint64_t before = whole ? 0 : partial.offset();
            const uint64_t complete = whole ? contentLength : range.total;
            const uint64_t expected = whole ? contentLength : range.last - range.first + 1;
            // A range that ends before the file does is progress, not the whole file.
            if (receiveBody(request.get(), partial, expected, whole ? lengthKnown : true, before, complete, listener) &&
                (whole || partial.size() == range.total)) {
                status = 200;
            }
            partial.close();
        }
    }
    if (status != 200) {
        const DWORD error = ::GetLastError();
        log_.log(LOG_DEBUG, L"Download error. HTTP error code: %d, OS Error: %s", status, LastError(error).text().c_str());
        // The caller reports the same error once more after the request has been closed.
        request.reset();
        ::SetLastError(error);
        return TryEnd::BrokeOff;
    }
    return TryEnd::Whole;
}

bool RemoteSourceWININET::receiveBody(HINTERNET request, PartialDownload& partial, uint64_t contentLength,
                                      bool lengthKnown, uint64_t before, uint64_t complete,
                                      ProgressListener* listener) {
    if (buffer_.size() < kWriteBlock) buffer_.resize(kWriteBlock);
    size_t filled = 0;  // received bytes not yet written
    const auto flush = [&]() {
        if (filled == 0) return true;
        const bool written = partial.write(buffer_.data(), filled);
        if (!written) log_.log(LOG_ERROR, L"Error writing file: %s", LastError().text().c_str());
        filled = 0;
        return written;
    };
    // What arrived before a break stays in the file: the next try continues after it.
    const auto fail = [&]() {
        const DWORD error = ::GetLastError();
        flush();
        ::SetLastError(error);
        return false;
    };
    uint64_t total = 0;
    for (;;) {
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available)) {
            log_.log(LOG_ERROR, L"Could not Query available Data. OS Error: %s", LastError().text().c_str());
            return fail();
        }
        if (available == 0) break;
        const DWORD wanted = std::max(available, kReadBlock);
        if (buffer_.size() - filled < wanted && !flush()) return false;
        if (buffer_.size() < wanted) buffer_.resize(wanted);
        DWORD read = 0;
        if (!::WinHttpReadData(request, buffer_.data() + filled, wanted, &read)) {
            log_.log(LOG_ERROR, L"Error downloading chunk: %s", LastError().text().c_str());
            return fail();
        }
        filled += read;
        total += read;
        if (listener != nullptr) {
            int percent = percentOf(before + total, complete);
            listener->progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
        }
    }
    if (!flush()) return false;
    if (lengthKnown && total < contentLength) {
        log_.log(LOG_ERROR, L"Connection closed after %I64u of %I64u bytes.", total, contentLength);
        ::SetLastError(ERROR_HANDLE_EOF);
        return false;
    }
    return true;
}

bool RemoteSourceWININET::allowAutomaticLogon(HINTERNET request) {
    DWORD policy = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
    return ::WinHttpSetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof policy) != FALSE;
}

bool RemoteSourceWININET::answerProxyChallenge(HINTERNET request, ProxyAuthTries& tries) {
    DWORD schemes = 0, first = 0, target = 0;
    if (!::WinHttpQueryAuthSchemes(request, &schemes, &first, &target)) return false;
    // First the logged-on user, through the system's own logon to the proxy.
    const DWORD logon = (schemes & WINHTTP_AUTH_SCHEME_NEGOTIATE) ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                        : (schemes & WINHTTP_AUTH_SCHEME_NTLM)    ? WINHTTP_AUTH_SCHEME_NTLM
                                                                  : 0;
    if (!tries.logon) {
        tries.logon = true;
        if (logon != 0 && !logonRefused_ &&
            ::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, logon, nullptr, nullptr, nullptr)) {
            log_.log(LOG_DEBUG, L"The proxy server %s asks for credentials; offering the logged-on user's.",
                     proxy_.c_str());
            return true;
        }
    }
    ProxyCredential credential;
    if (!tries.known) {
        tries.known = true;
        if (knownProxyCredential(proxy_, credential) && offerCredential(request, schemes, credential, tries)) {
            log_.log(LOG_DEBUG, L"The proxy server %s asks for credentials; offering the stored ones.", proxy_.c_str());
            return true;
        }
    }
    if (!tries.prompted) {
        tries.prompted = true;
        if (promptProxyCredential(proxy_, credential) && offerCredential(request, schemes, credential, tries)) {
            log_.log(LOG_DEBUG, L"The proxy server %s asks for credentials; offering the typed ones.", proxy_.c_str());
            return true;
        }
    }
    return false;
}

bool RemoteSourceWININET::offerCredential(HINTERNET request, DWORD schemes, const ProxyCredential& credential,
                                          ProxyAuthTries& tries) {
    // The strongest scheme the proxy offers; Basic only for a credential stored or typed.
    for (DWORD scheme : {static_cast<DWORD>(WINHTTP_AUTH_SCHEME_NEGOTIATE), static_cast<DWORD>(WINHTTP_AUTH_SCHEME_NTLM),
                         static_cast<DWORD>(WINHTTP_AUTH_SCHEME_DIGEST), static_cast<DWORD>(WINHTTP_AUTH_SCHEME_BASIC)}) {
        if ((schemes & scheme) == 0) continue;
        if (!::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, credential.user.c_str(),
                                     credential.password.c_str(), nullptr))
            return false;
        tries.offered = credential;
        tries.scheme = scheme;
        return true;
    }
    return false;
}

} // namespace ornivel
