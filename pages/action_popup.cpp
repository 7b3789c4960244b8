#include "pages/action_popup.h"

#include "app/firmware_updater_app.h"

UINT ActionPopup::s_tickPeriodMs = ActionPopup::kDefaultTickPeriodMs;

namespace {
constexpr int kFrameIds[ActionPopup::kFrameCount] = {IDC_ACTION_FRAME1, IDC_ACTION_FRAME2,
                                                     IDC_ACTION_FRAME3, IDC_ACTION_FRAME4};
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

ActionPopup::ActionPopup() : WizardPage(IDD), m_app(static_cast<FirmwareUpdaterApp*>(AfxGetApp())) {
    ActionDone = 0;
    ActionCloseNow = 0;
}

void ActionPopup::DoDataExchange(CDataExchange* dx) {
    WizardPage::DoDataExchange(dx);
    for (int i = 0; i < kFrameCount; ++i)
        DDX_Control(dx, kFrameIds[i], m_frames[i]);
    DDX_Control(dx, IDC_ACTION_CAPTION, m_caption);
}

BOOL ActionPopup::OnInitDialog() {
    // The plain dialog's initialisation: the popup has its own brush, not
    // the pages' white one.
    CDialog::OnInitDialog(); // NOLINT(bugprone-parent-virtual-call): skips the page's on purpose
    SkinSettings& skin = m_app->m_skin;
    skin.LoadBitmapEntry("Action", "Background1", &m_frames[0]);
    skin.LoadBitmapEntry("Action", "Background2", &m_frames[1]);
    skin.LoadBitmapEntry("Action", "Background3", &m_frames[2]);
    skin.LoadBitmapEntry("Action", "Background4", &m_frames[3]);
    if (const char* entry = ActionCaptionEntry(m_mode))
        skin.LoadStaticEntry("Action", entry, &m_caption);
    ShowFrame(0);
    m_backgroundBrush.DeleteObject();
    m_backgroundBrush.CreateSolidBrush(RGB(103, 125, 210));
    SetTimer(kTimerId, s_tickPeriodMs);
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
    switch (nCtlColor) {
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX:
    case CTLCOLOR_BTN:
    case CTLCOLOR_SCROLLBAR:
    case CTLCOLOR_STATIC:
        dc->SetTextColor(RGB(0, 0, 0));
        dc->SetBkColor(RGB(153, 204, 51));
        break;
    default:
        break;
    }
    return m_backgroundBrush;
}
