#pragma once
// Downloads files from a web server through WinHTTP, over HTTP or HTTPS.
#include <cstdint>
#include <string>
#include <vector>

#include "remote/ProxyCredentials.h"
#include "remote/RemoteSource.h"
#include "remote/WinHttpHandle.h"

namespace ornivel {

class PartialDownload;

class RemoteSourceWININET : public RemoteSource {
public:
    // One session and one connection to host:port for the source's whole life, through the
    // proxy that discovery decides for that server (ProxyDiscovery), or direct. Construction
    // never fails; a missing session or connection shows up as failing downloads.
    RemoteSourceWININET(const std::wstring& host, const std::wstring& path, unsigned short port,
                        const LogDriver& log, bool secure);
    ~RemoteSourceWININET() override;

    // Continues the partial file where it can. A try that breaks off after adding to what can
    // be continued is followed at once by one that continues it; the source fails at the
    // first try without progress, or, once one made progress, after kAttempts in a row.
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
               NameBytes nameBytes = NameBytes::Utf8) override;
    static constexpr int kAttempts = 3;

    // The flags every request is opened with: always past caches, TLS when secure.
    static uint32_t requestFlags(bool secure);
    // Every step keeps the library's own time-out; the response header as a whole must be
    // complete within this bound, so a server that never ends it cannot hold the run, while a
    // slow service on a poor link still answers.
    static constexpr unsigned long kHeaderBoundMs = 120000;
    static constexpr unsigned long kMaxHeaderBytes = 64 * 1024;
    // For tests: a shorter bound for the whole response header.
    void setHeaderBound(unsigned long milliseconds) { headerBoundMs_ = milliseconds; }
    // The proxy the requests go through ("HOST:PORT"), empty when they go direct.
    const std::wstring& proxy() const { return proxy_; }
    // Lets WinHTTP answer a proxy's Negotiate or NTLM challenge with the logged-on user's own
    // credentials; false when the request refuses the setting.
    static bool allowAutomaticLogon(HINTERNET request);
    bool secure() const { return secure_; }
    // The request's object name: base path (server path and "/") and the encoded remote name.
    static std::wstring objectName(const std::wstring& basePath, const std::wstring& remoteName,
                                   NameBytes nameBytes = NameBytes::Utf8);

    const std::wstring& basePath() const { return basePath_; }

private:
    enum class TryEnd {
        Whole,           // the partial file holds the whole file
        NotSatisfiable,  // 416 to the range request: nothing after the partial file's end
        BadStatus,       // an answer the download cannot take, logged at fatal already
        BrokeOff,        // no answer, or the body stopped short or could not be written
    };
    // One GET into the partial file (prepared by the caller): a range request when it can be
    // continued. `status` is the answer's status, or 0 when no answer arrived or the body did
    // not arrive whole.
    // One request of `object` (the URL path, percent-encoded).
    TryEnd fetchOnce(const std::wstring& object, PartialDownload& partial, ProgressListener* listener, int& status);
    // Reads the body onto the end of the partial file (written also when it breaks off);
    // false when reading or writing failed or, with a known length, the body stopped short.
    // Percentages count `before` bytes held already of `complete` bytes in all.
    bool receiveBody(HINTERNET request, PartialDownload& partial, uint64_t contentLength, bool lengthKnown,
                     uint64_t before, uint64_t complete, ProgressListener* listener);

    // What a request has tried against the proxy's 407 so far.
    struct ProxyAuthTries {
        bool logon = false;       // the logged-on user (Negotiate, NTLM)
        bool known = false;       // the credential of this run or of the credential store
        bool prompted = false;    // the user's answer to the prompt
        ProxyCredential offered;  // the credential sent last, remembered once accepted
        DWORD scheme = 0;         // the scheme it was sent with
    };
    // Sets the next credentials for a 407 answer on `request`; false when nothing is left.
    bool answerProxyChallenge(HINTERNET request, ProxyAuthTries& tries);
    bool offerCredential(HINTERNET request, DWORD schemes, const ProxyCredential& credential, ProxyAuthTries& tries);

    bool secure_;
    std::wstring basePath_;
    std::wstring proxy_;
    unsigned long headerBoundMs_ = kHeaderBoundMs;
    DWORD acceptedScheme_ = 0;   // the scheme the proxy accepted a credential with
    bool logonRefused_ = false;  // the proxy did not take the logged-on user
    std::vector<char> buffer_;  // received bytes on their way to the file, kept from file to file
    // Declared in this order so that the connection closes before the session.
    WinHttpHandle session_;
    WinHttpHandle connection_;
};

} // namespace ornivel
