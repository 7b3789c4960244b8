#include "pages/upload_progress.h"

namespace {

// floor(part * 100 / whole) for part < whole, by adding part to itself 100
// times modulo whole: exact for every 64-bit size, no product that could wrap.
int PercentBelowWhole(uint64_t part, uint64_t whole) {
    int quotient = 0;
    uint64_t remainder = 0;
    for (int i = 0; i < 100; ++i) {
        if (remainder >= whole - part) {
            remainder -= whole - part;
            ++quotient;
        } else {
            remainder += part;
        }
    }
    return quotient;
}

} // namespace

int UploadProgress::Add(uint64_t n) {
    // Saturate rather than wrap: a wrapped total would send the bar back.
    total = n > UINT64_MAX - total ? UINT64_MAX : total + n;
    if (fileSize == 0)
        return total == 0 ? 0 : 100;
    if (total >= fileSize)
        return 100;
    return PercentBelowWhole(total, fileSize);
}
