// LOGFONT fields that the skinned label and the hover button set alike.
#pragma once
#include <cstddef>
#include <cstring>

#include "framework/afx_gdi.h"
#include "controls/font_points.h"

// lfFaceName holds 31 characters and the terminator, so longer names are
// cut to their first 31 characters rather than written past the field.
template <std::size_t N> void CopyFaceName(char (&field)[N], const char* name) {
    static_assert(N > 0, "a face name field has room for its terminator");
    const std::size_t length = name ? std::strlen(name) : 0;
    const std::size_t kept = length < N - 1 ? length : N - 1;
    if (kept)
        std::memcpy(field, name, kept);
    field[kept] = '\0';
}

// A point size as the screen's pixel height and width: a point font in the
// same face converts it, and only its height and width are taken over.
inline void SetPointSize(LOGFONTA& font, int points) {
    CFont pointFont;
    pointFont.CreatePointFont(ClampFontPoints(points) * 10, font.lfFaceName, nullptr);
    LOGFONTA converted{};
    if (pointFont.GetLogFont(&converted)) {
        font.lfHeight = converted.lfHeight;
        font.lfWidth = converted.lfWidth;
    }
}
