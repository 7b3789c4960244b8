// Copying a face name into a LOGFONT: lfFaceName holds 31 characters and
// the terminator, so longer names are cut to their first 31 characters
// rather than written past the field.
#pragma once
#include <cstddef>
#include <cstring>

template <std::size_t N> void CopyFaceName(char (&field)[N], const char* name) {
    static_assert(N > 0, "a face name field has room for its terminator");
    const std::size_t length = name ? std::strlen(name) : 0;
    const std::size_t kept = length < N - 1 ? length : N - 1;
    if (kept)
        std::memcpy(field, name, kept);
    field[kept] = '\0';
}
