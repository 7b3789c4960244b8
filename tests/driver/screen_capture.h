// Screenshots of the Wine desktop, written as PNG files.
#pragma once

#include <windows.h>

#include <string>

namespace fwdriver {

// Copies `area` (screen coordinates) of the screen into a PNG at `path`.
bool CaptureToPng(const RECT& area, const std::wstring& path, std::string* error);

} // namespace fwdriver
