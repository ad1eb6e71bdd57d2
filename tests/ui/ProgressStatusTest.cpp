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

TEST(ProgressStatus, OnlyWhatIsShownMakesADifferentDisplay) {
    const ProgressView loading{5, L"server", 2, 7, 40};
    ProgressView other = loading;
    other.percent = 41;
    EXPECT_FALSE(sameProgressDisplay(loading, other));  // the bar moves
    other = loading;
    other.current = 3;
    EXPECT_FALSE(sameProgressDisplay(loading, other));
    other = loading;
    other.detail = L"other server";
    EXPECT_FALSE(sameProgressDisplay(loading, other));
    other = loading;
    other.phase = 4;
    EXPECT_FALSE(sameProgressDisplay(loading, other));

    // A marquee does not show the percentage, and running phases do not show the counts.
    const ProgressView searching{3, L"server", 0, 0, 10};
    ProgressView later = searching;
    later.percent = 80;
    later.current = 5;
    EXPECT_TRUE(sameProgressDisplay(searching, later));
    // Unknown phases all show "???" with the bar.
    EXPECT_TRUE(sameProgressDisplay(ProgressView{0, L"", 1, 2, 5}, ProgressView{9, L"", 3, 4, 5}));
    EXPECT_FALSE(sameProgressDisplay(ProgressView{0, L"", 1, 2, 5}, ProgressView{0, L"", 1, 2, 6}));
}

} // namespace
} // namespace ornivel
