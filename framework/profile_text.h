#pragma once
// Taking a value out of the system's private-profile (INI) reader. The reader
// writes at most size - 1 characters and a terminator into the caller's
// buffer and returns how many it wrote; a value that did not fit comes back
// cut, with the count size - 1. Both helpers believe the count only as far as
// the buffer goes.

#include <cstddef>
#include <functional>
#include <string>

// The text a read left in buffer (size bytes): the reported count of
// characters, never more than size - 1, and never past a NUL byte.
std::string ProfileBufferText(const char* buffer, size_t size, size_t reported);

// One read of a value into a buffer of the given size, as the caller's
// reader does it; returns the count the reader reports.
using ProfileRead = std::function<size_t(char* buffer, size_t size)>;

// One read into a cleared buffer of 512 bytes with a declared size of 511,
// as the skin reader has always read: a value is cut to its first 510
// characters.
std::string ReadCutProfileText(const ProfileRead& read);

struct ProfileGrowth {
    size_t step = 512; // first size, and what each enlargement adds
    // No INI line is this long; the bound only keeps a misbehaving reader
    // from growing the buffer for ever.
    size_t limit = size_t{1} << 20;
};

// A value of any length, whole: while the text may have been cut (count + 1
// reaches the buffer's size) the buffer grows by a step and the value is read
// again, up to the limit. *finalSize (when given) is the buffer size the
// read ended with.
std::string ReadWholeProfileText(const ProfileRead& read, size_t* finalSize = nullptr,
                                 const ProfileGrowth& growth = ProfileGrowth());
