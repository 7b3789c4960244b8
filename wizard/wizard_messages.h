// Private window messages of the wizard. The numbers are fixed; they lie
// clear of the dialog manager's own DM_ messages (WM_USER + 0 to 2). The same
// numbers mean other things on other windows (the upload page's status, the
// language-pack page's socket notifications).
#pragma once
#include <windows.h>

// At the main window: wParam 1 = next page, 2 = close the wizard.
constexpr UINT WM_WIZARD_NAVIGATE = WM_USER + 100;
constexpr WPARAM NAVIGATE_NEXT = 1;
constexpr WPARAM NAVIGATE_CLOSE = 2;

// At the main window, sent by the page that writes to the router (the
// firmware, the language pack): wParam 1 = the write begins; 0 = it has
// ended and the upgrade goes on; 2 = it failed, and the wizard now waits
// for the user or closes.
constexpr UINT WM_WIZARD_WRITING = WM_USER + 102;
constexpr WPARAM WRITE_ENDED = 0;
constexpr WPARAM WRITE_STARTED = 1;
constexpr WPARAM WRITE_FAILED = 2;
