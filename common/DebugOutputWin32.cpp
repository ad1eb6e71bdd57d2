#include "common/DebugOutput.h"

#include <windows.h>

#include <atomic>

namespace ornivel {

namespace {

// How long the answer to "does a debug output viewer listen?" is taken as still true.
constexpr DWORD kListenerCheckMs = 500;

std::atomic<bool> listenerChecked{false};
std::atomic<bool> listenerSeen{false};
std::atomic<DWORD> listenerCheckTick{0};

// The texts reach a debugger attached to the process, or a viewer that collects every
// process's debug output (it holds the event "DBWIN_BUFFER_READY" while it listens). With
// neither, OutputDebugStringW raises an exception and looks the viewer's objects up in the
// object namespace for every text, only to drop it; with a log line per step of every file of
// an update, that is a noticeable share of the update. A viewer started while the program runs
// sees its texts at most half a second later.
bool someoneListens() {
    if (IsDebuggerPresent()) return true;
    const DWORD now = GetTickCount();
    if (listenerChecked && now - listenerCheckTick < kListenerCheckMs) return listenerSeen;
    HANDLE ready = OpenEventW(SYNCHRONIZE, FALSE, L"DBWIN_BUFFER_READY");
    listenerSeen = ready != nullptr;
    if (ready) CloseHandle(ready);
    listenerCheckTick = now;
    listenerChecked = true;
    return listenerSeen;
}

} // namespace

void debugOutput(const wchar_t* text) {
    if (someoneListens()) OutputDebugStringW(text);
}

} // namespace ornivel
