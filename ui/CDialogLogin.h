#pragma once
// The login dialog: synchronisation progress over a background picture, then the login form,
// then a please-wait text until the client's own window is on the screen.
//
// The window belongs to a thread of its own, so that the thread that creates the object can
// block in the synchronisation and in waitForLogin while the dialog stays responsive. Cancel,
// Escape, the close box and Alt+F4 end the process with exit status -1.
#include <windows.h>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "sync/UpdateResult.h"
#include "common/Handles.h"
#include "common/Lock.h"
#include "common/SystemThread.h"
#include "config/ServerInfo.h"
#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"
#include "ui/BackgroundBitmap.h"
#include "ui/CPicture.h"
#include "ui/ProgressStatus.h"
#include "ui/WindowGeometry.h"

namespace ornivel {

class ThreadStartVM;

class CDialogLogin : public ProgressListener {
public:
    // Creates the dialog thread and returns once the dialog is visible.
    CDialogLogin(HINSTANCE instance, ThreadStartVM* javaHost);
    // Closes the window on its own thread and waits (bounded) for the dialog's threads.
    ~CDialogLogin() override;
    CDialogLogin(const CDialogLogin&) = delete;
    CDialogLogin& operator=(const CDialogLogin&) = delete;

    // Runs the update synchronisation with this dialog as progress listener; from now on
    // errors logged through `log` appear in message boxes over the dialog. `offlineStartDays`
    // is the administrators' policy for starts without a deployment; `outcome` receives what
    // the run came to.
    bool synchronize(LogDriver& log, bool fieldService, bool debug, std::optional<uint32_t> offlineStartDays,
                     RunOutcome& outcome);
    // Shows the login form and blocks until Login (true) or Cancel (false).
    bool waitForLogin(std::vector<ServerInfo> servers);

    // Hands a progress state to the dialog thread, which shows it; a null argument keeps the
    // value of the previous call. Returns at once: the caller never waits for painting.
    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override;

    // The values of the last Login.
    std::wstring userId() const;
    std::wstring password() const;
    std::wstring serverHost() const;
    std::wstring serverCaption() const;
    int serverPort() const;
    int serverExtra() const;

    HWND window() const { return window_; }
    // -1 pending, 0 cancelled, 1 accepted.
    int loginState() const { return loginState_; }
    Box progressPanel() const { return progressPanel_; }

private:
    // Sent to the dialog, without waiting for it, when a reported state shows something new.
    static constexpr UINT kShowProgress = WM_APP + 2;

    static uint32_t dialogThreadEntry(void* self);
    static uint32_t watcherThreadEntry(void* self);
    static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static BOOL CALLBACK countWindow(HWND window, LPARAM self);
    static void requestPasswordLink(void* self);

    uint32_t runDialogThread();
    uint32_t runWatcher();
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Window set-up (DialogLoginLayout.cpp).
    void initDialog();
    void layoutControls();
    void assignFonts();
    void placeLabels();
    void createTooltip();
    bool eraseBackground(HDC dc);
    HBRUSH controlColour(HDC dc, HWND control) const;

    // The progress display, on the dialog thread (DialogLoginProgress.cpp).
    static constexpr UINT_PTR kProgressPaintTimer = 1;
    void showReportedProgress();
    void paintDeferredProgress();
    void showProgress(const ProgressView& view);

    // Phases of the window.
    void onLogin();
    void onCancel();
    void decideLogin(int state);
    void openPasswordRequest();
    void startWatcher();
    void countIfClientWindow(HWND window);

    // Control helpers; they work from any thread of the process. The controls are looked up
    // once, when the window is made: every look-up by id asks the window manager, and the
    // progress display takes several for each file of an update.
    HWND item(int id) const;
    void rememberControls();
    std::wstring itemText(int id) const;
    void setTextIfChanged(int id, const std::wstring& text);
    void showItems(std::initializer_list<int> ids, int command) const;
    void setPasswordStyle(bool on) const;
    std::wstring loadString(UINT id) const;

    mutable Lock valuesLock_;  // the Login values and the server list
    std::wstring serverHost_;
    std::wstring userId_;
    std::wstring password_;
    std::wstring serverCaption_;
    int serverPort_ = 0;
    int serverExtra_ = -1;
    ThreadStartVM* javaHost_;
    bool marquee_ = false;
    DWORD lastProgressPaint_ = 0;  // tick count of the last forced repaint (dialog thread)
    bool progressPaintDue_ = false;  // a repaint waits for the progress timer (dialog thread)
    std::atomic<bool> running_{true};
    HINSTANCE instance_;
    std::vector<ServerInfo> servers_;
    std::atomic<int> loginState_{-1};
    std::atomic<bool> formShown_{false};  // Login is accepted only while the form is shown
    SystemThread dialogThread_;
    DWORD dialogThreadId_ = 0;
    UniqueHandle shown_;  // set by the dialog thread once the window is visible, or when it ends
    UniqueHandle loginDecided_;  // signalled whenever loginState_ leaves -1
    SystemThread watcherThread_;
    std::atomic<HWND> window_{nullptr};
    HWND tooltip_ = nullptr;
    Box progressPanel_;
    std::atomic<int> selectedServer_{0};
    CPicture picture_;
    BackgroundBitmap background_;  // the picture as drawn, copied for each erase
    Lock lock_;  // the watcher's enumeration pass and its counter
    int windowCounter_ = 0;
    bool pictureTried_ = false;
    wchar_t tooltipText_[1001] = {};

    // Progress hand-over. The reporting thread merges every report into `reported_` and,
    // when the merged state looks different from the one last handed over, wakes the
    // dialog thread, at most once until that thread has taken the state.
    Lock progressLock_;
    ProgressView reported_;
    ProgressView handedOver_;
    bool anyHandedOver_ = false;
    bool wakePending_ = false;
    int shownPercent_ = -1;  // dialog thread: the bar position set last (-1: none yet)

    // The controls by id (Login and Cancel, then ids from 1000 on), filled on the dialog thread
    // before the window is shown; the constructor returns only after that.
    static constexpr int kFirstFieldId = 1000;
    static constexpr int kControlSlots = 2 + 64;
    HWND controls_[kControlSlots] = {};
};

} // namespace ornivel
