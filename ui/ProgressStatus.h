#pragma once
// What the login dialog shows for a progress phase: which status string, whether it takes
// the item numbers, and whether the bar runs as a marquee or shows the percentage.
#include <string>

namespace ornivel {

struct ProgressStatus {
    unsigned stringId = 0;  // 0: no string, the status is "???"
    bool withCounts = false;
    bool marquee = false;
};

ProgressStatus progressStatusOf(int phase);

// The status line: the loaded string followed by "..." used as format for current and
// total where the phase counts items; "???" for unknown phases.
std::wstring progressStatusText(const ProgressStatus& status, const std::wstring& loadedString, int current,
                                int total);

// The progress values the dialog shows (the sixth value, extra, is not shown).
struct ProgressView {
    int phase = 0;
    std::wstring detail;
    int current = 0;
    int total = 0;
    int percent = 0;
};

// Whether two states look the same on the screen: the same status line, detail line and
// bar mode, and in percent mode the same bar position.
bool sameProgressDisplay(const ProgressView& a, const ProgressView& b);

} // namespace ornivel
