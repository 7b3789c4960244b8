// What a screen reader reads of one window: the name and role that
// Windows' accessibility layer (MSAA) gives its client area.
#pragma once

#include <windows.h>

#include <string>

namespace fwdriver {

struct AccessibleInfo {
    long role = 0;     // ROLE_SYSTEM_*; 0 when none was given
    std::wstring name; // empty when the object has none
};

// AccessibleObjectFromWindow(OBJID_CLIENT) and the object's own
// get_accName / get_accRole; false (with the reason) when there is none.
bool ReadAccessible(HWND hwnd, AccessibleInfo* info, std::string* error);

} // namespace fwdriver
