#include "framework/afx_gdi.h"

#include <cstdlib>
#include <cstring>

bool CGdiObject::Attach(HGDIOBJ handle) {
    if (m_hObject != nullptr || handle == nullptr)
        return false;
    m_hObject = handle;
    return true;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ handle = m_hObject;
    m_hObject = nullptr;
    return handle;
}

bool CGdiObject::DeleteObject() {
    if (m_hObject == nullptr)
        return false;
    const bool deleted = ::DeleteObject(Detach()) != FALSE;
    return deleted;
}

int CGdiObject::GetObject(int size, void* out) const {
    return m_hObject ? ::GetObjectA(m_hObject, size, out) : 0;
}

// Every Create... refuses to run over a handle it already holds, so that no
// handle is ever lost.
bool CBrush::CreateSolidBrush(COLORREF colour) {
    return IsNull() && Attach(::CreateSolidBrush(colour));
}

bool CFont::CreateFontIndirect(const LOGFONTA* description) {
    return IsNull() && Attach(::CreateFontIndirectA(description));
}

bool CFont::CreatePointFont(int pointSize, const char* faceName, HDC dc) {
    if (!IsNull())
        return false;
    LOGFONTA description{};
    description.lfCharSet = DEFAULT_CHARSET;
    // Copy at most 31 characters: lfFaceName holds 32 with the terminator.
    if (faceName)
        std::strncpy(description.lfFaceName, faceName, LF_FACESIZE - 1);
    HDC screen = dc ? dc : ::GetDC(nullptr);
    // Height in logical units for the device, as tenths of a point.
    POINT height{0, ::MulDiv(pointSize, ::GetDeviceCaps(screen, LOGPIXELSY), 720)};
    POINT origin{0, 0};
    ::DPtoLP(screen, &height, 1);
    ::DPtoLP(screen, &origin, 1);
    description.lfHeight = -std::abs(height.y - origin.y);
    if (!dc)
        ::ReleaseDC(nullptr, screen);
    return CreateFontIndirect(&description);
}

bool CFont::GetLogFont(LOGFONTA* out) const {
    return GetObject(sizeof(LOGFONTA), out) != 0;
}

bool CBitmap::CreateCompatibleBitmap(HDC dc, int width, int height) {
    return IsNull() && Attach(::CreateCompatibleBitmap(dc, width, height));
}

bool CBitmap::GetBitmap(BITMAP* out) const {
    return GetObject(sizeof(BITMAP), out) != 0;
}

bool CRgn::CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height) {
    return IsNull() && Attach(::CreateRoundRectRgn(left, top, right, bottom, width, height));
}

CDC::~CDC() {
    if (m_ownsMemoryDC && m_hDC) {
        // Put the DC's own objects back so that ours can be deleted by
        // their owners.
        ::SelectObject(m_hDC, m_firstBitmap);
        ::SelectObject(m_hDC, m_firstFont);
        ::SelectObject(m_hDC, m_firstBrush);
        ::SelectObject(m_hDC, m_firstPen);
        ::DeleteDC(m_hDC);
    }
}

bool CDC::CreateCompatibleDC(HDC reference) {
    if (m_hDC)
        return false;
    m_hDC = ::CreateCompatibleDC(reference);
    if (!m_hDC)
        return false;
    m_ownsMemoryDC = true;
    m_firstBitmap = ::GetCurrentObject(m_hDC, OBJ_BITMAP);
    m_firstFont = ::GetCurrentObject(m_hDC, OBJ_FONT);
    m_firstBrush = ::GetCurrentObject(m_hDC, OBJ_BRUSH);
    m_firstPen = ::GetCurrentObject(m_hDC, OBJ_PEN);
    return true;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
    return object ? ::SelectObject(m_hDC, object) : nullptr;
}

SIZE CDC::GetTextExtent(const CString& text) const {
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(m_hDC, text, text.GetLength(), &size);
    return size;
}

POINT CDC::SetViewportOrg(int x, int y) {
    POINT previous{0, 0};
    ::SetViewportOrgEx(m_hDC, x, y, &previous);
    return previous;
}

POINT CDC::GetViewportOrg() const {
    POINT origin{0, 0};
    ::GetViewportOrgEx(m_hDC, &origin);
    return origin;
}

CPaintDC::CPaintDC(HWND window) : m_window(window) {
    m_hDC = ::BeginPaint(window, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_window, &m_ps);
    m_hDC = nullptr;
}

CClientDC::CClientDC(HWND window) : m_window(window) {
    m_hDC = ::GetDC(window);
}

CClientDC::~CClientDC() {
    if (m_hDC)
        ::ReleaseDC(m_window, m_hDC);
    m_hDC = nullptr;
}
