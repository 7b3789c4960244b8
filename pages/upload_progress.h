#pragma once
// Progress bar position from the byte counts the upload reports. The counts
// include header and form bytes, so the total may pass the file size.

#include <cstdint>

struct UploadProgress {
    uint64_t total = 0;    // bytes reported so far
    uint64_t fileSize = 0; // size of the firmware file

    // Adds n reported bytes and returns the bar position, 0 to 100:
    // total * 100 / fileSize, truncated and exact for any 64-bit size (a
    // 32-bit product wraps past 42 MB), held at 100. An empty file shows 100
    // once anything went out, instead of dividing by zero.
    int Add(uint64_t n);
};
