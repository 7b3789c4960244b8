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
    // The 32-bit words that follow a 40-byte info header: the three bit-field
    // masks when there are any, then the colour table.
    uint32_t colourCount = 0;
    bool bitFields = false;
    size_t tableOffset = 0; // where the file's colour table starts, from the info header
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
// stride * |height| pixel bytes from pixelOffset (the file header's bfOffBits)
// on. The info header may be the 40-byte one or the V4 or V5 one.
BitmapCheck CheckBitmapFile(const uint8_t* data, size_t size);

// Rewrites an accepted file's info header, masks and colour table in place
// into the 40-byte layout (info: the block after the file header), so that
// the system reads the same picture whatever header version the file has.
// The pixel rows are left where they are.
void RewriteAsFortyByteHeader(uint8_t* info, const BitmapCheck& check);
