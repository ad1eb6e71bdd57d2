// The one call into Java that the password request makes.
#include "common/Text.h"
#include "jvm/JObject.h"
#include "jvm/JavaMainThread.h"
#include "ui/CDialogRequestPassword.h"

namespace ornivel {

std::wstring callResetPassword(ThreadStartVM* javaHost, const std::wstring& host, int port, const std::wstring& mail) {
    if (!javaHost) return {};
    // The texts travel in the ANSI code page; the port is a Java int.
    JObjectString hostArgument(toAnsi(host));
    JObjectInt portArgument(port);
    JObjectString mailArgument(toAnsi(mail));
    return javaHost->callStaticMethod(L"resetPW", "(Ljava/lang/String;ILjava/lang/String;)Z",
                                      {&hostArgument, &portArgument, &mailArgument});
}

} // namespace ornivel
