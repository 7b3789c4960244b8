// The bound on a point size, shared by the skin reader and the controls.
#pragma once

// Far above any text that fits a window; the bound keeps the conversion to
// tenths of a point inside an int whatever number a skin file holds.
constexpr int kMaxFontPoints = 1000;

// A point size within -kMaxFontPoints to kMaxFontPoints.
constexpr int ClampFontPoints(int points) {
    return points > kMaxFontPoints ? kMaxFontPoints
                                   : (points < -kMaxFontPoints ? -kMaxFontPoints : points);
}
