// Finds the windows of the program under test (every process but ours).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fwdriver {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// Text through WM_GETTEXT with a timeout, so that a hung target cannot hang us.
std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
// Caption of a top-level window, never blocking on its owner.
std::wstring Caption(HWND hwnd);

// Top-level windows of other processes, in z-order.
std::vector<HWND> OtherTopLevelWindows();

// A visible top-level window with exactly this caption, or nullptr.
HWND FindTopLevel(const std::wstring& caption);

// A control with this dialog id among all descendants of the other processes'
// top-level windows (child dialogs included); visible ones only if asked.
HWND FindControl(int id, bool visible_only);

// A visible message box: a "#32770" window holding the 0xFFFF text static.
HWND FindMessageBox();

} // namespace fwdriver
