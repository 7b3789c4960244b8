// Screenshots of the Wine desktop, written as PNG files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fwdriver {

// `area` (screen coordinates) of the screen as RGB rows, top row first.
bool CaptureScreen(const RECT& area, std::vector<std::uint8_t>* rgb, std::string* error);

// Writes RGB rows of `area`'s size as a PNG at `path`.
bool WritePng(const RECT& area, const std::vector<std::uint8_t>& rgb, const std::wstring& path,
              std::string* error);

} // namespace fwdriver
