// The note of an unfinished update and the bound on restarts for a new launcher.
#include <gtest/gtest.h>

#include "sync/UnfinishedUpdate.h"

namespace ornivel {
namespace {

TEST(UnfinishedUpdate, RestartsAreCountedAndBoundedUntilAPause) {
    EXPECT_EQ(formatUnfinishedUpdate({}), "");
    const UnfinishedUpdate note = parseUnfinishedUpdate(formatUnfinishedUpdate({2, 1700000000}));
    EXPECT_EQ(note.restarts, 2);
    EXPECT_EQ(note.lastRestart, 1700000000u);
    for (const char* damaged : {"", "restarts", "restarts x 5", "restarts -4 5"})
        EXPECT_EQ(parseUnfinishedUpdate(damaged).restarts, 0) << damaged;

    const uint64_t now = 1700000000;
    EXPECT_TRUE(restartAllowed({kMaxRestarts - 1, now}, now));
    EXPECT_FALSE(restartAllowed({kMaxRestarts, now - 5}, now));  // the launcher is held elsewhere
    EXPECT_TRUE(restartAllowed({kMaxRestarts, now - kRestartPauseSeconds}, now));
    EXPECT_TRUE(restartAllowed({kMaxRestarts, now + 100}, now));  // a clock set back
}

} // namespace
} // namespace ornivel
