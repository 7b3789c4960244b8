// VerifyPage: shows the router's address typed on the login page, so that
// the user can check it before the upgrade starts. The main window's own
// buttons move on from here.
#pragma once
#include "wizard/wizard_page.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "res/resource.h"

class VerifyPage : public WizardPage {
public:
    enum { IDD = IDD_VERIFY };
    static constexpr int kLabelCount = 9;
    VerifyPage();

    bool BuildsAhead() const override { return true; }
    // Every time the page is shown: the address label shows DeviceAddress.
    void OnSetActive() override;

    SkinnedBitmap m_background;
    // Label1 .. Label9; Label8 (control 1023) carries the address.
    SkinnedLabel m_labels[kLabelCount];

    SkinnedLabel& AddressLabel() { return m_labels[7]; }
};
