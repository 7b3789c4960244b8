// WizardMainDialog: the wizard's borderless, round-cornered main window. It
// skins itself and changes its buttons, labels and background by the list
// position of the page that has just become current. While the router is
// upgraded it keeps the PC awake, and refuses the session's end while the
// router is written.
#pragma once
#include "app/upgrade_guards.h"
#include "wizard/wizard_host_dialog.h"
#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "res/resource.h"
#include "skin/control_table.h"

class WizardMainDialog : public WizardHostDialog {
public:
    enum { IDD = IDD_MAIN };
    // The frame's other looks, loaded when the page changes: the background
    // without the title art (section DialogMain) and Next's Upgrade look
    // (section Control). Skin tools check them with the table's entries.
    static constexpr const char* kPlainBackgroundEntry = "background_nothing";
    static constexpr const char* kUpgradeLookEntry = "Upgrade";
    explicit WizardMainDialog(CWnd* parent = nullptr);
    ~WizardMainDialog() override;

    void OnBack() override;
    void OnNext() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    static constexpr int kLabelCount = 4;
    // Label1 .. Label4 of section "DialogMain".
    SkinnedLabel m_labels[kLabelCount];
    SkinnedBitmap m_background;
    CHoverButtonEx m_next;
    CHoverButtonEx m_exit;
    CHoverButtonEx m_back;
    HICON m_hIcon;
    CRgn m_windowRegion;
    ControlTable m_controls;
    // From the Upgrade click to the finish page, a failed write or the end.
    KeepAwake m_keepAwake;
    // While a page writes to the router.
    ShutdownBlock m_shutdownBlock;

private:
    LRESULT OnWizardNavigate(WPARAM how);
    void OnWizardWriting(WPARAM state);
    void OnDestroy();
    void OnPaint();
    void OnSize();
    void ShowFrameButtons(int show);
    void ApplyFrameAfterNext();
    void ApplyFrameAfterBack();
    void ReskinNextButton(const char* entry);
    void KeepFocusInView();
};
