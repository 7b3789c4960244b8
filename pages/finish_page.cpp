#include "pages/finish_page.h"

#include <cstdio>

#include "skin/skin_settings.h"
#include "wizard/wizard_messages.h"

namespace {
// Label1 .. Label5 of section "Exit", in skin order.
constexpr int kLabelIds[FinishPage::kLabelCount] = {
    IDC_FINISH_LABEL1, IDC_FINISH_LABEL2, IDC_FINISH_LABEL3, IDC_FINISH_LABEL4, IDC_FINISH_LABEL5};
} // namespace

FinishPage::FinishPage() : WizardPage(IDD) {}

void FinishPage::DoDataExchange(CDataExchange* dx) {
    WizardPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_BACKGROUND, m_background);
    for (int i = 0; i < kLabelCount; ++i)
        DDX_Control(dx, kLabelIds[i], m_labels[i]);
    DDX_Control(dx, IDC_FINISH_EXIT, m_exit);
}

BOOL FinishPage::OnInitDialog() {
    WizardPage::OnInitDialog();
    SkinSettings& skin = TheSkin();
    skin.LoadBitmapEntry("Exit", "Background", &m_background);
    skin.LoadButtonEntry("Control", "Exit2", &m_exit);
    for (int i = 0; i < kLabelCount; ++i) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "Label%d", i + 1);
        skin.LoadStaticEntry("Exit", entry, &m_labels[i]);
    }
    return TRUE;
}

BOOL FinishPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_FINISH_EXIT) {
        OnExit();
        return TRUE;
    }
    return WizardPage::OnCommand(wParam, lParam);
}

void FinishPage::OnExit() {
    NavigateWizard(NAVIGATE_CLOSE);
}
