// WelcomePage: the wizard's second page, eleven skin texts about the
// upgrade over a background picture; Start moves on, Exit closes.
#pragma once
#include "wizard/wizard_page.h"
#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "res/resource.h"

class WelcomePage : public WizardPage {
public:
    enum { IDD = IDD_WELCOME };
    static constexpr int kLabelCount = 11;
    WelcomePage();

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    SkinnedBitmap m_background;
    SkinnedLabel m_labels[kLabelCount];
    CHoverButtonEx m_exit;
    CHoverButtonEx m_start;

private:
    void OnExit();
    void OnStart();
};
