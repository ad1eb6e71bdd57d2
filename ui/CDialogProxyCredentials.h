#pragma once
// Asks the user for the user name and password that a proxy server wants, in the style of the
// password request dialog, with a check box to keep them in the Windows credential store.
// Runs modally over its owner on the calling thread.
#include <windows.h>
#include <string>

#include "remote/ProxyCredentials.h"

namespace ornivel {

// Shows the dialog for `proxy` ("HOST:PORT"); true when the user chose OK with a user name.
// `remember` tells whether the check box was ticked.
bool askProxyCredential(HWND owner, const std::wstring& proxy, ProxyCredential& credential, bool& remember);

} // namespace ornivel
