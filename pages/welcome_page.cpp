#include "pages/welcome_page.h"

#include <cstdio>

#include "skin/skin_settings.h"
#include "wizard/wizard_messages.h"

namespace {
// Label1 .. Label11 of section "FWInfo", in skin order.
constexpr int kLabelIds[WelcomePage::kLabelCount] = {
    IDC_WELCOME_LABEL1, IDC_WELCOME_LABEL2,  IDC_WELCOME_LABEL3, IDC_WELCOME_LABEL4,
    IDC_WELCOME_LABEL5, IDC_WELCOME_LABEL6,  IDC_WELCOME_LABEL7, IDC_WELCOME_LABEL8,
    IDC_WELCOME_LABEL9, IDC_WELCOME_LABEL10, IDC_WELCOME_LABEL11};
} // namespace

WelcomePage::WelcomePage() : WizardPage(IDD) {}

void WelcomePage::DoDataExchange(CDataExchange* dx) {
    WizardPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_BACKGROUND, m_background);
    for (int i = 0; i < kLabelCount; ++i)
        DDX_Control(dx, kLabelIds[i], m_labels[i]);
    DDX_Control(dx, IDC_WELCOME_EXIT, m_exit);
    DDX_Control(dx, IDC_WELCOME_START, m_start);
}

BOOL WelcomePage::OnInitDialog() {
    WizardPage::OnInitDialog();
    SkinSettings& skin = TheSkin();
    skin.LoadBitmapEntry("FWInfo", "Background", &m_background);
    skin.LoadButtonEntry("Control", "LangExit", &m_exit);
    skin.LoadButtonEntry("Control", "Start", &m_start);
    for (int i = 0; i < kLabelCount; ++i) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "Label%d", i + 1);
        skin.LoadStaticEntry("FWInfo", entry, &m_labels[i]);
    }
    SetTabOrder({IDC_WELCOME_START, IDC_WELCOME_EXIT});
    return TRUE;
}

BOOL WelcomePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_WELCOME_EXIT:
            OnExit();
            return TRUE;
        case IDC_WELCOME_START:
            OnStart();
            return TRUE;
        default:
            break;
        }
    }
    return WizardPage::OnCommand(wParam, lParam);
}

void WelcomePage::OnExit() {
    NavigateWizard(NAVIGATE_CLOSE);
}

void WelcomePage::OnStart() {
    NavigateWizard(NAVIGATE_NEXT);
}
