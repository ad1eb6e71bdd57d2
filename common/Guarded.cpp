#include "common/Guarded.h"

#include <atomic>
#include <string>

#include "common/DebugOutput.h"

namespace ornivel {

namespace {
std::atomic<EscapeReporter> extraReporter{nullptr};
}

void setEscapeReporter(EscapeReporter reporter) { extraReporter = reporter; }

void reportEscape(const char* where, const char* what) noexcept {
    try {
        std::wstring text = L"ornivel: an exception escaped ";
        for (const char* c = where; *c; ++c) text += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        text += L" and was contained: ";
        for (const char* c = what; *c; ++c) text += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        text += L"\n";
        debugOutput(text);
        if (EscapeReporter reporter = extraReporter) reporter(where, what);
    } catch (...) {
        // Nothing is left to report with.
    }
}

} // namespace ornivel
