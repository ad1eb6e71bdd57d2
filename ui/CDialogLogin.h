#pragma once
// The login dialog: synchronisation progress, then the login form, then a please-wait text.
#include <windows.h>
#include <string>
#include <vector>

#include "launcher/ServerInfo.h"
#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"

namespace ornivel {

class ThreadStartVM;

class CDialogLogin : public ProgressListener {
public:
    CDialogLogin(HINSTANCE instance, ThreadStartVM* javaHost);
    ~CDialogLogin() override;

    // Runs the update synchronisation with this dialog as progress listener; registers a
    // message-box appender with `log`.
    bool synchronize(LogDriver& log, bool fieldService, bool debug);
    // Shows the login form and blocks until Login (true) or Cancel (false).
    bool waitForLogin(std::vector<ServerInfo> servers);

    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override;

    std::wstring userId() const { return userId_; }
    std::wstring password() const { return password_; }
    std::wstring serverHost() const { return serverHost_; }
    std::wstring serverCaption() const { return serverCaption_; }
    int serverPort() const { return serverPort_; }
    int serverExtra() const { return serverExtra_; }
    HWND window() const { return window_; }

private:
    std::wstring serverHost_;
    std::wstring userId_;
    std::wstring password_;
    std::wstring serverCaption_;
    int serverPort_ = 0;
    int serverExtra_ = -1;
    ThreadStartVM* javaHost_;
    HINSTANCE instance_;
    HWND window_ = nullptr;
};

} // namespace ornivel
