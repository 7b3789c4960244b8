#pragma once
// Validation of a Windows bitmap file's bytes before they are handed to the
// system. The reader trusts nothing in the header: everything the system will
// read (info header, colour table, pixel rows) must lie inside the file.

#include <cstddef>
#include <cstdint>
#include <string>

struct BitmapCheck {
    bool ok = false;
    std::string error;      // short English reason when !ok
    size_t pixelOffset = 0; // offset of the pixel rows, counted from the info header
    uint32_t colourCount = 0;
    int32_t width = 0;
    int32_t height = 0; // as stored: negative for top-down pictures
    uint16_t bitCount = 0;
};

// Limits that keep a hostile header from asking for huge allocations.
constexpr int32_t kMaxBitmapDimension = 32768;
constexpr uint64_t kMaxBitmapPixelBytes = 256ull * 1024 * 1024;
// The system turns every picture into a screen bitmap of 4 bytes a pixel,
// whatever the file's bit count: a 1-bit file of a few megabytes can ask for
// gigabytes there.
constexpr uint64_t kMaxScreenBitmapBytes = 64ull * 1024 * 1024;
constexpr size_t kBitmapFileHeaderSize = 14;
constexpr size_t kBitmapInfoHeaderSize = 40;

// data/size: the whole file. On success the block that starts right after the
// 14-byte file header holds the info header, the colour table and at least
// stride * |height| pixel bytes from pixelOffset on.
BitmapCheck CheckBitmapFile(const uint8_t* data, size_t size);
