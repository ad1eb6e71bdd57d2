#pragma once
// Static text controls as hyperlinks (blue, underlined, hand cursor, acting on a left click)
// and the centring of windows.
//
// A link's state lives in the window property "href_dat" of the control, its dialog's in
// "href_dlg" of the dialog; both are freed when the window is destroyed. All calls belong on
// the thread that owns the dialog.
#include <windows.h>
#include <string>

namespace ornivel {

using LinkCallback = void (*)(void* argument);

// Makes control `id` of `dialog` a link to `target` (something the shell opens, or a
// callback text), or changes the target of an existing link.
void setHyperlink(HWND dialog, int id, const std::wstring& target);

// A link that calls `routine(argument)` on a click.
void setCallbackLink(HWND dialog, int id, LinkCallback routine, void* argument);

// The target of a link control; empty when the control is no link.
std::wstring hyperlinkTarget(HWND control);

// Centres `window` over `reference` (the desktop when null), keeping it on the screen.
bool centreWindow(HWND window, HWND reference);

} // namespace ornivel
