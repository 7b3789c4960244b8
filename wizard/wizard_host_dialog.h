// WizardHostDialog: keeps the ordered list of pages, shows one at a time at
// a placeholder control, moves Back and Next through the list, asks the
// pages before the wizard is cancelled, and lets the user drag the window
// by its free surface.
#pragma once
#include "wizard/wizard_page.h"

class WizardHostDialog : public CDialog {
public:
    explicit WizardHostDialog(UINT templateId, CWnd* parent = nullptr)
        : CDialog(templateId, parent) {}

    void AddPage(WizardPage* page, int id);
    void SetPlaceholderId(int id) { m_placeholderId = id; }

    BOOL ActivatePage(WizardPage* page);
    BOOL HideCurrentPage();
    BOOL DestroyPage(WizardPage* page);
    BOOL ActivateFirstPage();

    WizardPage* GetCurrentPage() const;
    WizardPage* FindPageById(int id) const;
    int GetPageIndex(const WizardPage* page) const;
    int GetCurrentPageIndex() const;

    virtual void OnBack();
    virtual void OnNext();

    BOOL OnInitDialog() override;
    // While the user reads the current page, the next page in the list is
    // built, a piece per call, so that Next only has to show it.
    BOOL OnIdle(LONG count) override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange*) override {}
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT nCtlColor) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CPtrList m_pageList{10};
    int m_placeholderId = 0;
    BOOL m_initialised = FALSE;
    CBrush m_backgroundBrush;

protected:
    void OnLButtonDown(LPARAM point);
    void OnDestroy();

private:
    WizardPage* PageAt(int index) const;
    // The page that Back (step -1) or Next (step +1) leads to, or null.
    WizardPage* NeighbourTarget(int step, int answer) const;
};
