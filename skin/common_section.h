#pragma once
// The Common section of the skin file: the defaults every per-control entry
// starts from. Reading it needs only a way to fetch one value, so the
// conversions are the same on Windows and in the native tests.

#include <cstdint>
#include <functional>
#include <string>

struct CommonSection {
    std::string fontName = "Helvetica Narrow";
    int fontSize = 10;
    int fontWeight = 400;
    uint32_t textColor = 0xFFFFFF; // COLORREF values, red in the low byte
    uint32_t bkColor = 0;
    bool transparent = true;
    uint32_t noActiveColor = 0xFFFFFF;
    uint32_t activeColor = 0xFFFFFF;
    int clickOffsetX = 2;
    int clickOffsetY = 2;
};

// Fetches one key of the section into *value; false when it is not given
// (missing key, empty value or no file).
using SkinValueRead = std::function<bool(const char* key, std::string* value)>;

// Reads the section's keys in the file's order into *values; a key that is
// not given leaves its field as it was.
void ReadCommonSection(const SkinValueRead& read, CommonSection* values);
