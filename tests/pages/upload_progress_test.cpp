#include "pages/upload_progress.h"

#include <gtest/gtest.h>

#include <vector>

#include "pages/upload_status.h"

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

// The page's step for each report: the bar by whole percents of the file,
// and what a final report leads to.
struct StatusCase {
    const char* name;
    uint64_t fileSize;
    std::vector<uint64_t> reports;
    int position;
};

TEST(UploadPageStatus, MovesTheBarByWholePercentsOfTheFile) {
    const StatusCase cases[] = {
        {"half of 2,000,000", 2000000, {600000, 400000}, 50},
        {"all of 2,000,000", 2000000, {1000000, 1000000}, 100},
        {"past the end stays full", 2000000, {2000000, 5000}, 100},
        {"1 of 300 truncates", 300, {1}, 0},
        {"3 of 300", 300, {1, 2}, 1},
        {"beyond 32-bit products", 100000000, {50000000}, 50},
        {"empty image", 0, {400}, 100},
    };
    for (const StatusCase& c : cases) {
        UploadProgress progress;
        progress.fileSize = c.fileSize;
        UploadStatusStep step;
        for (uint64_t n : c.reports)
            step = HandleUploadStatus(progress, n, 0);
        EXPECT_EQ(step.position, c.position) << c.name;
        EXPECT_EQ(step.action, UploadStatusStep::kNone) << c.name;
    }
}

TEST(UploadPageStatus, FinalReportsFillTheBarOrNameTheMessage) {
    UploadProgress progress;
    progress.fileSize = 100;
    EXPECT_EQ(HandleUploadStatus(progress, 99, 0).position, 99);
    const UploadStatusStep done = HandleUploadStatus(progress, 0, 0);
    EXPECT_EQ(done.position, 100);
    EXPECT_EQ(done.action, UploadStatusStep::kNextPage);
    EXPECT_EQ(HandleUploadStatus(progress, 0, 1).action, UploadStatusStep::kShowRetry);
    EXPECT_EQ(HandleUploadStatus(progress, 0, 2).action, UploadStatusStep::kShowConnection);
    const UploadStatusStep other = HandleUploadStatus(progress, 0, 7);
    EXPECT_EQ(other.action, UploadStatusStep::kNone);
    EXPECT_EQ(other.position, -1);
}

} // namespace
