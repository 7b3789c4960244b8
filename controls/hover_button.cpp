#include "controls/hover_button.h"

#include <commctrl.h>

#include "controls/font_fields.h"
#include "controls/read_bitmap_file.h"

namespace {

constexpr UINT kToolId = 1;
// Hover is reported almost at once: the button lights up as soon as the
// mouse is over it.
constexpr DWORD kHoverTimeMs = 1;
// The focus cue: a dotted rectangle this far inside the button's edge, clear
// of the rounded corners of the skin's strips.
constexpr int kFocusInset = 3;

int CountLines(const CString& text) {
    int lines = 1;
    for (int at = text.Find("\r\n"); at >= 0; at = text.Find("\r\n", at + 2))
        ++lines;
    return lines;
}

} // namespace

CHoverButtonEx::~CHoverButtonEx() = default;

void CHoverButtonEx::PreSubclassWindow() {
    CBitmapButton::PreSubclassWindow();
    ModifyStyle(0, BS_OWNERDRAW);
    ModifyStyleEx(0, WS_EX_TRANSPARENT);
    HFONT current = GetFont();
    if (!current)
        current = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    ::GetObjectA(current, sizeof(LOGFONTA), &m_logFont);
    RebuildFont();
}

BOOL CHoverButtonEx::PreTranslateMessage(MSG* message) {
    EnsureToolTip();
    if (m_toolTip.m_hWnd)
        m_toolTip.RelayEvent(message);
    return CBitmapButton::PreTranslateMessage(message);
}

void CHoverButtonEx::EnsureToolTip() {
    if (m_toolTip.m_hWnd || !m_hWnd)
        return;
    // Silent until SetToolTipText activates it.
    if (m_toolTip.Create(this, 0))
        m_toolTip.Activate(false);
}

void CHoverButtonEx::SetToolTipText(const CString* text, BOOL activate) {
    if (!text)
        return;
    m_toolTipText = *text;
    EnsureToolTip();
    if (!m_toolTip.m_hWnd)
        return;
    if (m_toolTip.GetToolCount() == 0) {
        RECT client{};
        GetClientRect(&client);
        m_toolTip.AddTool(this, *text, &client, kToolId);
    }
    m_toolTip.UpdateTipText(*text, this, kToolId);
    m_toolTip.SendMessage(TTM_ACTIVATE, activate ? TRUE : FALSE);
}

BOOL CHoverButtonEx::LoadButtonBitmap(const CString& path) {
    BitmapFileRead read = ReadBitmapFile(path);
    if (!read.ok)
        return FALSE;
    m_strip = std::move(read.bitmap);
    m_stateSize.reset();
    BITMAP metrics{};
    if (m_strip && ::GetObjectA(m_strip.Get(), sizeof metrics, &metrics))
        m_stateSize = SIZE{metrics.bmWidth / 3, metrics.bmHeight};
    if (m_stateSize && m_hWnd) {
        // No SWP_NOZORDER: the button also comes to the top of its siblings,
        // above the page's background picture.
        SetWindowPos(nullptr, 0, 0, m_stateSize->cx, m_stateSize->cy,
                     SWP_NOMOVE | SWP_NOOWNERZORDER);
    }
    return TRUE;
}

void CHoverButtonEx::SetTextColors(COLORREF active, COLORREF normal) {
    m_activeColor = active;
    m_normalColor = normal;
}

void CHoverButtonEx::SetClickOffset(int dx, int dy) {
    m_clickOffsetX = dx;
    m_clickOffsetY = dy;
}

void CHoverButtonEx::RebuildFont() {
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&m_logFont);
}

void CHoverButtonEx::FontChanged() {
    RebuildFont();
    RedrawWithParent(this);
}

void CHoverButtonEx::SetFontWeight(int weight) {
    m_logFont.lfWeight = weight;
    FontChanged();
}

void CHoverButtonEx::SetFontUnderline(BYTE underline) {
    m_logFont.lfUnderline = underline;
    FontChanged();
}

