// CWnd: a C++ object bound to one window. The object is found from the
// window through the framework's table of bound windows, entered when the
// window is subclassed or created and left before the object lets go of it.
//
// Message handling: the window procedure hands every message to the virtual
// WindowProc. Classes override it with a switch that unpacks a message once
// and calls a short On<Message> method, and pass everything else to their
// base class; whatever reaches CWnd::WindowProc gets the routing below and
// then the original window procedure (Default).
#pragma once
#include <windows.h>

#include <cassert>

#include "framework/afx_accessible.h"
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
    // The WM_DRAWITEM of an owner-drawn control, which its parent hands
    // back to it; false when the control does not draw itself.
    virtual bool OnDrawItemReflected(LPDRAWITEMSTRUCT /*item*/) { return false; }
    // The unified control-colour query, nCtlColor one of CTLCOLOR_*.
    virtual HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT nCtlColor);
    // After the window is gone; the object may not touch it any more.
    virtual void PostNcDestroy() {}

    // Thin wrappers, one API each.
    CWnd* GetParent() const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(Window(), id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(Window()); }
    bool ShowWindow(int show) { return ::ShowWindow(Window(), show) != FALSE; }
    bool IsWindowVisible() const { return ::IsWindowVisible(Window()) != FALSE; }
    bool EnableWindow(bool enable) { return ::EnableWindow(Window(), enable) != FALSE; }
    bool SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(Window(), after, x, y, cx, cy, flags) != FALSE;
    }
    void GetClientRect(RECT* rect) const { ::GetClientRect(Window(), rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(Window(), rect); }
    void ScreenToClient(RECT* rect) const;
    void Invalidate(bool erase = true) { ::InvalidateRect(Window(), nullptr, erase); }
    void InvalidateRect(const RECT* rect, bool erase = true) {
        ::InvalidateRect(Window(), rect, erase);
    }
    void UpdateWindow() { ::UpdateWindow(Window()); }
    bool RedrawWindow(const RECT* rect, HRGN region, UINT flags) {
        return ::RedrawWindow(Window(), rect, region, flags) != FALSE;
    }
    void SetWindowText(const char* text) { ::SetWindowTextA(Window(), text); }
    CString GetWindowText() const;
    void GetWindowText(CString& text) const { text = GetWindowText(); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(Window(), GWL_STYLE)); }
    DWORD GetExStyle() const {
        return static_cast<DWORD>(::GetWindowLongPtrA(Window(), GWL_EXSTYLE));
    }
    // Both return TRUE when the style changed; flags other than 0 also
    // tell the system about the frame (SWP_FRAMECHANGED / SWP_DRAWFRAME...).
    bool ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) {
        return ::SetTimer(Window(), id, elapse, nullptr);
    }
    bool KillTimer(UINT_PTR id) { return ::KillTimer(Window(), id) != FALSE; }
    LRESULT SendMessage(UINT message, WPARAM w = 0, LPARAM l = 0) const {
        return ::SendMessageA(Window(), message, w, l);
    }
    bool PostMessage(UINT message, WPARAM w = 0, LPARAM l = 0) const {
        return ::PostMessageA(Window(), message, w, l) != FALSE;
    }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    HICON SetIcon(HICON icon, bool big) {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    int SetWindowRgn(HRGN region, bool redraw) { return ::SetWindowRgn(Window(), region, redraw); }
    bool IsIconic() const { return ::IsIconic(Window()) != FALSE; }
    bool DestroyWindow();
    // The name and role a screen reader reads of this window (MSAA), for a
    // control whose own text or label would not tell it.
    void SetAccessibleLabel(const CString& name, long role) {
        m_accessible = AccessibleLabel{WideFromAnsi(name.GetString()), role};
    }
    // Sends a message to every window below this one, at every depth.
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

protected:
    // The window a wrapper calls on; debug builds check that it exists.
    HWND Window() const {
        assert(::IsWindow(m_hWnd));
        return m_hWnd;
    }
    // Binds the object to the window and installs our window procedure.
    bool Attach(HWND window);
    void Detach();
    static LRESULT CALLBACK RoutingWindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    // What a screen reader reads of this window; false leaves it to the
    // system's own accessible object.
    virtual bool GetAccessibleLabel(AccessibleLabel* label) const;

    WNDPROC m_superProc = nullptr;
    MSG m_current{};
    AccessibleLabel m_accessible;
};

// Hands a message, from the window it is for up through its parents to
// stopAt, to each bound object's PreTranslateMessage; TRUE when one took it.
BOOL WalkPreTranslateTree(HWND stopAt, MSG* message);

// Repaints a control at once and then the part of its parent beneath it,
// so that a transparent control never shows stale pixels.
void RedrawWithParent(CWnd* control);
