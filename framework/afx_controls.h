// Control wrappers: each holds the HWND and little else; each method sends
// one message or calls one API.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include "framework/afx_wnd.h"

// Statics and buttons draw themselves when owner-drawn (DrawItem).
class COwnerDrawControl : public CWnd {
public:
    virtual void DrawItem(LPDRAWITEMSTRUCT /*item*/) {}
    bool OnDrawItemReflected(LPDRAWITEMSTRUCT item) override {
        DrawItem(item);
        return true;
    }
};

class CStatic : public COwnerDrawControl {};

class CButton : public COwnerDrawControl {};

// A button that draws itself from up to four bitmaps (normal, selected,
// focused, disabled); the bitmaps belong to the button.
class CBitmapButton : public CButton {
public:
    void PreSubclassWindow() override;
    void DrawItem(LPDRAWITEMSTRUCT item) override;

    CBitmap m_bitmap;
    CBitmap m_bitmapSel;
    CBitmap m_bitmapFocus;
    CBitmap m_bitmapDisabled;
};

class CComboBox : public CWnd {
public:
    int AddString(const char* text) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, index)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    void GetLBText(int index, CString& text) const;
};

class CEdit : public CWnd {};

class CIPAddressCtrl : public CWnd {
public:
    bool IsBlank() const { return SendMessage(IPM_ISBLANK) != 0; }
    // Returns the number of fields that are not blank.
    int GetAddress(BYTE& f0, BYTE& f1, BYTE& f2, BYTE& f3) const;
    void SetAddress(BYTE f0, BYTE f1, BYTE f2, BYTE f3) {
        SendMessage(IPM_SETADDRESS, 0, MAKEIPADDRESS(f0, f1, f2, f3));
    }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short low, short high) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(low, high)); }
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, position)); }
};

// A tooltip window owned by this object (destroyed with it).
class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override;
    bool Create(CWnd* parent, DWORD style = 0);
    bool AddTool(CWnd* window, const char* text, const RECT* rect, UINT id);
    void UpdateTipText(const char* text, CWnd* window, UINT id);
    void Activate(bool activate) { SendMessage(TTM_ACTIVATE, activate ? TRUE : FALSE); }
    void RelayEvent(MSG* message) {
        SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
    }
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
};
