#pragma once
// Receives progress reports. A null argument means "unchanged".

namespace ornivel {

enum ProgressPhase : int {
    PHASE_WAITING = 1,
    PHASE_CONTACTING_SERVER = 2,
    PHASE_SEARCHING_UPDATES = 3,
    PHASE_DELETING_FILES = 4,
    PHASE_LOADING_FILES = 5,
    PHASE_DECOMPRESSING = 6,
};

class ProgressListener {
public:
    virtual ~ProgressListener() = default;
    virtual void progress(const int* phase, const wchar_t* text, const int* current, const int* total,
                          const int* percent, const int* extra) = 0;
};

} // namespace ornivel
