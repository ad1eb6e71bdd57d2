#include "jvm/JvmStartFailure.h"

namespace ornivel {

namespace {
HWND owner = nullptr;
}

void setJvmFailureOwner(HWND window) { owner = window; }
HWND jvmFailureOwner() { return owner; }

// Placeholder until the VM host lands: leaves every exception to the other handlers.
LONG CALLBACK jvmStartFailureHandler(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

} // namespace ornivel
