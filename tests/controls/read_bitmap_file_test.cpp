#include "controls/read_bitmap_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/controls/control_test_support.h"

using namespace controls_test;

namespace {

std::vector<uint8_t> Sample(int width, int height) {
    return MakeBmp24(width, height, [](int x, int y) { return RGB(x * 40, y * 60, 7); });
}

void Set32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}
void Set16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    std::memcpy(bytes.data() + at, &value, 2);
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previous = ::SelectObject(dc, bitmap);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    return colour;
}

TEST(ReadBitmapFile, ReadsA24BitFileIntoAScreenBitmap) {
    const std::string path = WriteTempFile("good24.bmp", Sample(5, 3));
    BitmapFileRead read = ReadBitmapFile(path.c_str());
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_TRUE(read.bitmap);
    BITMAP metrics{};
    ASSERT_NE(::GetObjectA(read.bitmap.Get(), sizeof metrics, &metrics), 0);
    EXPECT_EQ(metrics.bmWidth, 5);
    EXPECT_EQ(metrics.bmHeight, 3);
    EXPECT_EQ(PixelOf(read.bitmap.Get(), 0, 0), RGB(0, 0, 7));
    EXPECT_EQ(PixelOf(read.bitmap.Get(), 4, 2), RGB(160, 120, 7));
}

// 2x2, 8 bits, two palette entries: red and blue.
std::vector<uint8_t> PaletteFile() {
    std::vector<uint8_t> bytes(14 + 40 + 8 + 8, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Set32(bytes, 10, 14 + 40 + 8);
    Set32(bytes, 14, 40);
    Set32(bytes, 18, 2);
    Set32(bytes, 22, 2);
    Set16(bytes, 26, 1);
    Set16(bytes, 28, 8);
    Set32(bytes, 46, 2); // biClrUsed
    const uint8_t palette[8] = {0, 0, 255, 0, 255, 0, 0, 0};
    std::memcpy(bytes.data() + 54, palette, 8);
    const uint8_t rows[8] = {0, 1, 0, 0, 1, 0, 0, 0}; // bottom row: red blue; top: blue red
    std::memcpy(bytes.data() + 62, rows, 8);
    return bytes;
}

TEST(ReadBitmapFile, ReadsAPaletteFile) {
    const std::string path = WriteTempFile("palette8.bmp", PaletteFile());
    BitmapFileRead read = ReadBitmapFile(path.c_str());
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_TRUE(read.bitmap);
    EXPECT_EQ(PixelOf(read.bitmap.Get(), 0, 1), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(read.bitmap.Get(), 1, 1), RGB(0, 0, 255));
    EXPECT_EQ(PixelOf(read.bitmap.Get(), 0, 0), RGB(0, 0, 255));
}

// The same picture with a V4 or V5 header (no colour profile) and `gap`
// bytes between its colour table and its pixels, as some editors write it.
std::vector<uint8_t> WithNewerHeader(std::vector<uint8_t> bytes, uint32_t size, uint32_t gap) {
    uint32_t pixels = 0;
    std::memcpy(&pixels, bytes.data() + 10, 4);
    bytes.insert(bytes.begin() + pixels, gap, 0xA5);
    bytes.insert(bytes.begin() + 54, size - 40, 0);
    Set32(bytes, 10, pixels + size - 40 + gap);
    Set32(bytes, 14, size);
    return bytes;
}

TEST(ReadBitmapFile, NewerHeadersDrawAsTheFortyByteOne) {
    const struct {
        std::vector<uint8_t> bytes;
        uint32_t size, gap;
    } cases[] = {{Sample(5, 3), 108, 0}, {Sample(5, 3), 124, 6}, {PaletteFile(), 124, 3}};
    for (const auto& c : cases) {
        BitmapFileRead old = ReadBitmapFile(WriteTempFile("forty.bmp", c.bytes).c_str());
        BitmapFileRead read = ReadBitmapFile(
            WriteTempFile("newer.bmp", WithNewerHeader(c.bytes, c.size, c.gap)).c_str());
        ASSERT_TRUE(read.ok && read.bitmap) << c.size << ": " << read.error;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(PixelOf(read.bitmap.Get(), x, y), PixelOf(old.bitmap.Get(), x, y))
                    << c.size;
    }
}

TEST(ReadBitmapFile, RefusesBadFilesWithoutCrashing) {
    struct Case {
        const char* name;
        std::function<std::vector<uint8_t>()> bytes;
    } cases[] = {
        {"empty", [] { return std::vector<uint8_t>(); }},
        {"ten bytes", [] { return std::vector<uint8_t>(10, 'B'); }},
        {"file header only",
         [] {
             auto b = Sample(4, 4);
             b.resize(14);
             return b;
         }},
        {"no BM signature",
         [] {
             auto b = Sample(4, 4);
             b[0] = 'M';
             b[1] = 'B';
             return b;
         }},
        {"truncated info header",
         [] {
             auto b = Sample(4, 4);
             b.resize(30);
             return b;
         }},
        {"fewer pixels than declared",
         [] {
             auto b = Sample(4, 4);
             Set32(b, 22, 100);
             return b;
         }},
        {"pixel rows cut short",
         [] {
             auto b = Sample(40, 40);
             b.resize(b.size() - 7);
             return b;
         }},
        {"huge dimensions",
         [] {
             auto b = Sample(4, 4);
             Set32(b, 18, 40000);
             Set32(b, 22, 40000);
             return b;
         }},
        {"zero width",
         [] {
             auto b = Sample(4, 4);
             Set32(b, 18, 0);
             return b;
         }},
        {"negative width",
         [] {
             auto b = Sample(4, 4);
             Set32(b, 18, static_cast<uint32_t>(-4));
             return b;
         }},
        {"zero height",
         [] {
             auto b = Sample(4, 4);
             Set32(b, 22, 0);
             return b;
         }},
        {"most negative height",
         [] {
             auto b = Sample(4, 4);
             Set32(b, 22, 0x80000000u);
             return b;
         }},
        {"bit count 7",
         [] {
             auto b = Sample(4, 4);
             Set16(b, 28, 7);
             return b;
         }},
        {"colour table past the end",
         [] {
             auto b = Sample(4, 4);
             Set16(b, 28, 8);
             Set32(b, 46, 256);
             return b;
         }},
        {"run-length compression",
         [] {
             auto b = Sample(4, 4);
             Set32(b, 30, 1);
             return b;
         }},
    };
    for (const auto& c : cases) {
        const std::string path = WriteTempFile("bad.bmp", c.bytes());
        BitmapFileRead read = ReadBitmapFile(path.c_str());
        EXPECT_FALSE(read.ok) << c.name;
        EXPECT_FALSE(read.bitmap) << c.name;
        EXPECT_FALSE(read.error.empty()) << c.name;
    }
}

TEST(ReadBitmapFile, RefusesAFolderAMissingFileAndNoPath) {
    EXPECT_FALSE(ReadBitmapFile(TempFolder().c_str()).ok);
    EXPECT_FALSE(ReadBitmapFile((TempFolder() + "\\no such file.bmp").c_str()).ok);
    EXPECT_FALSE(ReadBitmapFile(nullptr).ok);
}

} // namespace
