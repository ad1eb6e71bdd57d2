// The login dialog's progress phase: the synchronisation run and its progress display.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include "common/Text.h"
#include "res/resource.h"
#include "sync/OrnivelSynchronizer.h"
#include "ui/CDialogLogin.h"
#include "ui/ProgressStatus.h"
#include "ui/stored/StoredLoginData.h"

namespace ornivel {

namespace {

constexpr UINT kMarqueePeriodMs = 50;

std::wstring programFolder() {
    std::wstring path = modulePath();
    path.push_back(L'\0');
    PathRemoveFileSpecW(path.data());
    return std::wstring(path.c_str());
}

} // namespace

bool CDialogLogin::synchronize(LogDriver& log, bool fieldService, bool debug) {
    loginState_ = -1;
    SendMessageW(item(IDC_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetWindowTextW(window_, L"ornivel");

    // Registered for the rest of the run (appenders are never freed).
    log.addAppender(new CWindowLogAppender(window_, LOG_INFO, L"%m"));

    OrnivelSynchronizer synchronizer(fieldService, programFolder(), log, debug);
    synchronizer.addListener(this);
    const std::wstring restartArguments = fieldService ? L"-aussendienst" : L"";
    const std::wstring deploymentKey = std::wstring(kDeploymentPrefix) + installationName();
    return synchronizer.synchronizeFolder(deploymentKey, restartArguments);
}

void CDialogLogin::progress(const int* phase, const wchar_t* text, const int* current, const int* total,
                            const int* percent, const int* /*extra*/) {
    if (phase) phase_ = *phase;
    if (text) detail_ = text;
    if (current) current_ = *current;
    if (total) total_ = *total;
    if (percent) percent_ = *percent;

    const ProgressStatus status = progressStatusOf(phase_);
    const std::wstring statusText =
        progressStatusText(status, status.stringId ? loadString(status.stringId) : std::wstring(), current_, total_);

    if (status.marquee != marquee_) {
        marquee_ = status.marquee;
        HWND bar = item(IDC_PROGRESS_BAR);
        LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
        SetWindowLongPtrW(bar, GWL_STYLE, marquee_ ? (style | PBS_MARQUEE) : (style & ~static_cast<LONG_PTR>(PBS_MARQUEE)));
        SendMessageW(bar, PBM_SETMARQUEE, marquee_ ? TRUE : FALSE, kMarqueePeriodMs);
    }
    setTextIfChanged(IDC_STATUS_TEXT, statusText);
    setTextIfChanged(IDC_DETAIL_TEXT, detail_);
    if (!marquee_) {
        // Setting a lower value in between makes the bar jump instead of animating.
        HWND bar = item(IDC_PROGRESS_BAR);
        SendMessageW(bar, PBM_SETPOS, percent_, 0);
        SendMessageW(bar, PBM_SETPOS, percent_ - 1, 0);
        SendMessageW(bar, PBM_SETPOS, percent_, 0);
    }
}

void CDialogLogin::setTextIfChanged(int id, const std::wstring& text) {
    HWND control = item(id);
    if (!control || itemText(id) == text) return;
    SetWindowTextW(control, text.c_str());
    // The text is transparent: the picture behind it must be painted again.
    RECT area{};
    GetClientRect(control, &area);
    InvalidateRect(control, &area, TRUE);
    MapWindowPoints(control, window_, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(window_, &area, TRUE);
}

} // namespace ornivel
