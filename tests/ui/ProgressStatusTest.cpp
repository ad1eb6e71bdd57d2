#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/ProgressStatus.h"

namespace ornivel {
namespace {

TEST(ProgressStatus, CountingPhasesFormatTheirNumbersAndShowPercent) {
    ProgressStatus deleting = progressStatusOf(4);
    EXPECT_EQ(deleting.stringId, static_cast<unsigned>(IDS_PHASE_DELETING));
    EXPECT_FALSE(deleting.marquee);
    EXPECT_EQ(progressStatusText(deleting, L"Deleting file %d of %d", 3, 10), L"Deleting file 3 of 10...");
    ProgressStatus loading = progressStatusOf(5);
    EXPECT_FALSE(loading.marquee);
    EXPECT_EQ(progressStatusText(loading, L"Loading file %i of %i", 2, 7), L"Loading file 2 of 7...");
}

TEST(ProgressStatus, RunningPhasesUseTheMarquee) {
    for (int phase : {1, 2, 3, 6}) {
        ProgressStatus s = progressStatusOf(phase);
        EXPECT_TRUE(s.marquee) << phase;
        EXPECT_FALSE(s.withCounts) << phase;
    }
    EXPECT_EQ(progressStatusText(progressStatusOf(2), L"Contacting Server", 9, 9), L"Contacting Server...");
}

TEST(ProgressStatus, UnknownPhasesShowQuestionMarksWithPercent) {
    for (int phase : {0, 7, -1}) {
        ProgressStatus s = progressStatusOf(phase);
        EXPECT_EQ(s.stringId, 0u);
        EXPECT_FALSE(s.marquee);
        EXPECT_EQ(progressStatusText(s, L"", 1, 2), L"???");
    }
}

} // namespace
} // namespace ornivel