void CHoverButtonEx::SetFontItalic(BYTE italic) {
    m_logFont.lfItalic = italic;
    FontChanged();
}

void CHoverButtonEx::SetFontPointSize(int points) {
    SetPointSize(m_logFont, points);
    FontChanged();
}

void CHoverButtonEx::SetFontExtent(int width, int height) {
    m_logFont.lfWidth = width;
    m_logFont.lfHeight = height;
    FontChanged();
}

void CHoverButtonEx::SetFontName(const CString& name, BYTE charset) {
    m_logFont.lfCharSet = charset;
    CopyFaceName(m_logFont.lfFaceName, name);
    FontChanged();
}

LRESULT CHoverButtonEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        OnMouseMove();
        return Default();
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_MOUSEHOVER:
        OnMouseHover();
        return 0;
    default:
        return CBitmapButton::WindowProc(message, wParam, lParam);
    }
}

bool CHoverButtonEx::GetAccessibleLabel(AccessibleLabel* label) const {
    CString name = GetWindowText();
    name.Replace("\r\n", " ");
    if (name.IsEmpty())
        name = m_toolTipText;
    label->name = WideFromAnsi(name.GetString());
    label->role = ROLE_SYSTEM_PUSHBUTTON;
    return !label->name.empty();
}

void CHoverButtonEx::OnMouseMove() {
    if (m_tracking)
        return;
    TRACKMOUSEEVENT request{};
    request.cbSize = sizeof request;
    request.dwFlags = TME_HOVER | TME_LEAVE;
    request.hwndTrack = m_hWnd;
    request.dwHoverTime = kHoverTimeMs;
    // A failed request leaves the flag 0 and is repeated on the next move.
    m_tracking = ::_TrackMouseEvent(&request) ? 1 : 0;
}

void CHoverButtonEx::OnMouseLeave() {
    m_tracking = 0;
    m_hover = 0;
    Invalidate(true);
}

void CHoverButtonEx::OnMouseHover() {
    m_hover = 1;
    Invalidate(true);
}

void CHoverButtonEx::DrawItem(LPDRAWITEMSTRUCT item) {
    if (!m_stateSize || !m_strip)
        return;
    const int width = m_stateSize->cx;
    const int height = m_stateSize->cy;

    CDC memory;
    if (!memory.CreateCompatibleDC(item->hDC))
        return;
    memory.SelectObject(m_font);

    const CString text = GetWindowText();
    const int lineHeight = memory.GetTextExtent(text).cy;
    const int blockHeight = CountLines(text) * lineHeight;
    const int top = blockHeight < height ? (height - blockHeight) / 2 : 0;

    memory.SelectObject(m_strip.Get());
    memory.SetBkMode(TRANSPARENT);

    int sourceX = 0;
    RECT textRect{0, top, width, height + top};
    COLORREF colour = m_normalColor;
    if (item->itemState & ODS_SELECTED) {
        colour = m_activeColor;
        sourceX = width;
        // Only the text moves while pressed; the image stays where it is.
        textRect = RECT{width + m_clickOffsetX, top + m_clickOffsetY, 2 * width + m_clickOffsetX,
                        height + top + m_clickOffsetY};
    } else if (m_hover) {
        colour = m_activeColor;
        sourceX = 2 * width;
        textRect = RECT{2 * width, top, 3 * width, height + top};
    }
    memory.SetTextColor(colour);
    // Drawn into the strip itself, then the chosen third is copied out.
    memory.DrawText(text, &textRect, DT_CENTER);
    ::BitBlt(item->hDC, 0, 0, width, height, memory, sourceX, 0, SRCCOPY);

    // A keyboard user sees which button Space or Enter would press; the
    // system leaves the cue out while keyboard cues are hidden.
    if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT)) {
        RECT cue{kFocusInset, kFocusInset, width - kFocusInset, height - kFocusInset};
        if (cue.left < cue.right && cue.top < cue.bottom)
            ::DrawFocusRect(item->hDC, &cue);
    }
}
