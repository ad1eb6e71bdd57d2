#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "common/Process.h"

namespace ornivel {

void endProcessOnce(int status, ProcessEnd how) {
    static std::atomic<bool> ending{false};
    if (!ending.exchange(true)) {
        if (how == ProcessEnd::Immediate) endProcessNow(status);
        std::exit(status);
    }
    // The first caller's end takes this thread with it.
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

} // namespace ornivel
