#include "framework/afx_wnd.h"

#include <mutex>
#include <unordered_map>

namespace {

// Which object is bound to which window. The lookup runs for every message
// of every bound window, several times over, so it stays in the process: a
// window property would cost a round trip to the window server each time
// (under Wine), and a busy stream of posted messages would then outrun the
// user-interface thread. Windows are bound on the user-interface thread, but
// a worker may look one up, hence the lock.
class BoundObjects {
public:
    CWnd* Find(HWND window) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_objects.find(window);
        return found == m_objects.end() ? nullptr : found->second;
    }
    bool Bind(HWND window, CWnd* object) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_objects.emplace(window, object).second;
    }
    // Only the object's own entry: the handle may already name a newer
    // window bound to another object.
    void Unbind(HWND window, const CWnd* object) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_objects.find(window);
        if (found != m_objects.end() && found->second == object)
            m_objects.erase(found);
    }

private:
    std::mutex m_mutex;
    std::unordered_map<HWND, CWnd*> m_objects;
};

BoundObjects& Bound() {
    // Never destroyed: objects of static storage may still let go of their
    // windows after this file's statics would be gone.
    static BoundObjects& objects = *new BoundObjects;
    return objects;
}

} // namespace

CWnd::~CWnd() {
    // Let go of the window before the object disappears so that no message
    // can reach a destroyed object.
    if (m_hWnd && ::IsWindow(m_hWnd))
        Detach();
    else if (m_hWnd)
        Bound().Unbind(m_hWnd, this); // the window went without telling us
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    if (!window)
        return nullptr;
    return Bound().Find(window);
}

bool CWnd::Attach(HWND window) {
    if (m_hWnd || !window || !Bound().Bind(window, this))
        return false;
    m_hWnd = window;
    m_superProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::RoutingWindowProc)));
    return true;
}

void CWnd::Detach() {
    if (!m_hWnd)
        return;
    if (m_superProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    Bound().Unbind(m_hWnd, this);
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
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_DRAWITEM: {
        // An owner-drawn control draws itself.
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        CWnd* control =
            item && item->CtlType != ODT_MENU ? FromHandlePermanent(item->hwndItem) : nullptr;
        if (control && control->OnDrawItemReflected(item))
            return TRUE;
        break;
    }
    case WM_GETOBJECT: {
        // The object id is a DWORD in a wider lParam: compared as a DWORD.
        AccessibleLabel label;
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT) &&
            GetAccessibleLabel(&label)) {
            if (const LRESULT answer = AnswerAccessibleObject(m_hWnd, wParam, label))
                return answer;
        }
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
    case WM_CTLCOLORSTATIC: {
        const UINT kind = message - WM_CTLCOLORMSGBOX; // CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC
        CDC dc(reinterpret_cast<HDC>(wParam));
        return reinterpret_cast<LRESULT>(
            OnCtlColor(&dc, FromHandlePermanent(reinterpret_cast<HWND>(lParam)), kind));
    }
    default:
        break;
    }
    return Default();
}

bool CWnd::GetAccessibleLabel(AccessibleLabel* label) const {
    if (m_accessible.name.empty())
        return false;
    *label = m_accessible;
    return true;
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}

CWnd* CWnd::GetParent() const {
    return FromHandlePermanent(::GetParent(m_hWnd));
}

void CWnd::ScreenToClient(RECT* rect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
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
