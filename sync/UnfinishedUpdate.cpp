#include "sync/UnfinishedUpdate.h"

#include <cinttypes>
#include <cstdio>

namespace ornivel {

std::string formatUnfinishedUpdate(const UnfinishedUpdate& update) {
    if (update.restarts <= 0) return {};
    char text[64];
    std::snprintf(text, sizeof text, "restarts %d %" PRIu64 "\n", update.restarts, update.lastRestart);
    return text;
}

UnfinishedUpdate parseUnfinishedUpdate(const std::string& text) {
    UnfinishedUpdate update;
    int restarts = 0;
    unsigned long long last = 0;
    if (std::sscanf(text.c_str(), "restarts %d %llu", &restarts, &last) == 2 && restarts > 0 && restarts < 1000) {
        update.restarts = restarts;
        update.lastRestart = last;
    }
    return update;
}

bool restartAllowed(const UnfinishedUpdate& update, uint64_t now) {
    return update.restarts < kMaxRestarts || now < update.lastRestart ||
           now - update.lastRestart >= kRestartPauseSeconds;
}

} // namespace ornivel
