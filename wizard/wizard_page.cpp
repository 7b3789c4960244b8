#include "wizard/wizard_page.h"

#include "skin/skin_entries.h"
#include "skin/skin_settings.h"
#include "wizard/wizard_host_dialog.h"
#include "wizard/wizard_messages.h"

WizardPage::WizardPage(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_pageId(static_cast<int>(templateId)) {}

BOOL WizardPage::OnInitDialog() {
    CDialog::OnInitDialog();
    // The host's Tab walk enters the page's controls.
    ModifyStyleEx(0, WS_EX_CONTROLPARENT);
    m_brush.DeleteObject();
    m_brush.CreateSolidBrush(RGB(255, 255, 255));
    m_skinned = 0;
    m_controlsSkinned = false;
    if (m_deferSkins) {
        // FALSE: the system must not give the keyboard focus to a page the
        // user does not see yet.
        return FALSE;
    }
    while (LoadNextSkin()) {
    }
    return TRUE;
}

bool WizardPage::LoadNextSkin() {
    if (m_skinned < m_controls.size())
        LoadControlSkin(TheSkin(), m_controls[m_skinned++]);
    if (m_skinned < m_controls.size())
        return true;
    if (!m_controlsSkinned) {
        m_controlsSkinned = true;
        OnControlsSkinned();
    }
    return false;
}

namespace {
// Where the skin's problems go while a page is built ahead.
std::vector<CString>* g_heldReports = nullptr;
void HoldReport(const char* message) {
    g_heldReports->emplace_back(message);
}
} // namespace

bool WizardPage::CreateAhead(WizardHostDialog* host) {
    m_deferSkins = true;
    const bool created = Create(static_cast<UINT>(m_pageId), host);
    m_deferSkins = false;
    m_aheadFailed = !created;
    if (created)
        m_host = host;
    return created;
}

bool WizardPage::LoadNextSkinAhead() {
    g_heldReports = &m_heldReports;
    const SkinReporter told = SetSkinReporter(&HoldReport);
    const bool more = LoadNextSkin();
    SetSkinReporter(told);
    g_heldReports = nullptr;
    return more;
}

void WizardPage::FinishBuilding() {
    std::vector<CString> held;
    held.swap(m_heldReports);
    for (const CString& message : held)
        ReportSkinProblem(message);
    while (LoadNextSkin()) {
    }
}

void WizardPage::DoDataExchange(CDataExchange* dx) {
    BindControls(dx, m_controls);
}

BOOL WizardPage::PreTranslateMessage(MSG* message) {
    // Enter and Escape stay with the page; only the walk belongs to the host.
    if (message->message == WM_KEYDOWN && message->wParam == VK_TAB && m_host && m_host->m_hWnd)
        return ::IsDialogMessageA(m_host->m_hWnd, message);
    return CDialog::PreTranslateMessage(message);
}

void WizardPage::OnCancel() {
    if (m_host && m_host->m_hWnd)
        m_host->OnCancel();
}

BOOL WizardPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDOK) {
        PressFocusedButton();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

HBRUSH ColourControl(CDC* dc, UINT nCtlColor, COLORREF text, COLORREF back, HBRUSH brush) {
    switch (nCtlColor) {
    case CTLCOLOR_STATIC:
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX:
    case CTLCOLOR_BTN:
    case CTLCOLOR_SCROLLBAR:
        dc->SetTextColor(text);
        dc->SetBkColor(back);
        break;
    default:
        break;
    }
    return brush;
}

HBRUSH WizardPage::OnCtlColor(CDC* dc, CWnd* /*control*/, UINT nCtlColor) {
    return ColourControl(dc, nCtlColor, RGB(0, 0, 0), RGB(255, 255, 255), m_brush);
}

void WizardPage::SetTabOrder(const std::vector<int>& ids) {
    HWND after = HWND_TOP;
    for (int id : ids) {
        HWND control = ::GetDlgItem(m_hWnd, id);
        if (!control)
            continue;
        ::SetWindowPos(control, after, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        after = control;
    }
}

void WizardPage::NameAfterLabel(CWnd& control, const CWnd& label, long role) {
    if (control.m_hWnd && label.m_hWnd)
        control.SetAccessibleLabel(label.GetWindowText(), role);
}

void WizardPage::NavigateWizard(WPARAM how) {
    if (HWND parent = ::GetParent(m_hWnd))
        ::PostMessageA(parent, WM_WIZARD_NAVIGATE, how, 0);
}

void WizardPage::TellWizardWriting(WPARAM state) {
    if (HWND parent = ::GetParent(m_hWnd))
        ::SendMessageA(parent, WM_WIZARD_WRITING, state, 0);
}
