#include "controls/skinned_label.h"

#include <shellapi.h>

#include "controls/font_fields.h"

namespace {

void ShellExecuteOpen(const char* verb, const char* target) {
    ::ShellExecuteA(nullptr, verb, target, nullptr, nullptr, SW_SHOWNORMAL);
}

SkinnedLabel::ShellOpen g_shellOpen = &ShellExecuteOpen;

UniqueBrush MakeSolidBrush(COLORREF colour) {
    return UniqueBrush(::CreateSolidBrush(colour));
}

} // namespace

SkinnedLabel::SkinnedLabel()
    : m_textColor(::GetSysColor(COLOR_WINDOWTEXT)),
      m_defaultBrush(MakeSolidBrush(::GetSysColor(COLOR_BTNFACE))) {}

SkinnedLabel::~SkinnedLabel() = default;

SkinnedLabel::ShellOpen SkinnedLabel::SetShellOpen(ShellOpen open) {
    ShellOpen previous = g_shellOpen;
    g_shellOpen = open ? open : &ShellExecuteOpen;
    return previous;
}

void SkinnedLabel::PreSubclassWindow() {
    CStatic::PreSubclassWindow();
    HFONT current = GetFont();
    if (!current)
        current = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    ::GetObjectA(current, sizeof(LOGFONTA), &m_logFont);
    RebuildFont();
}

void SkinnedLabel::RebuildFont() {
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&m_logFont);
}

