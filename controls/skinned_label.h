// SkinnedLabel: a static text control that draws its text itself in a skin
// colour and font, double-buffered over a solid or graded background, or
// transparently over whatever lies beneath it. It can flash, draw raised or
// sunken text, rotate, and act as a web or mail link. Every setter returns
// the label so that calls can be chained.
#pragma once
#include <windows.h>

#include "framework/afx_handle.h"
#include "framework/afx_controls.h"

class SkinnedLabel : public CStatic {
public:
    enum LinkKind { kNoLink = 0, kWebLink = 1, kMailLink = 2 };
    enum FlashKind { kNoFlash = 0, kFlashText = 1, kFlashBackground = 2 };
    // The WM_NOTIFY code a notifying label sends its parent on a click.
    static constexpr UINT kClickNotifyCode = 0x8200;
    static constexpr UINT_PTR kFlashTimerId = 1;
    static constexpr UINT kFlashIntervalMs = 500;

    SkinnedLabel();
    ~SkinnedLabel() override;

    void PreSubclassWindow() override;

    virtual SkinnedLabel& SetBkColor(COLORREF bk, COLORREF bkEnd, int gradient);
    virtual SkinnedLabel& SetTextColor(COLORREF colour);
    virtual SkinnedLabel& SetText(const CString& text);
    virtual SkinnedLabel& SetFontWeight(int weight);
    virtual SkinnedLabel& SetFontName(const CString& name, BYTE charset);
    virtual SkinnedLabel& SetFontUnderline(BYTE underline);
    virtual SkinnedLabel& SetFontItalic(BYTE italic);
    virtual SkinnedLabel& SetFontExtent(int width, int height);
    virtual SkinnedLabel& SetFontPointSize(int points);
    virtual SkinnedLabel& SetSunken(BOOL sunken);
    virtual SkinnedLabel& SetBorder(BOOL border);
    virtual SkinnedLabel& SetTransparent(BOOL transparent);
    virtual SkinnedLabel& FlashText(BOOL flash);
    virtual SkinnedLabel& FlashBackground(BOOL flash);
    virtual SkinnedLabel& SetLink(BOOL link, BOOL notify);
    virtual SkinnedLabel& SetLinkCursor(HCURSOR cursor);
    virtual SkinnedLabel& SetText3D(BOOL on, int direction);
    virtual SkinnedLabel& SetRotationAngle(int degrees, BOOL rotate);
    virtual SkinnedLabel& SetText3DHiliteColor(COLORREF colour);
    virtual SkinnedLabel& SetFontDescription(LOGFONTA description);
    virtual SkinnedLabel& SetMailLink(BOOL mail, BOOL notify);
    virtual SkinnedLabel& SetLinkURL(const CString& target);

    // A horizontal gradient from start (left) to end (right) in at most
    // bands bands, one at least a pixel wide. The last pixel row of rect is
    // left as it was (the pen-less Rectangle stops one row short).
    static void DrawGradient(HDC dc, const RECT& rect, COLORREF start, COLORREF end, int bands);

    // How links are opened; replaceable so that tests open nothing.
    using ShellOpen = void (*)(const char* verb, const char* target);
    static ShellOpen SetShellOpen(ShellOpen open);

    const LOGFONTA& GetFontDescription() const { return m_logFont; }
    int GetFlashPhase() const { return m_flashPhase; }
    HBRUSH GetBackgroundBrush() const { return m_bkBrush.Get(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnTimer();
    void OnLButtonDown();
    BOOL OnSetCursor();
    void OnSysColorChange();
    void OnPaint();

    void RebuildFont();
    // Rebuilds the font from m_logFont and repaints with what lies beneath.
    SkinnedLabel& FontChanged();
    void Paint(HDC target, const RECT& client);
    UINT TextFormat(const CString& text) const;
    COLORREF FlashTextColour() const;
    SkinnedLabel& SetLinkKind(int kind, BOOL notify);
    void StartFlashTimer();
    void StopFlashTimer();
    void BeginFlashing(int kind);

    COLORREF m_textColor;
    COLORREF m_hiliteColor = RGB(255, 255, 255);
    UniqueBrush m_defaultBrush;
    UniqueBrush m_bkBrush;
    LOGFONTA m_logFont{};
    CFont m_font;
    int m_flashPhase = 0;
    int m_flashTimerStarted = 0;
    int m_linkKind = kNoLink;
    int m_transparent = 0;
    int m_text3D = 0;
    int m_notify = 0;
    int m_rotate = 0;
    int m_flashKind = kNoFlash;
    HCURSOR m_linkCursor = nullptr; // shared cursor, not ours to destroy
    int m_offsetDirection = 0;
    int m_gradient = 0;
    COLORREF m_bkEndColor = 0;
    COLORREF m_bkColor = 0;
    CString m_linkTarget;
};
