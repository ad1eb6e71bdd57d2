// The login dialog's progress phase: the synchronisation run and its progress display.
#include <windows.h>
#include <commctrl.h>

#include "common/Text.h"
#include "res/resource.h"
#include "sync/OrnivelSynchronizer.h"
#include "ui/CDialogLogin.h"
#include "ui/WindowLogAppender.h"
#include "ui/ProgressStatus.h"
#include "config/StoredValues.h"

namespace ornivel {

namespace {

constexpr UINT kMarqueePeriodMs = 50;
// Progress comes far faster than anyone can read it: the controls take every state at once
// (so a message sent to the dialog after a report finds it there), but the costly repaint of
// the picture behind them is forced at most once in this period; the states in between are
// painted together when it ends, by a timer (the thread never sleeps in its window procedure).
constexpr DWORD kProgressRestMs = 25;

} // namespace

bool CDialogLogin::synchronize(LogDriver& log, bool fieldService, bool debug,
                               std::optional<uint32_t> offlineStartDays, RunOutcome& outcome) {
    loginState_ = -1;
    SendMessageW(item(IDC_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetWindowTextW(window_, L"ornivel");

    // Registered for the rest of the run (appenders are never freed).
    log.addAppender(new CWindowLogAppender(window_, LOG_INFO, L"%m"));

    OrnivelSynchronizer synchronizer(fieldService, moduleFolder(), log, debug);
    synchronizer.addListener(this);
    synchronizer.setOfflineStartDays(offlineStartDays);
    const std::wstring restartArguments = fieldService ? L"-aussendienst" : L"";
    const std::wstring deploymentKey = std::wstring(kDeploymentPrefix) + installationName();
    const bool result = synchronizer.synchronizeFolder(deploymentKey, restartArguments);
    outcome = synchronizer.outcome();
    return result;
}

void CDialogLogin::progress(const int* phase, const wchar_t* text, const int* current, const int* total,
                            const int* percent, const int* /*extra*/) {
    {
        LockGuard guard(progressLock_);
        if (phase) reported_.phase = *phase;
        if (text) reported_.detail = text;
        if (current) reported_.current = *current;
        if (total) reported_.total = *total;
        if (percent) reported_.percent = *percent;
        if (anyHandedOver_ && sameProgressDisplay(reported_, handedOver_)) return;
        handedOver_ = reported_;
        anyHandedOver_ = true;
        // A wake-up still pending covers this state too: the dialog thread takes whatever
        // state is reported by the time it gets to it.
        if (wakePending_) return;
        wakePending_ = true;
    }
    // A sent notification is handled before any message sent to the dialog after it, so a
    // later query of the dialog sees this state.
    if (!SendNotifyMessageW(window_, kShowProgress, 0, 0)) {
        LockGuard guard(progressLock_);
        wakePending_ = false;
    }
}

void CDialogLogin::showReportedProgress() {
    ProgressView view;
    {
        LockGuard guard(progressLock_);
        view = reported_;
        wakePending_ = false;
    }
    showProgress(view);
    if (progressPaintDue_) return;
    if (GetTickCount() - lastProgressPaint_ >= kProgressRestMs) {
        paintDeferredProgress();
        return;
    }
    progressPaintDue_ = SetTimer(window_, kProgressPaintTimer, kProgressRestMs, nullptr) != 0;
    if (!progressPaintDue_) paintDeferredProgress();
}

void CDialogLogin::paintDeferredProgress() {
    if (progressPaintDue_) KillTimer(window_, kProgressPaintTimer);
    progressPaintDue_ = false;
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    lastProgressPaint_ = GetTickCount();
}

void CDialogLogin::showProgress(const ProgressView& view) {
    const ProgressStatus status = progressStatusOf(view.phase);
    const std::wstring statusText = progressStatusText(
        status, status.stringId ? loadString(status.stringId) : std::wstring(), view.current, view.total);

    HWND bar = item(IDC_PROGRESS_BAR);
    if (status.marquee != marquee_) {
        marquee_ = status.marquee;
        LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
        SetWindowLongPtrW(bar, GWL_STYLE, marquee_ ? (style | PBS_MARQUEE) : (style & ~static_cast<LONG_PTR>(PBS_MARQUEE)));
        SendMessageW(bar, PBM_SETMARQUEE, marquee_ ? TRUE : FALSE, kMarqueePeriodMs);
        shownPercent_ = -1;
    }
    setTextIfChanged(IDC_STATUS_TEXT, statusText);
    setTextIfChanged(IDC_DETAIL_TEXT, view.detail);
    if (!marquee_ && view.percent != shownPercent_) {
        // Setting a lower value in between makes the bar jump instead of animating.
        SendMessageW(bar, PBM_SETPOS, view.percent, 0);
        SendMessageW(bar, PBM_SETPOS, view.percent - 1, 0);
        SendMessageW(bar, PBM_SETPOS, view.percent, 0);
        shownPercent_ = view.percent;
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
