#pragma once
// Merges partial progress reports into one complete state and forwards that state.
#include <string>
#include <vector>

#include "remote/ProgressListener.h"

namespace ornivel {

// Reporters pass only the values they know (a download only its percentage); the merger
// keeps the rest. A report that changes something is forwarded to every registered
// listener, in registration order, with all six values set; a report that repeats the
// current state is not forwarded.
class ProgressMerger : public ProgressListener {
public:
    ProgressMerger() = default;

    // The listener is not owned and must outlive the merger (or be removed first).
    void addListener(ProgressListener* listener);
    void removeListener(ProgressListener* listener);

    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override;

    int phase() const { return phase_; }
    const std::wstring& text() const { return text_; }
    int current() const { return current_; }
    int total() const { return total_; }
    int percent() const { return percent_; }
    int extra() const { return extra_; }

private:
    void forward();

    int phase_ = 0;
    std::wstring text_;
    int current_ = 0;
    int total_ = 0;
    int percent_ = 0;
    int extra_ = 0;
    std::vector<ProgressListener*> listeners_;
};

} // namespace ornivel
