#include "pages/verify_page.h"

#include "shared/shared_values.h"

namespace {
// Label1 .. Label9 of section "Verify", in skin order.
constexpr int kLabelIds[VerifyPage::kLabelCount] = {
    IDC_VERIFY_LABEL1, IDC_VERIFY_LABEL2, IDC_VERIFY_LABEL3,  IDC_VERIFY_LABEL4, IDC_VERIFY_LABEL5,
    IDC_VERIFY_LABEL6, IDC_VERIFY_LABEL7, IDC_VERIFY_ADDRESS, IDC_VERIFY_LABEL9};
} // namespace

VerifyPage::VerifyPage() : WizardPage(IDD) {
    m_controls = {{IDC_BACKGROUND, m_background, "Verify", "Background"}};
    AddLabelRows(m_controls, "Verify", kLabelIds, m_labels, kLabelCount);
}

void VerifyPage::OnSetActive() {
    AddressLabel().SetWindowText(DeviceAddress);
    // The label is transparent: repaint what lies beneath the old text too.
    RedrawWithParent(&AddressLabel());
}
