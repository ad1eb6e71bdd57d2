#include "remote/ProgressMerger.h"

#include <algorithm>

namespace ornivel {

namespace {

bool mergeInt(int& stored, const int* reported) {
    if (reported == nullptr || *reported == stored) return false;
    stored = *reported;
    return true;
}

} // namespace

void ProgressMerger::addListener(ProgressListener* listener) {
    if (listener != nullptr) listeners_.push_back(listener);
}

void ProgressMerger::removeListener(ProgressListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void ProgressMerger::progress(const int* phase, const wchar_t* text, const int* current, const int* total,
                              const int* percent, const int* extra) {
    bool changed = mergeInt(phase_, phase);
    if (text != nullptr && text_ != text) {
        text_ = text;
        changed = true;
    }
    changed |= mergeInt(current_, current);
    changed |= mergeInt(total_, total);
    changed |= mergeInt(percent_, percent);
    changed |= mergeInt(extra_, extra);
    if (changed) forward();
}

void ProgressMerger::forward() {
    // Copies, so that a listener that reports back into this merger sees stable values.
    const int phase = phase_, current = current_, total = total_, percent = percent_, extra = extra_;
    const std::wstring text = text_;
    const std::vector<ProgressListener*> listeners = listeners_;
    for (ProgressListener* listener : listeners) {
        listener->progress(&phase, text.c_str(), &current, &total, &percent, &extra);
    }
}

} // namespace ornivel
