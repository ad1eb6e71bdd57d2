#pragma once
// The process-wide handler that turns a failed VM creation into a message box and exit -1.
#include <windows.h>

namespace ornivel {

// The window that owns the failure report (the login dialog), set once before the Java
// main thread starts.
void setJvmFailureOwner(HWND owner);
HWND jvmFailureOwner();

// The string-table id of the text of a JNI_CreateJavaVM result (0 to -6), 0 for any other.
UINT jvmStartCodeStringId(int code);

// A vectored exception handler: a non-continuable exception whose code's low 16 bits are a
// JNI result from 0 to -6 is reported in a message box, then the process exits with -1.
// Every other exception is left to the other handlers.
LONG CALLBACK jvmStartFailureHandler(EXCEPTION_POINTERS* exception);

} // namespace ornivel
