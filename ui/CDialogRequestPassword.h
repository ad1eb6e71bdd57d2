#pragma once
// Asks for the user's e-mail address and has the Java client request a new password from
// the chosen login server. Runs modally over its owner, on the owner's thread.
#include <windows.h>
#include <functional>
#include <string>

namespace ornivel {

class ThreadStartVM;

// Asks for the reset; answers "true" when the server reset the password.
using PasswordResetCall = std::function<std::wstring(const std::wstring& host, int port, const std::wstring& mail)>;

// The reset through the Java client's static method resetPW, run on the Java main thread.
std::wstring callResetPassword(ThreadStartVM* javaHost, const std::wstring& host, int port, const std::wstring& mail);

class CDialogRequestPassword {
public:
    // Shows the dialog and returns when it has been closed.
    CDialogRequestPassword(HWND owner, const std::wstring& prefill, const std::wstring& serverHost, int serverPort,
                           ThreadStartVM* javaHost);
    CDialogRequestPassword(HWND owner, const std::wstring& prefill, const std::wstring& serverHost, int serverPort,
                           PasswordResetCall reset);
    virtual ~CDialogRequestPassword();
    CDialogRequestPassword(const CDialogRequestPassword&) = delete;
    CDialogRequestPassword& operator=(const CDialogRequestPassword&) = delete;

    // 1 after a successful request, 0 after Cancel, -1 when the dialog could not be shown.
    INT_PTR result() const { return result_; }

private:
    static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void run(HWND owner);
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void initDialog();
    void requestPassword();
    void updateRequestButton() const;
    std::wstring mailText() const;
    std::wstring loadString(UINT id) const;

    std::wstring prefill_;
    std::wstring serverHost_;
    int serverPort_;
    HWND window_ = nullptr;
    HINSTANCE instance_ = nullptr;
    ThreadStartVM* javaHost_ = nullptr;
    PasswordResetCall reset_;
    INT_PTR result_ = -1;
};

} // namespace ornivel
