// The UTC time texts of the status values and the fleet reports.
#include <gtest/gtest.h>

#include "filelist/ListWriter.h"
#include "sync/UpdateResult.h"

namespace ornivel {
namespace {

TEST(UpdateResult, UtcTextsRoundTripAndOtherTextsAreRefused) {
    EXPECT_EQ(isoUtcText(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(isoUtcText(1709251199), "2024-02-29T23:59:59Z");  // a leap day
    uint64_t seconds = 0;
    ASSERT_TRUE(parseIsoUtcText("2026-12-09T21:53:55Z", seconds));
    EXPECT_EQ(isoUtcText(seconds), "2026-12-09T21:53:55Z");
    for (const char* other : {"", "2026-12-09 21:53:55", "2026-13-01T00:00:00Z", "2026-12-09T21:53:55Z!"})
        EXPECT_FALSE(parseIsoUtcText(other, seconds)) << other;
}

} // namespace
} // namespace ornivel
