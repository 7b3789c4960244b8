#include "app/wizard_main_dialog.h"

#include <iterator>
#include <string>

#include "shared/upgrade_record.h"
#include "skin/skin_settings.h"
#include "wizard/wizard_messages.h"

namespace {
// List positions of the pages whose arrival changes the frame.
constexpr int kWelcomePosition = 1;
constexpr int kLoginPosition = 2;
constexpr int kVerifyPosition = 3;
constexpr int kUploadPosition = 4;
constexpr int kFinishPosition = 6;

// The pages by list position, as the upgrade record names them.
constexpr const char* kPageNames[] = {"language", "welcome",       "login", "verify",
                                      "upload",   "language pack", "finish"};

// Written before the move: the next page may hold the wizard in a popup as
// it opens (the language-pack page's search).
std::string PageLeftLine(const char* how, int position) {
    const bool known = position >= 0 && position < static_cast<int>(std::size(kPageNames));
    return std::string(how) + " from the " + (known ? kPageNames[position] : "unknown") + " page";
}

constexpr int kLabelIds[WizardMainDialog::kLabelCount] = {IDC_MAIN_LABEL1, IDC_MAIN_LABEL2,
                                                          IDC_MAIN_LABEL3, IDC_MAIN_LABEL4};

// The control of a dialog that holds `focus` (the address control for one
// of its fields), if it is one a user can Tab to and sees.
bool IsVisibleTabStop(HWND focus) {
    char name[8] = {};
    for (HWND parent = focus ? ::GetParent(focus) : nullptr; parent; parent = ::GetParent(focus)) {
        if (::GetClassNameA(parent, name, sizeof name) && ::lstrcmpA(name, "#32770") == 0)
            break;
        focus = parent;
    }
    return focus && (::GetWindowLongPtrA(focus, GWL_STYLE) & WS_TABSTOP) &&
           ::IsWindowVisible(focus) && ::IsWindowEnabled(focus);
}
} // namespace

WizardMainDialog::WizardMainDialog(CWnd* parent)
    : WizardHostDialog(IDD, parent),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_APP))) {
    m_controls = {{IDC_BACKGROUND, m_background, "DialogMain", "Background"},
                  {IDC_MAIN_EXIT, m_exit, "Control", "Exit"},
                  {IDC_MAIN_BACK, m_back, "Control", "Back"},
                  {IDC_MAIN_NEXT, m_next, "Control", "Next"}};
    AddLabelRows(m_controls, "DialogMain", kLabelIds, m_labels, kLabelCount);
}

WizardMainDialog::~WizardMainDialog() {
    // The region was handed to the window system with SetWindowRgn, which
    // frees it; deleting it here would free a handle that is not ours.
    m_windowRegion.Detach();
}

void WizardMainDialog::DoDataExchange(CDataExchange* dx) {
    BindControls(dx, m_controls);
}

BOOL WizardMainDialog::OnInitDialog() {
    SetPlaceholderId(IDC_PAGE_PLACEHOLDER);
    // The first page is created (and loads its skin) inside this call.
    WizardHostDialog::OnInitDialog();
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    SetWindowText("Firmware Upgrade Utility");

    LoadControlSkins(TheSkin(), m_controls);
    ShowFrameButtons(SW_HIDE);
    KeepFocusInView();
    return TRUE;
}

BOOL WizardMainDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_MAIN_EXIT) {
        // Exit ends the wizard without asking the pages.
        CDialog::OnOK();
        return TRUE;
    }
    return WizardHostDialog::OnCommand(wParam, lParam);
}

LRESULT WizardMainDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_WIZARD_NAVIGATE:
        return OnWizardNavigate(wParam);
    case WM_WIZARD_WRITING:
        OnWizardWriting(wParam);
        return 0;
    case WM_QUERYENDSESSION:
        // Shut down, log off or an update restart now would leave the
        // router with half an image.
        return m_shutdownBlock.Refusing() ? FALSE : Default();
    case WM_ENDSESSION:
        // wParam TRUE: the session ends all the same (forced, or the user
        // chose to end it regardless); the process goes once this returns,
        // and nothing more can be done for the router.
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return WizardHostDialog::WindowProc(message, wParam, lParam);
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE: {
        const LRESULT result = Default();
        OnSize();
        return result;
    }
    default:
        return WizardHostDialog::WindowProc(message, wParam, lParam);
    }
}

