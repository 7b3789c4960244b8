#include "controls/read_bitmap_file.h"

#include <cstdint>
#include <cstring>

#include "controls/bitmap_file_check.h"
#include "framework/afx_file.h"
#include "framework/afx_gdi.h"

namespace {

// Far above any skin picture; keeps a stray huge file from being loaded
// whole into memory just to be refused by the header check.
constexpr uint64_t kMaxBitmapFileBytes = kMaxBitmapPixelBytes + (1u << 20);

// Fixed global memory, freed with its owner.
class GlobalBlock {
public:
    explicit GlobalBlock(size_t size) : m_memory(::GlobalAlloc(GMEM_FIXED, size)) {}
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() {
        if (m_memory)
            ::GlobalFree(m_memory);
    }
    uint8_t* data() const { return static_cast<uint8_t*>(m_memory); }

private:
    HGLOBAL m_memory;
};

BitmapFileRead Failed(const char* reason) {
    BitmapFileRead result;
    result.error = reason;
    return result;
}

} // namespace

BitmapFileRead ReadBitmapFile(const char* path) {
    CFile file;
    if (!path || !file.Open(path))
        return Failed("cannot open the file");

    uint8_t fileHeader[kBitmapFileHeaderSize] = {};
    if (file.Read(fileHeader, sizeof fileHeader) != sizeof fileHeader)
        return Failed("file shorter than the bitmap file header");
    if ((fileHeader[0] | (fileHeader[1] << 8)) != 0x4D42)
        return Failed("not a bitmap file (no BM signature)");

    const uint64_t length = file.GetLength();
    if (length < kBitmapFileHeaderSize || length > kMaxBitmapFileBytes)
        return Failed("file size out of range");
    const size_t blockSize = static_cast<size_t>(length - kBitmapFileHeaderSize);

    // The file header is kept in front of the block so that the whole file
    // can be checked in one piece; the system only ever sees the block.
    GlobalBlock memory(static_cast<size_t>(length));
    if (!memory.data())
        return Failed("out of memory");
    std::memcpy(memory.data(), fileHeader, sizeof fileHeader);
    uint8_t* block = memory.data() + kBitmapFileHeaderSize;
    if (file.Read(block, static_cast<unsigned>(blockSize)) != blockSize)
        return Failed("file shorter than its length");

    const BitmapCheck check = CheckBitmapFile(memory.data(), static_cast<size_t>(length));
    if (!check.ok)
        return Failed(check.error.c_str());

    // The system gets the 40-byte layout whatever version the file's header
    // is: the picture of a V4 or V5 file is drawn as the same picture with a
    // 40-byte header, and none of their colour-space fields is ever read.
    RewriteAsFortyByteHeader(block, check);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(block);

    BitmapFileRead result;
    result.ok = true;
    CClientDC screen(nullptr);
    result.bitmap.Reset(::CreateDIBitmap(screen, header, CBM_INIT, block + check.pixelOffset,
                                         reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS));
    return result;
}
