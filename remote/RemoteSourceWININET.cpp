#include "remote/RemoteSourceWININET.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "common/WholeWrite.h"
#include "logdriver/LastError.h"
#include "remote/UrlEncode.h"
#include "remote/HttpText.h"

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
    session_.reset(::WinHttpOpen(L"ornivel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_) {
        log_.log(LOG_ERROR, L"Error initializing WinINET. OS Error: %s", LastError().text().c_str());
        return;
    }
    // A TLS server's redirect never leads to clear text; a response header must be whole and
    // small within its time, so a server that trickles or never ends it cannot hold the run.
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    ::WinHttpSetOption(session_.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    DWORD headerTimeout = kHeaderTimeoutMs;
    ::WinHttpSetOption(session_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerTimeout, sizeof headerTimeout);
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

std::wstring RemoteSourceWININET::objectName(const std::wstring& basePath, const std::wstring& remoteName) {
    std::wstring name = remoteName;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return basePath + fromAnsi(urlEncode(toUtf8(name)));
}

bool RemoteSourceWININET::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener) {
    if (!beginHttpDownload(remoteName, localPath)) return false;
    bool badStatus = false;
    const int status = fetch(remoteName, localPath, listener, badStatus);
    if (status == 200) return true;
    if (!badStatus) {
        log_.log(LOG_DEBUG, L"Download error. HTTP error code: %d, OS Error: %s", status, LastError().text().c_str());
    }
    return false;
}

int RemoteSourceWININET::fetch(const std::wstring& remoteName, const std::wstring& localPath,
                               ProgressListener* listener, bool& badStatus) {
    const std::wstring name = objectName(basePath_, remoteName);
    WinHttpHandle request(::WinHttpOpenRequest(connection_.get(), L"GET", name.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, requestFlags(secure_)));
    log_.log(LOG_DEBUG, L"Opening Request...");
    if (!request) return 0;

    int status = 0;
    log_.log(LOG_DEBUG, L"Sending Request...");
    bool answered = ::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                         0, 0) != FALSE;
    if (answered) {
        log_.log(LOG_DEBUG, L"Receiving Response...");
        answered = ::WinHttpReceiveResponse(request.get(), nullptr) != FALSE;
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
        if (httpStatus != 200) {
            log_.log(LOG_FATAL, L"Error %d While calling URL: %s", static_cast<int>(httpStatus), name.c_str());
            badStatus = true;
            return static_cast<int>(httpStatus);
        }

        const std::wstring partial = partialPath(localPath);
        UniqueHandle file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (file) {
            if (receiveBody(request.get(), file.get(), contentLength, lengthKnown, listener)) {
                file.reset();
                status = 200;
            } else {
                // No truncated file stands in for the real one.
                const DWORD error = ::GetLastError();
                file.reset();
                ::DeleteFileW(partial.c_str());
                ::SetLastError(error);
            }
        }
    }
    if (status != 200) {
        const DWORD error = ::GetLastError();
        log_.log(LOG_DEBUG, L"Download error. HTTP error code: %d, OS Error: %s", status, LastError(error).text().c_str());
        // The caller reports the same error once more after the request has been closed.
        request.reset();
        ::SetLastError(error);
    }
    return status;
}

bool RemoteSourceWININET::receiveBody(HINTERNET request, HANDLE file, uint64_t contentLength, bool lengthKnown,
                                      ProgressListener* listener) {
    if (buffer_.size() < kWriteBlock) buffer_.resize(kWriteBlock);
    size_t filled = 0;  // received bytes not yet written
    const auto flush = [&]() {
        if (filled == 0) return true;
        const bool written = writeWhole(file, buffer_.data(), static_cast<DWORD>(filled));
        if (!written) log_.log(LOG_ERROR, L"Error writing file: %s", LastError().text().c_str());
        filled = 0;
        return written;
    };
    uint64_t total = 0;
    for (;;) {
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available)) {
            log_.log(LOG_ERROR, L"Could not Query available Data. OS Error: %s", LastError().text().c_str());
            return false;
        }
        if (available == 0) break;
        const DWORD wanted = std::max(available, kReadBlock);
        if (buffer_.size() - filled < wanted && !flush()) return false;
        if (buffer_.size() < wanted) buffer_.resize(wanted);
        DWORD read = 0;
        if (!::WinHttpReadData(request, buffer_.data() + filled, wanted, &read)) {
            log_.log(LOG_ERROR, L"Error downloading chunk: %s", LastError().text().c_str());
            return false;
        }
        filled += read;
        total += read;
        if (listener != nullptr) {
            int percent = percentOf(total, contentLength);
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

} // namespace ornivel
