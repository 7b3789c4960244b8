#include "tools/skinkit/skinned_windows.h"

#include <cstring>

const int kActionPopupModes[5] = {ActionPopup::kFindDevice, ActionPopup::kSetupDevice,
                                  ActionPopup::kCheckInternet, ActionPopup::kFindDeviceAgain,
                                  ActionPopup::kUpgrade};

namespace {
CString BackgroundSection(const ControlTable& rows) {
    for (const ControlRow& row : rows)
        if (row.kind == ControlRow::kBitmap)
            return row.section;
    return CString();
}
} // namespace

SkinnedWindows::SkinnedWindows() {
    // The program's page list, in its order, under each page's template id.
    pages.RegisterWith(main);
    for (POSITION at = main.m_pageList.GetHeadPosition(); at;) {
        auto* page = static_cast<WizardPage*>(main.m_pageList.GetNext(at));
        m_windows.push_back({BackgroundSection(page->m_controls), static_cast<UINT>(page->m_pageId),
                             page->m_controls});
    }

    SkinnedWindow frame{"DialogMain", WizardMainDialog::IDD, main.m_controls};
    frame.rows.emplace_back(IDC_BACKGROUND, main.m_background, "DialogMain",
                            WizardMainDialog::kPlainBackgroundEntry);
    frame.rows.emplace_back(IDC_MAIN_NEXT, main.m_next, "Control",
                            WizardMainDialog::kUpgradeLookEntry);
    m_windows.push_back(frame);

    SkinnedWindow wait{"Action", ActionPopup::IDD, popup.m_controls};
    std::vector<const char*> captions;
    for (int mode : kActionPopupModes) {
        const char* entry = ActionCaptionEntry(mode);
        if (!entry)
            continue;
        bool seen = false;
        for (const char* caption : captions)
            seen = seen || std::strcmp(caption, entry) == 0;
        if (!seen) {
            captions.push_back(entry);
            wait.rows.emplace_back(IDC_ACTION_CAPTION, popup.m_caption, "Action", entry);
        }
    }
    m_windows.push_back(wait);
}
