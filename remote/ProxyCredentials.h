#pragma once
// Credentials for a proxy that asks for them (407): the Windows credential store (a generic
// credential whose target is the proxy's "HOST:PORT", as `cmdkey /generic:HOST:PORT
// /user:NAME /pass:SECRET` writes it), what the user typed during this run, and the prompt
// that the program's user interface registers for interactive starts. No credential is
// ever logged.
#include <functional>
#include <string>

namespace ornivel {

struct ProxyCredential {
    std::wstring user;
    std::wstring password;
    bool empty() const { return user.empty(); }
};

// Asks the user for the credentials of `proxy` ("HOST:PORT"); true with them, false when the
// user declined. `remember`: keep them in the credential store.
using ProxyCredentialPrompt =
    std::function<bool(const std::wstring& proxy, ProxyCredential& credential, bool& remember)>;

// Registers the prompt (an empty function: none, as in an update-only run). Registered once
// by the program before the synchronisation runs.
void setProxyCredentialPrompt(ProxyCredentialPrompt prompt);

// The stored generic credential of `proxy`; false when there is none.
bool readStoredProxyCredential(const std::wstring& proxy, ProxyCredential& credential);
// Stores it (for this user, on this computer); false when the store refuses.
bool storeProxyCredential(const std::wstring& proxy, const ProxyCredential& credential);
// Removes it; false when there was none.
bool deleteStoredProxyCredential(const std::wstring& proxy);

// What this run knows for `proxy`: the credential accepted or typed last, else the stored
// one. False when there is neither.
bool knownProxyCredential(const std::wstring& proxy, ProxyCredential& credential);
// Remembers for the rest of the run the credential that `proxy` accepted.
void rememberProxyCredential(const std::wstring& proxy, const ProxyCredential& credential);

// Asks the user once per proxy and run, through the registered prompt; false without a
// prompt, when the user declined, or when the user was asked already. Typed credentials are
// kept for the run (and stored when the user asked for it).
bool promptProxyCredential(const std::wstring& proxy, ProxyCredential& credential);

// For tests: forget what this run typed, accepted and asked.
void forgetProxyCredentials();

} // namespace ornivel
