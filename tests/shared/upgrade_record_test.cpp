// The upgrade record's portable part: which old records go, and how a line
// is laid out. (What goes into the record is checked end to end.)
#include <gtest/gtest.h>

#include "shared/upgrade_record.h"

namespace ur = UpgradeRecord;

TEST(UpgradeRecord, DeletesOnlyItsOwnOldestRecords) {
    const std::string a = ur::FileName(2026, 12, 8, 6, 15, 30);
    const std::string b = ur::FileName(2026, 12, 8, 6, 15, 31);
    const std::string c = ur::FileName(2027, 1, 2, 3, 4, 5);
    EXPECT_EQ(a, "FirmwareUpdater-20261208-061530.log");
    const struct {
        const char* what;
        std::vector<std::string> names;
        size_t keep;
        std::vector<std::string> deleted;
    } rows[] = {
        {"as many as kept: none go", {c, a}, 2, {}},
        {"the oldest go, by their time", {c, b, a}, 1, {a, b}},
        {"keeping none: all of them go", {b}, 0, {b}},
        {"names not of a record stay and do not count",
         {"FirmwareUpdater-2026120-061530.log", "FirmwareUpdater-20261208x061530.log",
          "FirmwareUpdater-20261208-06153a.log", "notes.log", a + ".txt", "F" + a, b},
         1,
         {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ur::RecordsToDelete(row.names, row.keep), row.deleted) << row.what;
}

TEST(UpgradeRecord, OneEventIsOneStampedLine) {
    EXPECT_EQ(ur::StampedLine(61234, "shown to the user: \"a\r\nb\nc\""),
              "[    61.234] shown to the user: \"a\\nb\\nc\"\r\n");
    EXPECT_EQ(ur::StampedLine(5, ""), "[     0.005] \r\n");
}
