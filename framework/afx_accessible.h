// What a screen reader reads of a control that cannot tell it by itself: a
// skinned button whose face may be a picture, a field whose label is a
// skinned static the system would not find. The control answers
// WM_GETOBJECT with the system's own accessible object for it, its name and
// role given by us and everything else (state, value, place) by the system.
#pragma once
#include <windows.h>

#include <oleacc.h>

#include <string>

struct AccessibleLabel {
    std::wstring name;
    long role = 0; // ROLE_SYSTEM_*
};

// Single-byte text of the system's code page, as the skin holds it.
std::wstring WideFromAnsi(const char* text);

// The answer to WM_GETOBJECT for OBJID_CLIENT (LresultFromObject); 0 when
// it could not be made, and the message then takes its usual way.
LRESULT AnswerAccessibleObject(HWND window, WPARAM wParam, const AccessibleLabel& label);
