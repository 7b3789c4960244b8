#include "framework/afx_wnd.h"

namespace {
// The window property that points at the bound CWnd.
const char kObjectProperty[] = "FwuCWndObject";
} // namespace

CWnd::~CWnd() {
    // Let go of the window before the object disappears so that no message
    // can reach a destroyed object.
    if (m_hWnd && ::IsWindow(m_hWnd))
        Detach();
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    if (!window)
        return nullptr;
    return static_cast<CWnd*>(::GetPropA(window, kObjectProperty));
}

bool CWnd::Attach(HWND window) {
    if (m_hWnd || !window || FromHandlePermanent(window))
        return false;
    m_hWnd = window;
    ::SetPropA(window, kObjectProperty, this);
    m_superProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::RoutingWindowProc)));
    return true;
}

void CWnd::Detach() {
    if (!m_hWnd)
        return;
    if (m_superProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_superProc = nullptr;
    m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND window) {
    if (m_hWnd || !window || FromHandlePermanent(window))
        return false;
    // PreSubclassWindow sees the window through m_hWnd before our window
    // procedure is installed.
    m_hWnd = window;
    PreSubclassWindow();
    m_hWnd = nullptr;
    return Attach(window);
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent || !parent->m_hWnd)
        return false;
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
    HWND window = m_hWnd;
    Detach();
    return window;
}

bool CWnd::DestroyWindow() {
    if (!m_hWnd)
        return false;
    return ::DestroyWindow(m_hWnd) != FALSE;
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam) const {
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } sent{message, wParam, lParam};
    // EnumChildWindows walks the whole tree below the window.
    ::EnumChildWindows(
        m_hWnd,
        [](HWND child, LPARAM raw) -> BOOL {
            const auto* m = reinterpret_cast<const Message*>(raw);
            ::SendMessageA(child, m->message, m->wParam, m->lParam);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&sent));
}

LRESULT CALLBACK CWnd::RoutingWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    CWnd* object = FromHandlePermanent(window);
    if (!object)
        return ::DefWindowProcA(window, message, w, l);
    const MSG saved = object->m_current;
    object->m_current = MSG{window, message, w, l, 0, {0, 0}};
    const LRESULT result = object->WindowProc(message, w, l);
    if (message == WM_NCDESTROY) {
        // The window is gone: unbind, then let the object do its own clean-up.
        object->Detach();
        object->PostNcDestroy();
        return result;
    }
    object->m_current = saved;
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_superProc)
        return ::CallWindowProcA(m_superProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        // Notifications from controls go to the control first.
        HWND control = reinterpret_cast<HWND>(lParam);
        LRESULT result = 0;
        CWnd* child = FromHandlePermanent(control);
        if (control && child && child->OnChildNotify(message, wParam, lParam, &result))
            return result;
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        LRESULT result = 0;
        CWnd* child = header ? FromHandlePermanent(header->hwndFrom) : nullptr;
        if (child && child != this && child->OnChildNotify(message, wParam, lParam, &result))
            return result;
        if (OnNotify(wParam, lParam, &result))
            return result;
        break;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU)
            return RouteToChild(item->hwndItem, message, wParam, lParam);
        break;
    }
    case WM_SYSCOLORCHANGE:
        // The system tells only top-level windows; their controls must hear
        // it too, so that pictures reload and brushes follow the new colours.
        if (!(GetStyle() & WS_CHILD))
            SendMessageToDescendants(message, wParam, lParam);
        break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return RouteControlColour(message, wParam, lParam);
    default:
        break;
    }
    return Default();
}

LRESULT CWnd::RouteToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* object = FromHandlePermanent(child);
    LRESULT result = 0;
    if (object && object->OnChildNotify(message, wParam, lParam, &result))
        return result;
    return Default();
}

LRESULT CWnd::RouteControlColour(UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT kind = message - WM_CTLCOLORMSGBOX; // CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC
    HWND controlWindow = reinterpret_cast<HWND>(lParam);
    CWnd* control = FromHandlePermanent(controlWindow);
    CDC dc(reinterpret_cast<HDC>(wParam));
    // A control that colours itself has the first word.
    if (control && control != this) {
        if (HBRUSH own = control->CtlColor(&dc, kind))
            return reinterpret_cast<LRESULT>(own);
    }
    HBRUSH brush = OnCtlColor(&dc, control, kind);
    return reinterpret_cast<LRESULT>(brush);
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) {
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
    return FALSE;
}

CWnd* CWnd::GetParent() const {
    return FromHandlePermanent(::GetParent(m_hWnd));
}

void CWnd::ScreenToClient(RECT* rect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

void CWnd::ClientToScreen(RECT* rect) const {
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(rect), 2);
}

CString CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthA(m_hWnd);
    CString text;
    if (length > 0) {
        ::GetWindowTextA(m_hWnd, text.GetBuffer(length + 1), length + 1);
        text.ReleaseBuffer();
    }
    return text;
}

bool CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    const DWORD style = GetStyle();
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return false;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return true;
}

bool CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
    const DWORD style = GetExStyle();
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return false;
    ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(changed));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return true;
}

BOOL WalkPreTranslateTree(HWND stopAt, MSG* message) {
    for (HWND window = message->hwnd; window; window = ::GetParent(window)) {
        CWnd* object = CWnd::FromHandlePermanent(window);
        if (object && object->PreTranslateMessage(message))
            return TRUE;
        if (window == stopAt)
            break;
    }
    return FALSE;
}

void RedrawWithParent(CWnd* control) {
    if (!control || !control->m_hWnd)
        return;
    RECT rect;
    control->GetWindowRect(&rect);
    control->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HWND parent = ::GetParent(control->m_hWnd);
    if (!parent)
        return;
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    ::InvalidateRect(parent, &rect, TRUE);
    ::UpdateWindow(parent);
}
