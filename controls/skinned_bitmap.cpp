#include "controls/skinned_bitmap.h"

#include "controls/read_bitmap_file.h"
#include "framework/afx_app.h"

void SkinnedBitmap::PreSubclassWindow() {
    CStatic::PreSubclassWindow();
    // ORed in, not replacing the type: the template's static is SS_LEFT (0).
    ModifyStyle(0, SS_OWNERDRAW);
}

BOOL SkinnedBitmap::LoadBitmapFile(const CString& path) {
    BitmapFileRead read = ReadBitmapFile(path);
    if (!read.ok)
        return FALSE;
    // path may be m_filePath itself (ReloadBitmap): assigning a string to
    // itself keeps it.
    m_filePath = path;
    return SetBitmapHandle(read.bitmap.Release()) != 0 ? TRUE : FALSE;
}

int SkinnedBitmap::SetBitmapHandle(HBITMAP bitmap) {
    if (bitmap != m_picture.Get())
        m_picture.Reset(bitmap);
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    m_metrics = BITMAP{};
    return bitmap ? ::GetObjectA(bitmap, sizeof(BITMAP), &m_metrics) : 0;
}

BOOL SkinnedBitmap::LoadBitmapResource(UINT id) {
    m_resourceId = static_cast<int>(id);
    m_filePath.Empty();
    // LR_LOADMAP3DCOLORS: the resource's 3-D greys follow the system colours.
    HANDLE image = ::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id & 0xFFFF), IMAGE_BITMAP,
                                0, 0, LR_LOADMAP3DCOLORS);
    if (!image)
        return FALSE;
    return SetBitmapHandle(static_cast<HBITMAP>(image)) != 0 ? TRUE : FALSE;
}

BOOL SkinnedBitmap::ReloadBitmap() {
    if (m_resourceId > 0)
        return LoadBitmapResource(static_cast<UINT>(m_resourceId));
    if (!m_filePath.IsEmpty())
        return LoadBitmapFile(m_filePath);
    return FALSE;
}

LRESULT SkinnedBitmap::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_SYSCOLORCHANGE:
        OnSysColorChange();
        return 0;
    default:
        return CStatic::WindowProc(message, wParam, lParam);
    }
}

BOOL SkinnedBitmap::OnEraseBkgnd(HDC dc) {
    RECT client{};
    GetClientRect(&client);
    const int clientWidth = client.right - client.left;
    const int clientHeight = client.bottom - client.top;

    if (!m_picture) {
        CBrush face;
        if (face.CreateSolidBrush(::GetSysColor(COLOR_BTNFACE))) {
            CSelectObject selected(dc, face);
            ::PatBlt(dc, client.left, client.top, clientWidth, clientHeight, PATCOPY);
        }
        return TRUE;
    }
    if (clientWidth <= 0 || clientHeight <= 0)
        return TRUE;

    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return TRUE;
    memory.SelectObject(m_picture.Get());

    // Only the invalid part is repainted: map the clip box back into the
    // picture so that the stretched whole still lines up.
    RECT clip{};
    ::GetClipBox(dc, &clip);
    RECT target{};
    if (!::IntersectRect(&target, &clip, &client))
        return TRUE;
    const int sourceLeft = ::MulDiv(target.left, m_metrics.bmWidth, clientWidth);
    const int sourceTop = ::MulDiv(target.top, m_metrics.bmHeight, clientHeight);
    const int sourceRight = ::MulDiv(target.right, m_metrics.bmWidth, clientWidth);
    const int sourceBottom = ::MulDiv(target.bottom, m_metrics.bmHeight, clientHeight);
    ::StretchBlt(dc, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, memory, sourceLeft, sourceTop,
                 sourceRight - sourceLeft, sourceBottom - sourceTop, SRCCOPY);
    return TRUE;
}

void SkinnedBitmap::DrawItem(LPDRAWITEMSTRUCT item) {
    const CString text = GetWindowText();
    if (text.IsEmpty())
        return;
    const DWORD style = GetStyle();
    UINT format = DT_WORDBREAK | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
    if (style & SS_CENTERIMAGE)
        format |= DT_VCENTER;
    if (style & SS_CENTER)
        format |= DT_CENTER;
    else if (style & SS_RIGHT)
        format |= DT_RIGHT;

    CDC dc(item->hDC);
    const int previousMode = dc.SetBkMode(TRANSPARENT);
    RECT rect = item->rcItem;
    dc.DrawText(text, &rect, format);
    dc.SetBkMode(previousMode);
}

void SkinnedBitmap::OnSysColorChange() {
    Default();
    ReloadBitmap();
}
