#include "tools/skinkit/template_layout.h"

#include <cstring>
#include <vector>

namespace {
INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Extended templates start with version 1 and 0xFFFF; the style follows the
// help id and the extended style.
constexpr size_t kExtendedStyleOffset = 12;
constexpr size_t kPlainStyleOffset = 0;

struct OwnedWindow {
    HWND handle;
    ~OwnedWindow() {
        if (handle)
            ::DestroyWindow(handle);
    }
};
} // namespace

TemplateLayout MeasureTemplate(UINT templateId) {
    TemplateLayout layout;
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    if (!bytes || size < 16)
        return layout;

    // A copy that stays hidden, whatever the template says.
    std::vector<BYTE> copy(bytes, bytes + size);
    const bool extended = copy[2] == 0xFF && copy[3] == 0xFF;
    const size_t at = extended ? kExtendedStyleOffset : kPlainStyleOffset;
    DWORD style;
    std::memcpy(&style, &copy[at], sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(&copy[at], &style, sizeof style);

    // Pages are child templates: they get a hidden parent of their own.
    OwnedWindow parent{::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 600, nullptr,
                                         nullptr, module, nullptr)};
    OwnedWindow dialog{::CreateDialogIndirectParamA(
        module, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), parent.handle, QuietDialogProc, 0)};
    if (!dialog.handle)
        return layout;
    RECT client;
    ::GetClientRect(dialog.handle, &client);
    layout.client = {client.right - client.left, client.bottom - client.top};
    for (HWND item = ::GetWindow(dialog.handle, GW_CHILD); item;
         item = ::GetWindow(item, GW_HWNDNEXT)) {
        RECT rect;
        ::GetWindowRect(item, &rect);
        ::MapWindowPoints(nullptr, dialog.handle, reinterpret_cast<POINT*>(&rect), 2);
        layout.items[::GetDlgCtrlID(item)] = rect;
    }
    layout.ok = true;
    return layout;
}
