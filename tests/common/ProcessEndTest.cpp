// Ending the process once: the first caller's end, with its clean-up; a later caller waits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "common/Process.h"
#include "common/SystemThread.h"

namespace ornivel {
namespace {

uint32_t endAgain(void*) { endProcessOnce(5, ProcessEnd::Immediate); }

// Runs while the first end is under way. Had the second end taken over, its status (5) would
// be the process's: it ends the process at once.
void endAgainDuringCleanUp() {
    SystemThread second;
    if (!second.start(&endAgain, nullptr, kPriorityNormal)) return;
    second.wait(500);
    std::fputs("cleaned up\n", stderr);
}

TEST(ProcessEndDeathTest, TheFirstEndRunsTheCleanUpAndALaterOneWaits) {
    EXPECT_EXIT(
        {
            std::atexit(endAgainDuringCleanUp);
            endProcessOnce(3);
        },
        ::testing::ExitedWithCode(3), "cleaned up");
}

} // namespace
} // namespace ornivel
