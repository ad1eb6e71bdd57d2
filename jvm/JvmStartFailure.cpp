#include "jvm/JvmStartFailure.h"

#include <string>

#include "common/Process.h"
#include "common/ResourceText.h"
#include "common/Text.h"
#include "jvm/JvmCreationFailure.h"
#include "resource.h"
#include "common/Guarded.h"

namespace ornivel {

namespace {

HWND owner = nullptr;

} // namespace

void raiseJvmCreationFailure(int result) {
    RaiseException(static_cast<DWORD>(result), EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

void setJvmFailureOwner(HWND window) { owner = window; }
HWND jvmFailureOwner() { return owner; }

UINT jvmStartCodeStringId(int code) {
    if (code > 0 || code < -6) return 0;
    return static_cast<UINT>(IDS_JNI_OK - code);
}

LONG CALLBACK jvmStartFailureHandler(EXCEPTION_POINTERS* exception) {
    return guarded("the Java start failure handler", LONG{EXCEPTION_CONTINUE_SEARCH}, [&]() -> LONG {
        const EXCEPTION_RECORD* record = exception->ExceptionRecord;
        if (!(record->ExceptionFlags & EXCEPTION_NONCONTINUABLE)) return EXCEPTION_CONTINUE_SEARCH;
        const int code = static_cast<short>(record->ExceptionCode & 0xFFFF);
        const UINT textId = jvmStartCodeStringId(code);
        if (textId == 0) return EXCEPTION_CONTINUE_SEARCH;

        // The owner may be gone by now (the field-service path deletes the dialog before the
        // Java start): a box with a destroyed owner would not appear at all.
        HWND window = owner && IsWindow(owner) ? owner : nullptr;
        HINSTANCE instance = window ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)) : nullptr;
        if (!instance) instance = GetModuleHandleW(nullptr);
        const std::wstring text = loadResourceString(instance, textId);
        const std::wstring body = loadResourceString(instance, IDS_JVM_BODY);
        const std::wstring caption = loadResourceString(instance, IDS_JVM_CAPTION);
        MessageBoxW(window, formatWide(body.c_str(), text.c_str()).c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
        endProcessOnce(-1);
    });
}

} // namespace ornivel
