// A small dialog for the GUI driver's self-test: an edit, an IP address
// control, a drop-down list, and a button that reports them in a message box.
// The window has a rounded region and echoes a mouse drag, so that the
// driver's region and drag commands have something to observe. An
// owner-drawn button counts its clicks; the first time the mouse comes onto
// it, it throws the cursor off it, as Wine does with an X event it reads
// late, so that a click only counts if its press and release land on the
// button by themselves. Busy puts the focus into the address's first field
// and then, for a while, answers only messages sent from other threads, as
// a program does that is busy sending messages itself: a click on the field
// waits in its queue meanwhile, and text typed into it must not overtake
// that click.

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

constexpr DWORD kBusyMs = 2000;
constexpr int kBusyChars = 2; // typed characters that overtake the click
int g_chars_while_busy = 0;
bool g_busy = false;
WNDPROC g_field_proc = nullptr;

LRESULT CALLBACK FieldProc(HWND field, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CHAR && g_busy)
        ++g_chars_while_busy;
    return ::CallWindowProcW(g_field_proc, field, message, wparam, lparam);
}

HWND FirstAddressField(HWND dialog) {
    HWND first = nullptr;
    RECT first_rect{};
    for (HWND field = ::GetWindow(::GetDlgItem(dialog, IDC_ADDRESS), GW_CHILD); field;
         field = ::GetWindow(field, GW_HWNDNEXT)) {
        RECT rect{};
        ::GetWindowRect(field, &rect);
        if (!first || rect.left < first_rect.left) {
            first = field;
            first_rect = rect;
        }
    }
    return first;
}

void OnBusy(HWND dialog) {
    ::SetFocus(FirstAddressField(dialog));
    g_busy = true;
    g_chars_while_busy = 0;
    const ULONGLONG deadline = ::GetTickCount64() + kBusyMs;
    while (g_chars_while_busy < kBusyChars && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_SENDMESSAGE, 0);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    g_busy = false;
}

int g_clicks = 0;
bool g_cursor_thrown = false;
WNDPROC g_button_proc = nullptr;

LRESULT CALLBACK CountButtonProc(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MOUSEMOVE && !g_cursor_thrown) {
        g_cursor_thrown = true;
        RECT rect{};
        ::GetWindowRect(::GetParent(button), &rect);
        ::SetCursorPos(rect.left + 10, rect.top + 10);
    }
    return ::CallWindowProcW(g_button_proc, button, message, wparam, lparam);
}

void OnCount(HWND dialog) {
    ++g_clicks;
    ::SetDlgItemTextW(dialog, IDC_COUNT_ECHO, (L"Clicks: " + std::to_wstring(g_clicks)).c_str());
}

void DrawCountButton(const DRAWITEMSTRUCT& item) {
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    RECT text = item.rcItem;
    ::DrawTextW(item.hDC, L"Count", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void OnInitDialog(HWND dialog) {
    g_field_proc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        FirstAddressField(dialog), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FieldProc)));
    g_button_proc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(::GetDlgItem(dialog, IDC_COUNT), GWLP_WNDPROC,
                            reinterpret_cast<LONG_PTR>(&CountButtonProc)));
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
    case WM_DRAWITEM:
        if (wparam == IDC_COUNT)
            DrawCountButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_CHECK && HIWORD(wparam) == BN_CLICKED)
            OnCheck(dialog);
        if (LOWORD(wparam) == IDC_COUNT && HIWORD(wparam) == BN_CLICKED)
            OnCount(dialog);
        if (LOWORD(wparam) == IDC_BUSY && HIWORD(wparam) == BN_CLICKED)
            OnBusy(dialog);
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
