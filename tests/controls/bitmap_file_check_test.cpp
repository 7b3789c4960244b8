#include "controls/bitmap_file_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Header {
    int32_t width = 2;
    int32_t height = 2;
    uint16_t planes = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    uint32_t infoSize = 40; // 108 and 124: the V4 and V5 headers
    uint32_t colourSpace = 0;
};

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    Put16(out, at, v);
    Put16(out, at + 2, v >> 16);
}

// A file with the given header followed by `tail` bytes (table + pixels),
// its pixels said to start right after the header.
std::vector<uint8_t> MakeFile(const Header& h, size_t tail) {
    std::vector<uint8_t> file(14 + h.infoSize + tail, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    Put32(file, 10, 14 + h.infoSize);
    Put32(file, 14, h.infoSize);
    Put32(file, 18, static_cast<uint32_t>(h.width));
    Put32(file, 22, static_cast<uint32_t>(h.height));
    Put16(file, 26, h.planes);
    Put16(file, 28, h.bits);
    Put32(file, 30, h.compression);
    Put32(file, 46, h.clrUsed);
    if (h.infoSize > 56)
        Put32(file, 14 + 56, h.colourSpace);
    return file;
}

TEST(CheckBitmapFile, AcceptsWellFormedPictures) {
    struct Case {
        const char* name;
        Header header;
        size_t tail;
        size_t pixelOffset;
        uint32_t colours;
    } cases[] = {
        // 1 bpp, 9 pixels wide: one 4-byte row each; two palette entries.
        {"1-bit", {9, 3, 1, 1, 0, 0}, 8 + 3 * 4, 48, 2},
        {"4-bit, 16 colours", {5, 2, 1, 4, 0, 0}, 64 + 2 * 4, 104, 16},
        {"8-bit, 3 colours used", {3, 2, 1, 8, 0, 3}, 12 + 2 * 4, 52, 3},
        {"24-bit, padded rows", {3, 2, 1, 24, 0, 0}, 2 * 12, 40, 0},
        {"24-bit top-down", {3, -2, 1, 24, 0, 0}, 2 * 12, 40, 0},
        {"32-bit", {2, 2, 1, 32, 0, 0}, 16, 40, 0},
        {"32-bit bit fields", {2, 2, 1, 32, 3, 0}, 12 + 16, 52, 3},
        {"16-bit bit fields", {2, 1, 1, 16, 3, 0}, 12 + 4, 52, 3},
        {"extra bytes after the pixels", {1, 1, 1, 24, 0, 0}, 100, 40, 0},
        // 8192 x 2048 x 4 bytes: a screen bitmap of exactly 64 MiB.
        {"1-bit at the screen bitmap limit", {8192, 2048, 1, 1, 0, 0}, 8 + 1024 * 2048, 48, 2},
        {"V4 header", {3, 2, 1, 24, 0, 0, 108}, 2 * 12, 108, 0},
        {"V5 sRGB, a gap", {3, 2, 1, 8, 0, 3, 124, 0x73524742}, 12 + 9 + 8, 124 + 12 + 9, 3},
        {"V5 header holding the bit fields", {2, 1, 1, 16, 3, 0, 124}, 4, 124, 3},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file = MakeFile(c.header, c.tail);
        Put32(file, 10, static_cast<uint32_t>(14 + c.pixelOffset));
        BitmapCheck check = CheckBitmapFile(file.data(), file.size());
        EXPECT_TRUE(check.ok) << c.name << ": " << check.error;
        EXPECT_EQ(check.pixelOffset, c.pixelOffset) << c.name;
        EXPECT_EQ(check.colourCount, c.colours) << c.name;
        EXPECT_EQ(check.width, c.header.width) << c.name;
        EXPECT_EQ(check.height, c.header.height) << c.name;
        EXPECT_EQ(check.bitCount, c.header.bits) << c.name;
    }
}

TEST(CheckBitmapFile, RefusesBrokenHeadersWithAReason) {
    struct Case {
        const char* name;
        Header header;
        size_t tail;
    } cases[] = {
        {"declares more pixels than the file holds", {3, 2, 1, 24, 0, 0}, 2 * 12 - 1},
        {"zero width", {0, 2, 1, 24, 0, 0}, 64},
        {"negative width", {-3, 2, 1, 24, 0, 0}, 64},
        {"zero height", {3, 0, 1, 24, 0, 0}, 64},
        {"huge width", {40000, 1, 1, 24, 0, 0}, 64},
        {"huge height", {1, 40000, 1, 24, 0, 0}, 64},
        {"most negative height", {1, INT32_MIN, 1, 24, 0, 0}, 64},
        {"over the pixel byte limit", {32768, 32768, 1, 32, 0, 0}, 64},
        // A 2 MiB file whose screen bitmap would take one row more than 64 MiB.
        {"1-bit over the screen bitmap limit", {8192, 2049, 1, 1, 0, 0}, 8 + 1024 * 2049},
        {"two planes", {1, 1, 2, 24, 0, 0}, 64},
        {"bit count 7", {1, 1, 1, 7, 0, 0}, 1024},
        {"bit count 0", {1, 1, 1, 0, 0, 0}, 1024},
        {"RLE8 compression", {1, 1, 1, 8, 1, 0}, 1024},
        {"bit fields with 24 bits", {1, 1, 1, 24, 3, 0}, 64},
        {"8-bit table larger than 256", {1, 1, 1, 8, 0, 257}, 2048},
        {"colour table larger than the file", {1, 1, 1, 8, 0, 0}, 100},
        {"huge colour count above 8 bits", {1, 1, 1, 24, 0, 0xFFFFFFFFu}, 64},
        {"pixels said to start inside the colour table", {1, 1, 1, 8, 0, 0}, 1024 + 4},
        {"12-byte OS/2 header", {1, 1, 1, 24, 0, 0, 12}, 64},
        {"embedded colour profile", {1, 1, 1, 24, 0, 0, 124, 0x4D424544}, 64},
        {"linked colour profile", {1, 1, 1, 24, 0, 0, 124, 0x4C494E4B}, 64},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file = MakeFile(c.header, c.tail);
        BitmapCheck check = CheckBitmapFile(file.data(), file.size());
        EXPECT_FALSE(check.ok) << c.name;
        EXPECT_FALSE(check.error.empty()) << c.name;
    }
}

TEST(CheckBitmapFile, RefusesTruncatedAndForeignFiles) {
    std::vector<uint8_t> good = MakeFile({}, 16);
    ASSERT_TRUE(CheckBitmapFile(good.data(), good.size()).ok);
    for (size_t cut : {size_t{0}, size_t{1}, size_t{13}, size_t{14}, size_t{53}, good.size() - 1})
        EXPECT_FALSE(CheckBitmapFile(good.data(), cut).ok) << "cut at " << cut;
    EXPECT_FALSE(CheckBitmapFile(nullptr, 0).ok);
    // Pixels one byte later than the file holds them; a V5 header longer than the file.
    for (auto [at, value] : {std::pair<size_t, uint32_t>{10, 55}, {14, 124}}) {
        std::vector<uint8_t> bad = good;
        Put32(bad, at, value);
        EXPECT_FALSE(CheckBitmapFile(bad.data(), bad.size()).ok) << at;
    }

    std::vector<uint8_t> foreign = good;
    foreign[0] = 'P';
    foreign[1] = 'K';
    BitmapCheck check = CheckBitmapFile(foreign.data(), foreign.size());
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.error.find("BM"), std::string::npos);
}

} // namespace
