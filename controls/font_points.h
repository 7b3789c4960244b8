// The bound of a font's point size, shared by the controls that turn points
// into a font and the skin reader that reads them.
#pragma once

// Far above any text that fits a window; the bound keeps the conversion to
// tenths of a point inside an int whatever number a skin file holds.
constexpr int kMaxFontPoints = 1000;

// A point size within -kMaxFontPoints to kMaxFontPoints.
constexpr int ClampFontPoints(int points) {
    if (points > kMaxFontPoints)
        return kMaxFontPoints;
    if (points < -kMaxFontPoints)
        return -kMaxFontPoints;
    return points;
}
