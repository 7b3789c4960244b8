// WizardPage: base of the wizard's pages (and of the action popup). The host
// talks to a page only through the seven operations below.
#pragma once
#include "framework/afx.h"
#include "skin/control_table.h"

#include <vector>

class WizardHostDialog;

class WizardPage : public CDialog {
public:
    explicit WizardPage(UINT templateId, CWnd* parent = nullptr);

    // Right after the page's window was created; FALSE aborts the activation.
    virtual BOOL OnPageCreate() { return TRUE; }
    // Just before the page's window is destroyed.
    virtual void OnPageDestroy() {}
    // Before the page is hidden or destroyed; FALSE keeps it where it is.
    virtual BOOL OnKillActive() { return TRUE; }
    // After the page has been placed and shown.
    virtual void OnSetActive() {}
    // When the wizard is being cancelled; FALSE vetoes closing.
    virtual BOOL OnQueryCancel() { return TRUE; }
    // 0 = the neighbour in the list, -1 = stay, other = that page id.
    virtual int GetBackPageId() { return 0; }
    virtual int GetNextPageId() { return 0; }

    // Whether the host may build this page while the user reads the page
    // before it: pages whose window does nothing but show its skin.
    virtual bool BuildsAhead() const { return false; }
    // Once every control of m_controls has its skin: at once in
    // OnInitDialog, or at the end of a build ahead.
    virtual void OnControlsSkinned() {}

    // Also makes the page part of its host's tab order and loads the skin
    // of every control in m_controls (a build ahead leaves that for later).
    BOOL OnInitDialog() override;

    // Building ahead, in pieces that each fit between two of the user's
    // inputs: CreateAhead makes the hidden window without its skin,
    // LoadNextSkinAhead configures one more control (TRUE while more remain).
    // Problems are kept, not shown, until FinishBuilding, which the host
    // calls when the page is first shown: it tells them, then loads what is
    // left, so the user meets the same messages at the same moment as when
    // the page is built there and then.
    bool CreateAhead(WizardHostDialog* host);
    bool LoadNextSkinAhead();
    void FinishBuilding();
    // The host tried to build this page ahead and its window could not be
    // made: the page is left to its first showing.
    bool AheadFailed() const { return m_aheadFailed; }
    // The window exists and every control has its skin.
    bool Built() const { return m_hWnd != nullptr && m_controlsSkinned; }
    // Binds every control in m_controls.
    void DoDataExchange(CDataExchange* dx) override;
    // Tab and Shift+Tab go to the host, so that they walk on from the
    // page's last control to the main window's buttons and round again.
    BOOL PreTranslateMessage(MSG* message) override;
    // A cancel command (Escape) that reaches a page never ends the page's
    // dialog: it asks the host to cancel the wizard, as Escape at the main
    // window does. A page without a host (the action popup) ignores it.
    void OnCancel() override;
    // Nor does Enter (command IDOK): ending a page's dialog would only hide
    // it and leave the wizard empty. Enter on a focused button presses it.
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT nCtlColor) override;

    // Posts WM_WIZARD_NAVIGATE to the page's parent, the main window.
    void NavigateWizard(WPARAM how);
    // Sends WM_WIZARD_WRITING to the main window: it knows of the write
    // before the page goes on.
    void TellWizardWriting(WPARAM state);
    // Puts these controls first in the tab order, which is the z-order, in
    // the order given. The skin loaders lift each button to the top as they
    // load it; a page calls this once its skin is loaded.
    void SetTabOrder(const std::vector<int>& ids);
    // Names a field or list after its skinned label for screen readers:
    // the system looks for a label only right before the control in the
    // tab order, where the skin's labels are not.
    static void NameAfterLabel(CWnd& control, const CWnd& label, long role);

    // The page's controls, filled by the page's constructor.
    ControlTable m_controls;
    CBrush m_brush;
    WizardHostDialog* m_host = nullptr;
    BOOL m_created = FALSE;
    BOOL m_active = FALSE;
    int m_pageId;

private:
    // Loads the next control's skin; false once every one has it.
    bool LoadNextSkin();

    size_t m_skinned = 0;
    bool m_controlsSkinned = false;
    bool m_deferSkins = false;
    bool m_aheadFailed = false;
    std::vector<CString> m_heldReports;
};

// The colour answer of a window for a control of one of the kinds its
// template holds (static, edit, list box, button, scroll bar): text and
// background colour set on dc; brush, whatever the kind.
HBRUSH ColourControl(CDC* dc, UINT nCtlColor, COLORREF text, COLORREF back, HBRUSH brush);
