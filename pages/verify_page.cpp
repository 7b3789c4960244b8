#include "pages/verify_page.h"

#include <cstdio>

#include "skin/skin_settings.h"
#include "shared/shared_values.h"

namespace {
// Label1 .. Label9 of section "Verify", in skin order.
constexpr int kLabelIds[VerifyPage::kLabelCount] = {
    IDC_VERIFY_LABEL1, IDC_VERIFY_LABEL2, IDC_VERIFY_LABEL3,  IDC_VERIFY_LABEL4, IDC_VERIFY_LABEL5,
    IDC_VERIFY_LABEL6, IDC_VERIFY_LABEL7, IDC_VERIFY_ADDRESS, IDC_VERIFY_LABEL9};
} // namespace

VerifyPage::VerifyPage() : WizardPage(IDD) {}

void VerifyPage::DoDataExchange(CDataExchange* dx) {
    WizardPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_BACKGROUND, m_background);
    for (int i = 0; i < kLabelCount; ++i)
        DDX_Control(dx, kLabelIds[i], m_labels[i]);
}

BOOL VerifyPage::OnInitDialog() {
    WizardPage::OnInitDialog();
    SkinSettings& skin = TheSkin();
    skin.LoadBitmapEntry("Verify", "Background", &m_background);
    for (int i = 0; i < kLabelCount; ++i) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "Label%d", i + 1);
        skin.LoadStaticEntry("Verify", entry, &m_labels[i]);
    }
    return TRUE;
}

void VerifyPage::OnSetActive() {
    AddressLabel().SetWindowText(DeviceAddress);
    // The label is transparent: repaint what lies beneath the old text too.
    RedrawWithParent(&AddressLabel());
}