SkinnedLabel& SkinnedLabel::SetBkColor(COLORREF bk, COLORREF bkEnd, int gradient) {
    m_bkColor = bk;
    m_bkEndColor = bkEnd;
    m_gradient = gradient;
    m_bkBrush.Reset();
    if (gradient == 0)
        m_bkBrush = MakeSolidBrush(bk);
    RedrawWithParent(this);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetTextColor(COLORREF colour) {
    m_textColor = colour;
    RedrawWithParent(this);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetText(const CString& text) {
    // Without a window the text is not kept for later.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        SetWindowText(text);
        RedrawWithParent(this);
    }
    return *this;
}

SkinnedLabel& SkinnedLabel::FontChanged() {
    RebuildFont();
    RedrawWithParent(this);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetFontWeight(int weight) {
    m_logFont.lfWeight = weight;
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetFontName(const CString& name, BYTE charset) {
    m_logFont.lfCharSet = charset;
    CopyFaceName(m_logFont.lfFaceName, name);
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetFontUnderline(BYTE underline) {
    m_logFont.lfUnderline = underline;
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetFontItalic(BYTE italic) {
    m_logFont.lfItalic = italic;
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetFontExtent(int width, int height) {
    m_logFont.lfWidth = width;
    m_logFont.lfHeight = height;
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetFontPointSize(int points) {
    SetPointSize(m_logFont, points);
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetSunken(BOOL sunken) {
    if (m_hWnd)
        ModifyStyleEx(sunken ? 0 : WS_EX_STATICEDGE, sunken ? WS_EX_STATICEDGE : 0, SWP_DRAWFRAME);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetBorder(BOOL border) {
    if (m_hWnd)
        ModifyStyle(border ? 0 : WS_BORDER, border ? WS_BORDER : 0, SWP_DRAWFRAME);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetTransparent(BOOL transparent) {
    m_transparent = transparent;
    // Added either way: it lets the siblings beneath paint first.
    if (m_hWnd)
        ModifyStyleEx(0, WS_EX_TRANSPARENT);
    RedrawWithParent(this);
    return *this;
}

void SkinnedLabel::StartFlashTimer() {
    // A timer without a window would be a thread timer nobody stops.
    if (m_hWnd)
        SetTimer(kFlashTimerId, kFlashIntervalMs);
}

void SkinnedLabel::StopFlashTimer() {
    if (m_flashTimerStarted && m_hWnd)
        KillTimer(kFlashTimerId);
}

void SkinnedLabel::BeginFlashing(int kind) {
    m_flashPhase = 0;
    m_flashTimerStarted = 1;
    StartFlashTimer();
    m_flashKind = kind;
}

SkinnedLabel& SkinnedLabel::FlashText(BOOL flash) {
    StopFlashTimer();
    if (flash)
        BeginFlashing(kFlashText);
    else
        m_flashKind = kNoFlash;
    return *this;
}

SkinnedLabel& SkinnedLabel::FlashBackground(BOOL flash) {
    // Turning it off stops the timer but leaves the kind as it was.
    StopFlashTimer();
    if (flash)
        BeginFlashing(kFlashBackground);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetLinkKind(int kind, BOOL notify) {
    m_linkKind = kind;
    m_notify = notify;
    // Only a static with SS_NOTIFY gets mouse clicks.
    if (m_hWnd)
        ModifyStyle(kind ? 0 : SS_NOTIFY, kind ? SS_NOTIFY : 0);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetLink(BOOL link, BOOL notify) {
    return SetLinkKind(link ? kWebLink : kNoLink, notify);
}

SkinnedLabel& SkinnedLabel::SetLinkCursor(HCURSOR cursor) {
    m_linkCursor = cursor;
    return *this;
}

SkinnedLabel& SkinnedLabel::SetText3D(BOOL on, int direction) {
    m_text3D = on;
    m_offsetDirection = direction;
    RedrawWithParent(this);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetRotationAngle(int degrees, BOOL rotate) {
    m_logFont.lfEscapement = degrees * 10;
    m_logFont.lfOrientation = degrees * 10;
    m_rotate = rotate;
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetText3DHiliteColor(COLORREF colour) {
    m_hiliteColor = colour;
    RedrawWithParent(this);
    return *this;
}

SkinnedLabel& SkinnedLabel::SetFontDescription(LOGFONTA description) {
    m_logFont = description;
    return FontChanged();
}

SkinnedLabel& SkinnedLabel::SetMailLink(BOOL mail, BOOL notify) {
    return SetLinkKind(mail ? kMailLink : kNoLink, notify);
}

SkinnedLabel& SkinnedLabel::SetLinkURL(const CString& target) {
    m_linkTarget = target;
    return *this;
}

LRESULT SkinnedLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        OnTimer();
        return Default();
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        return Default();
    case WM_SETCURSOR:
        return OnSetCursor();
    case WM_SYSCOLORCHANGE:
        OnSysColorChange();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        // Painting covers the background itself (or leaves it, transparent).
        return TRUE;
    default:
        return CStatic::WindowProc(message, wParam, lParam);
    }
}

void SkinnedLabel::OnTimer() {
    m_flashPhase = !m_flashPhase;
    RedrawWithParent(this);
}

void SkinnedLabel::OnLButtonDown() {
    if (m_notify) {
        NMHDR header{};
        header.hwndFrom = m_hWnd;
        header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        header.code = kClickNotifyCode;
        ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, header.idFrom,
                       reinterpret_cast<LPARAM>(&header));
        return;
    }
    if (m_linkKind == kWebLink) {
        const CString target = m_linkTarget.IsEmpty() ? GetWindowText() : m_linkTarget;
        g_shellOpen("open", target);
    } else if (m_linkKind == kMailLink) {
        const CString target = CString("mailto:") + GetWindowText();
        g_shellOpen(nullptr, target);
    }
}

BOOL SkinnedLabel::OnSetCursor() {
    if (m_linkCursor) {
        ::SetCursor(m_linkCursor);
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void SkinnedLabel::OnSysColorChange() {
    m_defaultBrush = MakeSolidBrush(::GetSysColor(COLOR_BTNFACE));
    RedrawWithParent(this);
}

void SkinnedLabel::OnPaint() {
    CPaintDC paint(m_hWnd);
    RECT client{};
    GetClientRect(&client);
    if (m_transparent) {
        Paint(paint, client);
        return;
    }
    // Double-buffered: background and text reach the screen in one copy.
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    CBitmap buffer;
    CDC memory;
    if (!buffer.CreateCompatibleBitmap(paint, width, height) || !memory.CreateCompatibleDC(paint))
        return;
    memory.SelectObject(buffer);
    Paint(memory, client);
    ::BitBlt(paint, 0, 0, width, height, memory, 0, 0, SRCCOPY);
}

UINT SkinnedLabel::TextFormat(const CString& text) const {
    const DWORD style = GetStyle();
    UINT format = 0;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format = DT_CENTER | DT_WORDBREAK;
        break;
    case SS_RIGHT:
        format = DT_RIGHT | DT_WORDBREAK;
        break;
    case SS_LEFTNOWORDWRAP:
        format = 0;
        break;
    default:
        format = DT_WORDBREAK;
        break;
    }
    if (text.Find('\t') >= 0)
        format |= DT_EXPANDTABS;
    if (style & SS_CENTERIMAGE)
        format = text.Find("\r\n") >= 0 ? DT_CENTER : DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    return format;
}

COLORREF SkinnedLabel::FlashTextColour() const {
    LOGBRUSH brush{};
    if (m_bkBrush && ::GetObjectA(m_bkBrush.Get(), sizeof brush, &brush))
        return brush.lbColor;
    return RGB(0, 0, 0);
}

void SkinnedLabel::Paint(HDC target, const RECT& client) {
    CDC dc(target);
    const CString text = GetWindowText();
    const int previousMode = dc.SetBkMode(TRANSPARENT);
    const COLORREF previousColour = dc.SetTextColor(m_textColor);
    const HGDIOBJ previousFont = dc.SelectObject(m_font);

    if (!m_transparent) {
        if (m_gradient == 0) {
            RECT area = client;
            dc.FillRect(&area, m_bkBrush ? m_bkBrush.Get() : m_defaultBrush.Get());
        } else {
            DrawGradient(dc, client, m_bkColor, m_bkEndColor, 100);
        }
    }
    if (m_flashPhase == 0 && m_flashKind == kFlashText)
        dc.SetTextColor(FlashTextColour());

    if (m_rotate) {
        // The rotated baseline starts at the centre of the label.
        const UINT previousAlign = dc.SetTextAlign(TA_BASELINE);
        const POINT origin = dc.GetViewportOrg();
        dc.SetViewportOrg((client.right - client.left) / 2, (client.bottom - client.top) / 2);
        dc.TextOut(0, 0, text);
        dc.SetViewportOrg(origin.x, origin.y);
        dc.SetTextAlign(previousAlign);
    } else {
        const UINT format = TextFormat(text);
        RECT area = client;
        dc.DrawText(text, &area, format);
        if (m_text3D) {
            dc.SetTextColor(m_hiliteColor);
            const int shift = m_offsetDirection == 0 ? -1 : 1;
            area = client;
            ::OffsetRect(&area, shift, shift);
            dc.DrawText(text, &area, format);
        }
    }

    dc.SetBkMode(previousMode);
    if (previousFont)
        dc.SelectObject(previousFont);
    dc.SetTextColor(previousColour);
}

void SkinnedLabel::DrawGradient(HDC dc, const RECT& rect, COLORREF start, COLORREF end, int bands) {
    const int width = rect.right - rect.left;
    if (width <= 0)
        return;
    const int count = bands < width ? bands : width;
    const int divisor = count > 1 ? count : 1;

    // Running colour in 8.8 fixed point, so that small steps add up.
    const int startRed = GetRValue(start), startGreen = GetGValue(start),
              startBlue = GetBValue(start);
    const int stepRed = ((GetRValue(end) - startRed) * 256) / divisor;
    const int stepGreen = ((GetGValue(end) - startGreen) * 256) / divisor;
    const int stepBlue = ((GetBValue(end) - startBlue) * 256) / divisor;
    int red = startRed * 256, green = startGreen * 256, blue = startBlue * 256;
    const int bandWidth = width / divisor;

    CSelectObject pen(dc, ::GetStockObject(NULL_PEN));
    int left = rect.left;
    for (int band = 0; band < count; ++band) {
        const int right = band == count - 1 ? rect.right : left + bandWidth;
        UniqueBrush brush = MakeSolidBrush(RGB(red / 256, green / 256, blue / 256));
        {
            CSelectObject selected(dc, brush.Get());
            // A pen-less Rectangle fills one pixel short on the right.
            ::Rectangle(dc, left, rect.top, right + 1, rect.bottom);
        }
        left = right;
        red += stepRed;
        green += stepGreen;
        blue += stepBlue;
    }
}
