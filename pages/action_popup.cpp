#include "pages/action_popup.h"

#include "shared/timings.h"
#include "skin/skin_settings.h"

namespace {
constexpr int kFrameIds[ActionPopup::kFrameCount] = {IDC_ACTION_FRAME1, IDC_ACTION_FRAME2,
                                                     IDC_ACTION_FRAME3, IDC_ACTION_FRAME4};
constexpr const char* kFrameEntries[ActionPopup::kFrameCount] = {"Background1", "Background2",
                                                                 "Background3", "Background4"};
// Ticks that see ActionDone before the popup ends, when it lingers.
constexpr int kSetupLingerTicks = 16;
constexpr int kUpgradeLingerTicks = 6;
} // namespace

const char* ActionCaptionEntry(int mode) {
    switch (mode) {
    case ActionPopup::kFindDevice:
    case ActionPopup::kFindDeviceAgain:
        return "FindDevice";
    case ActionPopup::kSetupDevice:
        return "SetupDevice";
    case ActionPopup::kCheckInternet:
        return "CheckInternet";
    case ActionPopup::kUpgrade:
        return "Upgrade";
    default:
        return nullptr;
    }
}

ActionPopup::ActionPopup() : WizardPage(IDD) {
    ActionDone = 0;
    ActionCloseNow = 0;
    for (int i = 0; i < kFrameCount; ++i)
        m_controls.emplace_back(kFrameIds[i], m_frames[i], "Action", kFrameEntries[i]);
    // The caption's entry depends on the mode, set after construction.
    m_controls.emplace_back(IDC_ACTION_CAPTION, m_caption);
}

BOOL ActionPopup::OnInitDialog() {
    // The plain dialog's initialisation: the popup has its own brush, not
    // the pages' white one.
    CDialog::OnInitDialog(); // NOLINT(bugprone-parent-virtual-call): skips the page's on purpose
    LoadControlSkins(TheSkin(), m_controls);
    if (const char* entry = ActionCaptionEntry(m_mode))
        TheSkin().LoadStaticEntry("Action", entry, &m_caption);
    ShowFrame(0);
    m_backgroundBrush.DeleteObject();
    m_backgroundBrush.CreateSolidBrush(RGB(103, 125, 210));
    SetTimer(kTimerId, TheTimings.actionTickPeriodMs);
    return TRUE;
}

LRESULT ActionPopup::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        OnTick();
        return Default();
    }
    return WizardPage::WindowProc(message, wParam, lParam);
}

void ActionPopup::ShowFrame(int frame) {
    for (int i = 0; i < kFrameCount; ++i)
        m_frames[i].ShowWindow(i == frame ? SW_SHOW : SW_HIDE);
}

bool ActionPopup::EndsNow() {
    switch (m_mode) {
    case kFindDevice:
    case kCheckInternet:
    case kFindDeviceAgain:
        return true;
    case kSetupDevice:
        return ++m_ticksAfterEnd >= kSetupLingerTicks;
    case kUpgrade:
        if (ActionCloseNow)
            return true;
        return ++m_ticksAfterEnd >= kUpgradeLingerTicks;
    default:
        return false;
    }
}

bool ActionPopup::OnTick() {
    m_frame = (m_frame + 1) % kFrameCount;
    ShowFrame(m_frame);
    if (!ActionDone || !EndsNow())
        return false;
    KillTimer(kTimerId);
    EndDialog(0);
    return true;
}

HBRUSH ActionPopup::OnCtlColor(CDC* dc, CWnd* /*control*/, UINT nCtlColor) {
    return ColourControl(dc, nCtlColor, RGB(0, 0, 0), RGB(153, 204, 51), m_backgroundBrush);
}
