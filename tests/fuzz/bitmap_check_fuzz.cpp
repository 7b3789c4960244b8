// Feeds arbitrary bytes to the bitmap validator. Beyond the sanitizers, it
// checks the promise callers rely on: an accepted file holds every byte that
// the system will read.
#include "controls/bitmap_file_check.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BitmapCheck check = CheckBitmapFile(data, size);
    if (!check.ok)
        return 0;
    const uint64_t rows = check.height < 0 ? -static_cast<int64_t>(check.height) : check.height;
    const uint64_t stride = ((static_cast<uint64_t>(check.width) * check.bitCount + 31) / 32) * 4;
    const uint64_t needed = kBitmapFileHeaderSize + check.pixelOffset + stride * rows;
    if (needed > size || check.pixelOffset < kBitmapInfoHeaderSize)
        abort();
    return 0;
}
