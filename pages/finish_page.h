// FinishPage: the wizard's last page, five skin texts and an Exit button
// that closes the wizard.
#pragma once
#include "app/wizard_page.h"
#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "res/resource.h"

class FirmwareUpdaterApp;

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
    FirmwareUpdaterApp* m_app;

private:
    void OnExit();
};
