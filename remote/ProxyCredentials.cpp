#include "remote/ProxyCredentials.h"

#include <windows.h>
#include <wincred.h>

#include <map>
#include <mutex>
#include <set>

namespace ornivel {

namespace {

struct RunCredentials {
    std::mutex lock;
    ProxyCredentialPrompt prompt;
    std::map<std::wstring, ProxyCredential> known;  // accepted or typed this run, by proxy
    std::set<std::wstring> asked;                   // proxies the user was asked for
};

RunCredentials& run() {
    static auto* credentials = new RunCredentials;  // used until the process ends
    return *credentials;
}

// Zeroes a text before it is released.
void wipe(std::wstring& text) {
    SecureZeroMemory(&text[0], text.size() * sizeof(wchar_t));
    text.clear();
}

} // namespace

void setProxyCredentialPrompt(ProxyCredentialPrompt prompt) {
    std::lock_guard<std::mutex> guard(run().lock);
    run().prompt = std::move(prompt);
}

bool readStoredProxyCredential(const std::wstring& proxy, ProxyCredential& credential) {
    PCREDENTIALW stored = nullptr;
    if (!CredReadW(proxy.c_str(), CRED_TYPE_GENERIC, 0, &stored)) return false;
    credential.user = stored->UserName ? stored->UserName : L"";
    // cmdkey and the credential manager keep the secret as UTF-16 text.
    credential.password.assign(reinterpret_cast<const wchar_t*>(stored->CredentialBlob),
                               stored->CredentialBlobSize / sizeof(wchar_t));
    SecureZeroMemory(stored->CredentialBlob, stored->CredentialBlobSize);
    CredFree(stored);
    return !credential.user.empty();
}

bool storeProxyCredential(const std::wstring& proxy, const ProxyCredential& credential) {
    std::wstring target = proxy, user = credential.user, secret = credential.password;
    CREDENTIALW entry{};
    entry.Type = CRED_TYPE_GENERIC;
    entry.TargetName = target.data();
    entry.UserName = user.data();
    entry.CredentialBlob = reinterpret_cast<LPBYTE>(secret.data());
    entry.CredentialBlobSize = static_cast<DWORD>(secret.size() * sizeof(wchar_t));
    entry.Persist = CRED_PERSIST_LOCAL_MACHINE;
    const bool stored = CredWriteW(&entry, 0) != FALSE;
    wipe(secret);
    return stored;
}

bool deleteStoredProxyCredential(const std::wstring& proxy) {
    return CredDeleteW(proxy.c_str(), CRED_TYPE_GENERIC, 0) != FALSE;
}

bool knownProxyCredential(const std::wstring& proxy, ProxyCredential& credential) {
    {
        std::lock_guard<std::mutex> guard(run().lock);
        const auto found = run().known.find(proxy);
        if (found != run().known.end()) {
            credential = found->second;
            return true;
        }
    }
    return readStoredProxyCredential(proxy, credential);
}

void rememberProxyCredential(const std::wstring& proxy, const ProxyCredential& credential) {
    std::lock_guard<std::mutex> guard(run().lock);
    run().known[proxy] = credential;
}

bool promptProxyCredential(const std::wstring& proxy, ProxyCredential& credential) {
    ProxyCredentialPrompt prompt;
    {
        std::lock_guard<std::mutex> guard(run().lock);
        if (!run().prompt || !run().asked.insert(proxy).second) return false;
        prompt = run().prompt;
    }
    bool remember = false;
    ProxyCredential typed;
    if (!prompt(proxy, typed, remember) || typed.empty()) return false;
    if (remember) storeProxyCredential(proxy, typed);
    rememberProxyCredential(proxy, typed);
    credential = typed;
    return true;
}

void forgetProxyCredentials() {
    std::lock_guard<std::mutex> guard(run().lock);
    for (auto& entry : run().known) wipe(entry.second.password);
    run().known.clear();
    run().asked.clear();
}

} // namespace ornivel
