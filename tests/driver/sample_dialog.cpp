// A small dialog for the GUI driver's self-test: an edit, an IP address
// control, a drop-down list, and a button that reports them in a message box.
// The window has a rounded region and echoes a mouse drag, so that the
// driver's region and drag commands have something to observe.

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

#include "tests/driver/sample_dialog_ids.h"

namespace {

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[256] = {};
    ::GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

void OnInitDialog(HWND dialog) {
    HWND choice = ::GetDlgItem(dialog, IDC_CHOICE);
    for (const wchar_t* entry : {L"English", L"Deutsch", L"Fran\u00e7ais"})
        ::SendMessageW(choice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    ::SendMessageW(choice, CB_SETCURSEL, 0, 0);
    RECT window{};
    ::GetWindowRect(dialog, &window);
    // The system owns the region once it is set.
    ::SetWindowRgn(dialog,
                   ::CreateRoundRectRgn(0, 0, window.right - window.left + 1,
                                        window.bottom - window.top + 1, 24, 24),
                   TRUE);
}

void OnCheck(HWND dialog) {
    const std::wstring report = L"Name: " + ItemText(dialog, IDC_NAME) + L"\nAddress: " +
                                ItemText(dialog, IDC_ADDRESS) + L"\nChoice: " +
                                ItemText(dialog, IDC_CHOICE);
    ::MessageBoxW(dialog, report.c_str(), L"Sample Report", MB_OK | MB_ICONINFORMATION);
}

void OnChoiceChanged(HWND dialog) {
    ::SetDlgItemTextW(dialog, IDC_CHOICE_ECHO,
                      (L"Selected " + ItemText(dialog, IDC_CHOICE)).c_str());
}

POINT g_drag_start{};

void OnMouse(HWND dialog, UINT message, LPARAM lparam) {
    const POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
    if (message == WM_LBUTTONDOWN) {
        g_drag_start = at;
        ::SetCapture(dialog);
        return;
    }
    ::ReleaseCapture();
    wchar_t text[96];
    std::swprintf(text, 96, L"Dragged %ld,%ld to %ld,%ld", g_drag_start.x, g_drag_start.y, at.x,
                  at.y);
    ::SetDlgItemTextW(dialog, IDC_DRAG_ECHO, text);
}

INT_PTR CALLBACK SampleProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        OnMouse(dialog, message, lparam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_CHECK && HIWORD(wparam) == BN_CLICKED)
            OnCheck(dialog);
        if (LOWORD(wparam) == IDC_CHOICE && HIWORD(wparam) == CBN_SELCHANGE)
            OnChoiceChanged(dialog);
        if (LOWORD(wparam) == IDCANCEL)
            ::EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
    if (!::InitCommonControlsEx(&controls))
        return 2;
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SAMPLE), nullptr, SampleProc, 0) ==
                   IDCANCEL
               ? 0
               : 1;
}
