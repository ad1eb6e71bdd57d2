#include "ui/ProgressStatus.h"

#include "common/Text.h"
#include "remote/ProgressListener.h"
#include "res/resource.h"

namespace ornivel {

ProgressStatus progressStatusOf(int phase) {
    switch (phase) {
    case PHASE_WAITING: return {IDS_PHASE_WAITING, false, true};
    case PHASE_CONTACTING_SERVER: return {IDS_PHASE_CONTACTING, false, true};
    case PHASE_SEARCHING_UPDATES: return {IDS_PHASE_SEARCHING, false, true};
    case PHASE_DELETING_FILES: return {IDS_PHASE_DELETING, true, false};
    case PHASE_LOADING_FILES: return {IDS_PHASE_LOADING, true, false};
    case PHASE_DECOMPRESSING: return {IDS_PHASE_DECOMPRESSING, false, true};
    default: return {0, false, false};
    }
}

std::wstring progressStatusText(const ProgressStatus& status, const std::wstring& loadedString, int current,
                                int total) {
    if (status.stringId == 0) return L"???";
    const std::wstring format = loadedString + L"...";
    // The strings are the program's own; only the counting ones hold conversions.
    if (status.withCounts) return formatWide(format.c_str(), current, total);
    return formatWide(L"%s", format.c_str());
}

bool sameProgressDisplay(const ProgressView& a, const ProgressView& b) {
    const ProgressStatus statusA = progressStatusOf(a.phase), statusB = progressStatusOf(b.phase);
    if (statusA.stringId != statusB.stringId || statusA.marquee != statusB.marquee) return false;
    if (statusA.withCounts && (a.current != b.current || a.total != b.total)) return false;
    if (!statusA.marquee && a.percent != b.percent) return false;
    return a.detail == b.detail;
}

} // namespace ornivel
