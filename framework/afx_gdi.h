// GDI wrappers. CGdiObject owns its handle (a UniqueHandle: deleted with
// the object, never copied, so that no handle is ever freed twice). CDC borrows a
// device context; CPaintDC, CClientDC and memory DCs own theirs and restore
// everything they selected.
#pragma once
#include <windows.h>

#include "framework/afx_handle.h"
#include "framework/afx_string.h"

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() = default;

    // Takes a handle into an empty object; false (and the handle not
    // taken) otherwise.
    bool Attach(HGDIOBJ handle);
    HGDIOBJ Detach() { return m_handle.Release(); }
    bool DeleteObject();
    bool IsNull() const { return !m_handle; }
    HGDIOBJ GetSafeHandle() const { return m_handle.Get(); }
    int GetObject(int size, void* out) const;

private:
    UniqueHandle<GdiHandleTraits<HGDIOBJ>> m_handle;
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    bool CreateSolidBrush(COLORREF colour);
    operator HBRUSH() const { return static_cast<HBRUSH>(GetSafeHandle()); }
};

class CFont : public CGdiObject {
public:
    CFont() = default;
    bool CreateFontIndirect(const LOGFONTA* description);
    // pointSize is in tenths of a point, converted for the screen.
    bool CreatePointFont(int pointSize, const char* faceName, HDC dc = nullptr);
    bool GetLogFont(LOGFONTA* out) const;
    operator HFONT() const { return static_cast<HFONT>(GetSafeHandle()); }
};

class CBitmap : public CGdiObject {
public:
    CBitmap() = default;
    bool CreateCompatibleBitmap(HDC dc, int width, int height);
    bool GetBitmap(BITMAP* out) const;
    operator HBITMAP() const { return static_cast<HBITMAP>(GetSafeHandle()); }
};

class CRgn : public CGdiObject {
public:
    CRgn() = default;
    bool CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height);
    operator HRGN() const { return static_cast<HRGN>(GetSafeHandle()); }
};

// A borrowed device context, with the calls the controls use.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_hDC(dc) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    // A memory DC owned by this object; what was selected into it is put
    // back before it is deleted.
    bool CreateCompatibleDC(HDC reference);

    HGDIOBJ SelectObject(HGDIOBJ object);
    HGDIOBJ SelectObject(const CGdiObject& object) { return SelectObject(object.GetSafeHandle()); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
    COLORREF SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }
    UINT SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
    bool BitBlt(int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, w, h, src, sx, sy, rop) != FALSE;
    }
    bool StretchBlt(int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    DWORD rop) {
        return ::StretchBlt(m_hDC, x, y, w, h, src, sx, sy, sw, sh, rop) != FALSE;
    }
    bool PatBlt(int x, int y, int w, int h, DWORD rop) {
        return ::PatBlt(m_hDC, x, y, w, h, rop) != FALSE;
    }
    void FillRect(const RECT* rect, HBRUSH brush) { ::FillRect(m_hDC, rect, brush); }
    bool Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b) != FALSE; }
    int DrawText(const CString& text, RECT* rect, UINT format) {
        return ::DrawTextA(m_hDC, text, text.GetLength(), rect, format);
    }
    bool TextOut(int x, int y, const CString& text) {
        return ::TextOutA(m_hDC, x, y, text, text.GetLength()) != FALSE;
    }
    SIZE GetTextExtent(const CString& text) const;
    int GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }
    POINT SetViewportOrg(int x, int y);
    POINT GetViewportOrg() const;
    bool DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon) != FALSE; }

    HDC m_hDC = nullptr;

private:
    bool m_ownsMemoryDC = false;
    HGDIOBJ m_firstBitmap = nullptr, m_firstFont = nullptr, m_firstBrush = nullptr,
            m_firstPen = nullptr;
};

// BeginPaint / EndPaint.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND window);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

private:
    HWND m_window;
};

// GetDC / ReleaseDC; a null window gives a DC of the whole screen.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window);
    ~CClientDC() override;

private:
    HWND m_window;
};

// Puts back what was selected into a DC when it goes out of scope.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;
    ~CSelectObject() {
        if (m_previous)
            ::SelectObject(m_dc, m_previous);
    }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
