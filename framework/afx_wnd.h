// CWnd: a C++ object bound to one window. The object is found from the
// window through a window property set when it is subclassed or created and
// removed before the object lets go of the window.
//
// Message handling: the window procedure hands every message to the virtual
// WindowProc. Classes override it with a switch that unpacks a message once
// and calls a short On<Message> method, and pass everything else to their
// base class; whatever reaches CWnd::WindowProc gets the routing below and
// then the original window procedure (Default).
#pragma once
#include <windows.h>

#include "framework/afx_gdi.h"
#include "framework/afx_string.h"

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    static CWnd* FromHandlePermanent(HWND window);

    // Binds this object to an existing window and routes its messages
    // through WindowProc. PreSubclassWindow runs first.
    bool SubclassWindow(HWND window);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    virtual void PreSubclassWindow() {}
    virtual BOOL PreTranslateMessage(MSG* message);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The original window procedure for the message being handled now.
    LRESULT Default();

    // WM_COMMAND; TRUE when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY; TRUE when handled (the result goes to *result).
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A notification the parent reflects back to its child control
    // (WM_DRAWITEM, WM_CTLCOLOR...); TRUE when the child handled it.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The unified control-colour query, nCtlColor one of CTLCOLOR_*.
    virtual HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT nCtlColor);
    // Reflected control colour at the control itself; null = not handled.
    virtual HBRUSH CtlColor(CDC* /*dc*/, UINT /*nCtlColor*/) { return nullptr; }
    // After the window is gone; the object may not touch it any more.
    virtual void PostNcDestroy() {}

    // Thin wrappers, one API each.
    CWnd* GetParent() const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    bool ShowWindow(int show) { return ::ShowWindow(m_hWnd, show) != FALSE; }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
    bool EnableWindow(bool enable) { return ::EnableWindow(m_hWnd, enable) != FALSE; }
    bool SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags) != FALSE;
    }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(RECT* rect) const;
    void Invalidate(bool erase = true) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* rect, bool erase = true) {
        ::InvalidateRect(m_hWnd, rect, erase);
    }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    bool RedrawWindow(const RECT* rect, HRGN region, UINT flags) {
        return ::RedrawWindow(m_hWnd, rect, region, flags) != FALSE;
    }
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    CString GetWindowText() const;
    void GetWindowText(CString& text) const { text = GetWindowText(); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const {
        return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE));
    }
    // Both return TRUE when the style changed; flags other than 0 also
    // tell the system about the frame (SWP_FRAMECHANGED / SWP_DRAWFRAME...).
    bool ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    bool KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id) != FALSE; }
    LRESULT SendMessage(UINT message, WPARAM w = 0, LPARAM l = 0) const {
        return ::SendMessageA(m_hWnd, message, w, l);
    }
    bool PostMessage(UINT message, WPARAM w = 0, LPARAM l = 0) const {
        return ::PostMessageA(m_hWnd, message, w, l) != FALSE;
    }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    HICON SetIcon(HICON icon, bool big) {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    int SetWindowRgn(HRGN region, bool redraw) { return ::SetWindowRgn(m_hWnd, region, redraw); }
    bool IsIconic() const { return ::IsIconic(m_hWnd) != FALSE; }
    bool DestroyWindow();
    // Sends a message to every window below this one, at every depth.
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

protected:
    // Binds the object to the window and installs our window procedure.
    bool Attach(HWND window);
    void Detach();
    static LRESULT CALLBACK RoutingWindowProc(HWND window, UINT message, WPARAM w, LPARAM l);

    WNDPROC m_superProc = nullptr;
    MSG m_current{};

private:
    LRESULT RouteControlColour(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT RouteToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam);
};

// Hands a message, from the window it is for up through its parents to
// stopAt, to each bound object's PreTranslateMessage; TRUE when one took it.
BOOL WalkPreTranslateTree(HWND stopAt, MSG* message);

// Repaints a control at once and then the part of its parent beneath it,
// so that a transparent control never shows stale pixels.
void RedrawWithParent(CWnd* control);
