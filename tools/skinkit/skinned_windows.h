// The windows a skin dresses, each with every entry it loads: the pages in
// list order, the main window with the other looks of its frame, and the
// wait popup with the caption of every mode. Built from the program's own
// control tables, so the skin tools expect exactly what the program loads.
#pragma once
#include <vector>

#include "app/page_registry.h"
#include "app/wizard_main_dialog.h"
#include "pages/action_popup.h"

struct SkinnedWindow {
    CString name; // the section of the window's own background
    UINT templateId;
    ControlTable rows;
};

class SkinnedWindows {
public:
    SkinnedWindows();
    SkinnedWindows(const SkinnedWindows&) = delete;
    SkinnedWindows& operator=(const SkinnedWindows&) = delete;

    const std::vector<SkinnedWindow>& List() const { return m_windows; }

    WizardPages pages;
    WizardMainDialog main;
    ActionPopup popup;

private:
    std::vector<SkinnedWindow> m_windows;
};

// Every mode of the wait popup, in the order the wizard first shows them.
extern const int kActionPopupModes[5];
