#include "framework/afx_controls.h"

BOOL CStatic::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message != WM_DRAWITEM)
        return FALSE;
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *result = TRUE;
    return TRUE;
}

BOOL CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message != WM_DRAWITEM)
        return FALSE;
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *result = TRUE;
    return TRUE;
}

void CBitmapButton::PreSubclassWindow() {
    ModifyStyle(0, BS_OWNERDRAW);
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT item) {
    CBitmap* chosen = &m_bitmap;
    if ((item->itemState & ODS_SELECTED) && !m_bitmapSel.IsNull())
        chosen = &m_bitmapSel;
    else if ((item->itemState & ODS_FOCUS) && !m_bitmapFocus.IsNull())
        chosen = &m_bitmapFocus;
    else if ((item->itemState & ODS_DISABLED) && !m_bitmapDisabled.IsNull())
        chosen = &m_bitmapDisabled;
    if (chosen->IsNull())
        return;
    CDC memory;
    if (!memory.CreateCompatibleDC(item->hDC))
        return;
    memory.SelectObject(*chosen);
    BITMAP metrics{};
    chosen->GetBitmap(&metrics);
    ::BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, metrics.bmWidth, metrics.bmHeight,
             memory, 0, 0, SRCCOPY);
}

void CComboBox::GetLBText(int index, CString& text) const {
    const int length = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, index));
    if (length == CB_ERR) {
        text.Empty();
        return;
    }
    SendMessage(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.GetBuffer(length + 1)));
    text.ReleaseBuffer();
}

int CIPAddressCtrl::GetAddress(BYTE& f0, BYTE& f1, BYTE& f2, BYTE& f3) const {
    DWORD address = 0;
    const int filled =
        static_cast<int>(SendMessage(IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
    f0 = static_cast<BYTE>(FIRST_IPADDRESS(address));
    f1 = static_cast<BYTE>(SECOND_IPADDRESS(address));
    f2 = static_cast<BYTE>(THIRD_IPADDRESS(address));
    f3 = static_cast<BYTE>(FOURTH_IPADDRESS(address));
    return filled;
}

CToolTipCtrl::~CToolTipCtrl() {
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND window = m_hWnd;
        Detach();
        ::DestroyWindow(window);
    }
}

bool CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    if (m_hWnd)
        return false;
    HWND window = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr,
                                    nullptr, ::GetModuleHandleA(nullptr), nullptr);
    return window && Attach(window);
}

namespace {
TOOLINFOA MakeToolInfo(CWnd* window, UINT id, const char* text) {
    TOOLINFOA info{};
    // The size the common controls of every version accept.
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    // No TTF_SUBCLASS: the owner relays mouse messages itself (RelayEvent).
    info.uFlags = 0;
    info.hwnd = window ? window->m_hWnd : nullptr;
    info.uId = id;
    info.hinst = ::GetModuleHandleA(nullptr);
    info.lpszText = const_cast<char*>(text ? text : "");
    return info;
}
} // namespace

bool CToolTipCtrl::AddTool(CWnd* window, const char* text, const RECT* rect, UINT id) {
    TOOLINFOA info = MakeToolInfo(window, id, text);
    if (rect)
        info.rect = *rect;
    else if (window)
        window->GetClientRect(&info.rect);
    return SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

void CToolTipCtrl::UpdateTipText(const char* text, CWnd* window, UINT id) {
    TOOLINFOA info = MakeToolInfo(window, id, text);
    SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}
