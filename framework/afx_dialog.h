// CDialog: a window made from a dialog template. Modal dialogs run their own
// message loop (DoModal) that offers every message to PreTranslateMessage
// first, so controls can relay mouse messages (tooltips) and dialogs get
// their keyboard handling; modeless child dialogs come from Create.
#pragma once
#include "framework/afx_wnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr)
        : m_templateId(templateId), m_pParentWnd(parent) {}
    ~CDialog() override;

    virtual INT_PTR DoModal();
    // Creates the dialog as a modeless window (a child, for page templates).
    bool Create(UINT templateId, CWnd* parent);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    // Called by the modal loop while no message waits, with the count of
    // calls since the last message: a small piece of deferred work per call,
    // TRUE while more remains (the framework's idle processing).
    virtual BOOL OnIdle(LONG /*count*/) { return FALSE; }
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* /*dx*/) {}
    // Runs the data exchange; nothing in it validates, so it cannot fail.
    void UpdateData(bool saveAndValidate = true);

    BOOL PreTranslateMessage(MSG* message) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Used while the window is being created (see the creation hook).
    bool BindWindow(HWND window);

    UINT m_templateId;
    CWnd* m_pParentWnd;

protected:
    // Enter on a focused, visible and enabled push button of this dialog
    // presses it. The dialog manager hands Enter on an owner-drawn button to
    // the dialog as IDOK instead; dialogs that take IDOK for nothing else call
    // this. FALSE when the focus is not on such a button.
    BOOL PressFocusedButton();

    // Our dialog procedure only starts the binding; after WM_INITDIALOG
    // every message goes through WindowProc.
    static INT_PTR CALLBACK StartupDialogProc(HWND window, UINT message, WPARAM w, LPARAM l);
    void PostNcDestroy() override;

private:
    HWND ModalOwner() const;
    void RunModalLoop();

    bool m_modal = false;
    bool m_modalDone = false;
    INT_PTR m_modalResult = -1;
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

// Binds dialog item id to control (subclassing it) the first time it runs.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Moves a dialog item's text into value (saving) or value into it.
void DDX_Text(CDataExchange* dx, int id, CString& value);
