#include "controls/bitmap_file_check.h"

#include <cstring>

namespace {

constexpr uint32_t kRgb = 0;       // BI_RGB
constexpr uint32_t kBitfields = 3; // BI_BITFIELDS
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;
constexpr size_t kMaskBytes = 12;                 // red, green and blue masks
constexpr size_t kColourSpaceAt = 56;             // bV5CSType
constexpr uint32_t kProfileLinked = 0x4C494E4B;   // 'LINK'
constexpr uint32_t kProfileEmbedded = 0x4D424544; // 'MBED'

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

BitmapCheck Fail(const char* reason) {
    BitmapCheck check;
    check.error = reason;
    return check;
}

bool IsKnownBitCount(uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

BitmapCheck CheckBitmapFile(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kBitmapFileHeaderSize)
        return Fail("file shorter than the bitmap file header");
    if (data[0] != 'B' || data[1] != 'M')
        return Fail("not a bitmap file (no BM signature)");
    const size_t blockSize = size - kBitmapFileHeaderSize;
    if (blockSize < kBitmapInfoHeaderSize)
        return Fail("file shorter than the bitmap info header");

    const uint8_t* info = data + kBitmapFileHeaderSize;
    const uint32_t infoSize = Le32(info);
    if (infoSize != kBitmapInfoHeaderSize && infoSize != kV4HeaderSize && infoSize != kV5HeaderSize)
        return Fail("unsupported info header size");
    if (blockSize < infoSize)
        return Fail("file shorter than the bitmap info header");
    // The 40 bytes the newer headers begin with are laid out as the 40-byte one.
    const int32_t width = static_cast<int32_t>(Le32(info + 4));
    const int32_t height = static_cast<int32_t>(Le32(info + 8));
    const uint16_t planes = Le16(info + 12);
    const uint16_t bits = Le16(info + 14);
    const uint32_t compression = Le32(info + 16);
    const uint32_t clrUsed = Le32(info + 32);

    // A profile needs colour management that a screen bitmap never gets: the
    // picture would not show the colours its author saw.
    if (infoSize == kV5HeaderSize) {
        const uint32_t colourSpace = Le32(info + kColourSpaceAt);
        if (colourSpace == kProfileLinked || colourSpace == kProfileEmbedded)
            return Fail("colour profiles are not supported");
    }

    if (width <= 0)
        return Fail("width is zero or negative");
    if (height == 0)
        return Fail("height is zero");
    // Widen before negating: INT32_MIN has no positive counterpart.
    const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
    if (width > kMaxBitmapDimension || rows > kMaxBitmapDimension)
        return Fail("picture dimensions too large");
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(rows) * 4 > kMaxScreenBitmapBytes)
        return Fail("picture too large for a screen bitmap");
    if (planes != 1)
        return Fail("plane count is not 1");
    if (!IsKnownBitCount(bits))
        return Fail("unsupported bit count");
    if (compression != kRgb && compression != kBitfields)
        return Fail("unsupported compression");
    if (compression == kBitfields && bits != 16 && bits != 32)
        return Fail("bit fields need 16 or 32 bits per pixel");

    const bool bitFields = compression == kBitfields;
    uint64_t entries = clrUsed; // in the colour table
    if (bits <= 8) {
        const uint32_t tableMax = 1u << bits;
        if (clrUsed > tableMax)
            return Fail("colour table larger than the bit count allows");
        entries = clrUsed != 0 ? clrUsed : tableMax;
    }
    // The masks follow a 40-byte header and lie inside a newer one; the
    // table comes after both.
    const uint64_t tableOffset =
        infoSize + (bitFields && infoSize == kBitmapInfoHeaderSize ? kMaskBytes : 0);
    const uint64_t tableEnd = tableOffset + 4 * entries;
    if (tableEnd > blockSize)
        return Fail("colour table runs past the end of the file");

    // The pixels start where the file header says, which may be after a gap.
    const uint32_t offBits = Le32(data + 10);
    if (offBits < kBitmapFileHeaderSize + tableEnd)
        return Fail("pixel data starts inside the headers");
    const uint64_t pixelOffset = offBits - kBitmapFileHeaderSize;

    const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    const uint64_t pixelBytes = stride * static_cast<uint64_t>(rows);
    if (pixelBytes > kMaxBitmapPixelBytes)
        return Fail("picture data too large");
    if (pixelOffset > blockSize || pixelBytes > blockSize - pixelOffset)
        return Fail("file holds fewer pixel bytes than its header declares");

    BitmapCheck check;
    check.ok = true;
    check.pixelOffset = static_cast<size_t>(pixelOffset);
    check.colourCount = static_cast<uint32_t>(entries + (bitFields ? 3 : 0));
    check.bitFields = bitFields;
    check.tableOffset = static_cast<size_t>(tableOffset);
    check.width = width;
    check.height = height;
    check.bitCount = bits;
    return check;
}

void RewriteAsFortyByteHeader(uint8_t* info, const BitmapCheck& check) {
    const uint8_t fortyBytes[4] = {kBitmapInfoHeaderSize, 0, 0, 0}; // biSize, little-endian
    std::memcpy(info, fortyBytes, sizeof fortyBytes);
    // Masks already sit right after the first 40 bytes in every version.
    const size_t masks = check.bitFields ? kMaskBytes : 0;
    const size_t entries = check.colourCount - (check.bitFields ? 3 : 0);
    std::memmove(info + kBitmapInfoHeaderSize + masks, info + check.tableOffset, 4 * entries);
}
