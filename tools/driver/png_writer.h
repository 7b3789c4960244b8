// Minimal PNG encoder for the driver's screenshots: 8-bit RGB, no filter,
// deflate "stored" blocks. Large files, but no compression library needed.
#pragma once

#include <cstdint>
#include <vector>

namespace fwdriver {

// `rgb` holds height rows of width * 3 bytes, top row first.
// Returns an empty vector when the sizes do not match.
std::vector<std::uint8_t> EncodePng(std::uint32_t width, std::uint32_t height,
                                    const std::vector<std::uint8_t>& rgb);

} // namespace fwdriver
