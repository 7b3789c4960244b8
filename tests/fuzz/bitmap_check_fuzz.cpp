// Feeds arbitrary bytes to the bitmap validator. Beyond the sanitizers, it
// checks the promise callers rely on: an accepted file holds every byte that
// the system will read, and rewriting its header into the 40-byte layout
// stays inside the file and before the pixels.
#include "controls/bitmap_file_check.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BitmapCheck check = CheckBitmapFile(data, size);
    if (!check.ok)
        return 0;
    const uint64_t rows = check.height < 0 ? -static_cast<int64_t>(check.height) : check.height;
    const uint64_t stride = ((static_cast<uint64_t>(check.width) * check.bitCount + 31) / 32) * 4;
    const uint64_t needed = kBitmapFileHeaderSize + check.pixelOffset + stride * rows;
    const uint64_t fortyByteInfo = kBitmapInfoHeaderSize + 4ull * check.colourCount;
    if (needed > size || check.pixelOffset < fortyByteInfo)
        abort();
    std::vector<uint8_t> copy(data, data + size);
    RewriteAsFortyByteHeader(copy.data() + kBitmapFileHeaderSize, check);
    return 0;
}
