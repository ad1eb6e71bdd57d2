#pragma once
// The process-wide handler that turns a failed VM creation into a message box and exit -1.
#include <windows.h>

namespace ornivel {

// The window that owns the failure report (the login dialog), set once before the Java
// main thread starts.
void setJvmFailureOwner(HWND owner);
HWND jvmFailureOwner();

LONG CALLBACK jvmStartFailureHandler(EXCEPTION_POINTERS* exception);

} // namespace ornivel
