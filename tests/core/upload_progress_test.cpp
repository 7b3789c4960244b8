#include "pages/upload_progress.h"

#include <gtest/gtest.h>

namespace {

struct Step {
    uint64_t reported;
    int position;
};

void ExpectPositions(uint64_t fileSize, std::initializer_list<Step> steps) {
    UploadProgress progress;
    progress.fileSize = fileSize;
    uint64_t sum = 0;
    for (const Step& step : steps) {
        sum += step.reported;
        EXPECT_EQ(progress.Add(step.reported), step.position)
            << "file " << fileSize << " after " << sum << " bytes";
    }
}

TEST(UploadProgress, PositionIsTruncatedPercentHeldAtFull) {
    ExpectPositions(2000000, {{1000000, 50}, {1000000, 100}, {500, 100}, {3000000, 100}});
    ExpectPositions(300, {{1, 0}, {1, 0}, {1, 1}, {296, 99}, {1, 100}});
    ExpectPositions(100000000, {{50000000, 50}, {49999999, 99}, {1, 100}});
    // Past 42,949,672 bytes a 32-bit product would wrap and the bar jump back.
    ExpectPositions(4000000000ull, {{3000000000ull, 75}, {999999999, 99}});
}

TEST(UploadProgress, EmptyFileShowsFullBarOnceBytesWentOut) {
    ExpectPositions(0, {{0, 0}, {1, 100}, {1000, 100}});
}

TEST(UploadProgress, HugeCountsDoNotWrap) {
    ExpectPositions(UINT64_MAX, {{UINT64_MAX / 2, 49}, {UINT64_MAX, 100}, {UINT64_MAX, 100}});
}

} // namespace
