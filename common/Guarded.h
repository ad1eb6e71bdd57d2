#pragma once
// The one guard of every entry the system calls into: thread entries, window and dialog
// procedures, system callbacks. An exception that escapes the body is reported and contained
// there; it never unwinds into the system's frames (which would end the process, or worse,
// leave a window's state half changed).
#include <exception>
#include <utility>

namespace ornivel {

// Where contained exceptions are reported: the debugger output, and from the moment the
// program has a log, the log as well (the launcher registers it).
using EscapeReporter = void (*)(const char* where, const char* what);
void setEscapeReporter(EscapeReporter reporter);
void reportEscape(const char* where, const char* what) noexcept;

// Runs `body` and returns its result; `fallback` when an exception escaped it.
template <class Result, class Body>
Result guarded(const char* where, Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& escaped) {
        reportEscape(where, escaped.what());
    } catch (...) {
        reportEscape(where, "an exception of unknown type");
    }
    return fallback;
}

} // namespace ornivel
