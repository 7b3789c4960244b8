#include "app/wizard_page.h"

#include "app/wizard_messages.h"

WizardPage::WizardPage(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_pageId(static_cast<int>(templateId)) {}

BOOL WizardPage::OnInitDialog() {
    CDialog::OnInitDialog();
    m_brush.DeleteObject();
    m_brush.CreateSolidBrush(RGB(255, 255, 255));
    return TRUE;
}

BOOL WizardPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDOK) {
        PressFocusedButton();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

HBRUSH WizardPage::OnCtlColor(CDC* dc, CWnd* /*control*/, UINT nCtlColor) {
    switch (nCtlColor) {
    case CTLCOLOR_STATIC:
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX:
    case CTLCOLOR_BTN:
    case CTLCOLOR_SCROLLBAR:
        dc->SetTextColor(RGB(0, 0, 0));
        dc->SetBkColor(RGB(255, 255, 255));
        break;
    default:
        break;
    }
    return m_brush;
}

void WizardPage::NavigateWizard(WPARAM how) {
    if (HWND parent = ::GetParent(m_hWnd))
        ::PostMessageA(parent, WM_WIZARD_NAVIGATE, how, 0);
}