LRESULT WizardMainDialog::OnWizardNavigate(WPARAM how) {
    if (how == NAVIGATE_NEXT)
        OnNext();
    else if (how == NAVIGATE_CLOSE)
        CDialog::OnOK();
    return 0;
}

void WizardMainDialog::OnWizardWriting(WPARAM state) {
    switch (state) {
    case WRITE_STARTED:
        m_shutdownBlock.Refuse(m_hWnd);
        m_keepAwake.Hold(); // also for a pack sent again after a failure
        break;
    case WRITE_ENDED:
        m_shutdownBlock.Allow();
        break;
    case WRITE_FAILED:
        // Nothing runs until the user acts: the PC may sleep again.
        m_shutdownBlock.Allow();
        m_keepAwake.Release();
        break;
    default:
        break;
    }
}

void WizardMainDialog::OnDestroy() {
    // Every way out of the wizard ends here, while the window still exists.
    m_shutdownBlock.Allow();
    m_keepAwake.Release();
}

void WizardMainDialog::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

void WizardMainDialog::OnSize() {
    RECT window;
    GetWindowRect(&window);
    m_windowRegion.Detach(); // the window system owns the previous region
    if (m_windowRegion.CreateRoundRectRgn(0, 0, window.right - window.left,
                                          window.bottom - window.top, 20, 20)) {
        // From here on the region belongs to the window system.
        SetWindowRgn(m_windowRegion, true);
    }
}

void WizardMainDialog::ShowFrameButtons(int show) {
    m_exit.ShowWindow(show);
    m_back.ShowWindow(show);
    m_next.ShowWindow(show);
}

void WizardMainDialog::ReskinNextButton(const char* entry) {
    m_next.SetWindowText("");
    TheSkin().LoadButtonEntry("Control", entry, &m_next);
}

void WizardMainDialog::OnNext() {
    UpgradeRecord::Add(PageLeftLine("Next", GetCurrentPageIndex()));
    WizardHostDialog::OnNext();
    ApplyFrameAfterNext();
    KeepFocusInView();
    Invalidate(true);
}

void WizardMainDialog::OnBack() {
    UpgradeRecord::Add(PageLeftLine("Back", GetCurrentPageIndex()));
    WizardHostDialog::OnBack();
    ApplyFrameAfterBack();
    KeepFocusInView();
    Invalidate(true);
}

void WizardMainDialog::KeepFocusInView() {
    // A page change can leave the focus on a window that is now hidden (the
    // button that was pressed) or on one that takes no keys (a new page
    // without controls gives it to its first label). A keyboard user then
    // starts from the page's first control, or from the frame's buttons.
    if (IsVisibleTabStop(::GetFocus()))
        return;
    HWND target = nullptr;
    if (WizardPage* page = GetCurrentPage())
        target = ::GetNextDlgTabItem(page->m_hWnd, nullptr, FALSE);
    if (!IsVisibleTabStop(target))
        target = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    if (IsVisibleTabStop(target))
        ::SetFocus(target);
}

void WizardMainDialog::ApplyFrameAfterNext() {
    SkinSettings& skin = TheSkin();
    switch (GetCurrentPageIndex()) {
    case kLoginPosition:
        skin.LoadBitmapEntry("DialogMain", kPlainBackgroundEntry, &m_background);
        ShowFrameButtons(SW_SHOWNORMAL);
        m_labels[0].ShowWindow(SW_HIDE);
        break;
    case kVerifyPosition:
        ReskinNextButton(kUpgradeLookEntry);
        break;
    case kUploadPosition:
        ShowFrameButtons(SW_HIDE);
        // The Upgrade click: the router is upgraded from here on.
        m_keepAwake.Hold();
        break;
    case kFinishPosition:
        m_keepAwake.Release();
        skin.LoadBitmapEntry("DialogMain", "Background", &m_background);
        ShowFrameButtons(SW_HIDE);
        m_labels[0].ShowWindow(SW_SHOWNORMAL);
        break;
    default:
        break;
    }
}

void WizardMainDialog::ApplyFrameAfterBack() {
    switch (GetCurrentPageIndex()) {
    case kWelcomePosition:
        ShowFrameButtons(SW_HIDE);
        TheSkin().LoadBitmapEntry("DialogMain", "Background", &m_background);
        m_labels[0].ShowWindow(SW_SHOWNORMAL);
        break;
    case kLoginPosition:
        ReskinNextButton("Next");
        break;
    default:
        break;
    }
}
