// Reads a Windows bitmap file into a device-dependent bitmap of the screen.
// Shared by the skinned picture and the hover button's image strip.
#pragma once
#include <windows.h>

#include <string>

#include "framework/afx_handle.h"

struct BitmapFileRead {
    // The file was read and its header accepted. The bitmap may still be
    // null when the system refuses the pixel data.
    bool ok = false;
    UniqueBitmap bitmap;
    std::string error; // why the read failed, when !ok
};

// Files are validated before the system sees them: a header that declares
// more pixels (or colours) than the file holds is refused, never padded.
BitmapFileRead ReadBitmapFile(const char* path);
