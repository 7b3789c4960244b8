// CHoverButtonEx: a push button whose face is one third of a three-image
// bitmap strip (normal, pressed, hover). It draws its window text over the
// image in a skin colour and font, lights up while the mouse rests on it,
// shifts its text while pressed and shows a tooltip. Clicks reach the parent
// as the ordinary BN_CLICKED.
#pragma once
#include <windows.h>

#include <optional>

#include "framework/afx_handle.h"
#include "framework/afx_controls.h"

class CHoverButtonEx : public CBitmapButton {
public:
    // The class name the button answers to at run time.
    static constexpr const char* kClassName = "CHoverButtonEx";
    const char* GetRuntimeClassName() const { return kClassName; }

    CHoverButtonEx() = default;
    ~CHoverButtonEx() override;

    // Owner-draw and transparent; takes over the template's font.
    void PreSubclassWindow() override;
    // Relays mouse messages to the tooltip.
    BOOL PreTranslateMessage(MSG* message) override;
    void DrawItem(LPDRAWITEMSTRUCT item) override;

    // Reads the strip and sizes the button to one state image (a third of
    // the strip, remainder dropped). FALSE and nothing changed when the file
    // cannot be read; TRUE but no strip when the system refused its pixels.
    BOOL LoadButtonBitmap(const CString& path);
    void SetTextColors(COLORREF active, COLORREF normal);
    void SetClickOffset(int dx, int dy);
    void SetFontWeight(int weight);
    void SetFontUnderline(BYTE underline);
    void SetFontItalic(BYTE italic);
    void SetFontPointSize(int points);
    void SetFontExtent(int width, int height);
    void SetFontName(const CString& name, BYTE charset);
    // Null text: nothing. Otherwise tool 1 is added once and its text set.
    void SetToolTipText(const CString* text, BOOL activate);

    // Size of one state image; empty until a strip is loaded (and after the
    // system refused a strip's pixels): the button is then neither sized
    // nor drawn.
    std::optional<SIZE> GetStateImageSize() const { return m_stateSize; }
    bool IsHovering() const { return m_hover != 0; }
    const LOGFONTA& GetFontDescription() const { return m_logFont; }
    CToolTipCtrl& GetToolTip() { return m_toolTip; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A push button named by its text on one line; a button whose face is
    // only a picture by its tool tip.
    bool GetAccessibleLabel(AccessibleLabel* label) const override;

private:
    void OnMouseMove();
    void OnMouseLeave();
    void OnMouseHover();

    void RebuildFont();
    void FontChanged();
    void EnsureToolTip();

    int m_hover = 0;
    std::optional<SIZE> m_stateSize;
    int m_tracking = 0;
    UniqueBitmap m_strip;
    CFont m_font;
    LOGFONTA m_logFont{};
    COLORREF m_activeColor = 0;
    COLORREF m_normalColor = 0;
    int m_clickOffsetX = 2;
    int m_clickOffsetY = 2;
    CToolTipCtrl m_toolTip;
    CString m_toolTipText;
};
