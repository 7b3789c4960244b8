// ActionPopup: the small modal wait window shown while a long operation
// runs in the background. It cycles four pictures on a timer and ends
// itself once the operation has set ActionDone, in some modes after
// lingering a fixed number of further ticks.
#pragma once
#include "wizard/wizard_page.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "shared/shared_values.h"
#include "res/resource.h"

class ActionPopup : public WizardPage {
public:
    enum { IDD = IDD_ACTION };
    static constexpr int kFindDevice = 0;
    static constexpr int kSetupDevice = 1;
    static constexpr int kCheckInternet = 2;
    static constexpr int kFindDeviceAgain = 3;
    static constexpr int kUpgrade = 0x1111;
    static constexpr int kFrameCount = 4;
    static constexpr UINT_PTR kTimerId = 400;
    // The timer period is TheTimings.actionTickPeriodMs.

    // Clears ActionDone and ActionCloseNow: a flag set before the popup
    // existed belongs to an earlier operation.
    ActionPopup();

    BOOL OnInitDialog() override;
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT nCtlColor) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // One animation step and end test; true when the popup ended.
    bool OnTick();

    // Set between construction and showing.
    int m_mode = kFindDevice;
    int m_frame = 0;
    int m_ticksAfterEnd = 0;
    CBrush m_backgroundBrush;

    SkinnedBitmap m_frames[kFrameCount];
    SkinnedLabel m_caption;

private:
    void ShowFrame(int frame);
    bool EndsNow();
};

// The caption entry of section "Action" for a mode; null when the mode has
// none (such a popup never ends by itself).
const char* ActionCaptionEntry(int mode);
