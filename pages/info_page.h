// InfoPage: a page of skin texts over a background picture, with buttons
// that move the wizard on or close it. The welcome and the finish page are
// two such pages with different layouts.
#pragma once
#include <memory>
#include <vector>

#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "wizard/wizard_page.h"

class InfoPage : public WizardPage {
public:
    struct Button {
        int id;
        const char* entry; // in section "Control"
        WPARAM navigate;   // NAVIGATE_NEXT or NAVIGATE_CLOSE
    };
    struct Layout {
        UINT templateId;
        const char* section;         // of the background and the labels
        std::vector<int> labelIds;   // Label1 .. LabelN of section
        std::vector<Button> buttons; // in the order their skin is loaded
        std::vector<int> tabOrder;   // the buttons a keyboard user meets first
    };

    explicit InfoPage(Layout layout);

    bool BuildsAhead() const override { return true; }
    void OnControlsSkinned() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    SkinnedBitmap m_background;
    std::unique_ptr<SkinnedLabel[]> m_labels;
    std::unique_ptr<CHoverButtonEx[]> m_buttons;

private:
    Layout m_layout;
};
