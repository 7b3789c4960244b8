// FinishPage: the wizard's last page, five skin texts and an Exit button
// that closes the wizard.
#pragma once
#include "wizard/wizard_page.h"
#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "res/resource.h"

class FinishPage : public WizardPage {
public:
    enum { IDD = IDD_FINISH };
    static constexpr int kLabelCount = 5;
    FinishPage();

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    SkinnedBitmap m_background;
    SkinnedLabel m_labels[kLabelCount];
    CHoverButtonEx m_exit;

private:
    void OnExit();
};
