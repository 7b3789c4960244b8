// LanguagePage: the wizard's first page. The user picks the language code
// of the router's language pack; Next stores it as SelectedLanguage.
#pragma once
#include "wizard/wizard_page.h"
#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "res/resource.h"

class LanguagePage : public WizardPage {
public:
    enum { IDD = IDD_LANGUAGE };
    static constexpr int kLabelCount = 6;
    LanguagePage();

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    SkinnedBitmap m_background;
    SkinnedLabel m_labels[kLabelCount];
    CComboBox m_languageList;
    CHoverButtonEx m_exit;
    CHoverButtonEx m_next;

private:
    void OnExit();
    void OnNextLanguage();
};

// The SelectedLanguage value of a list text: "EN" 1, "DE" 3, "FR" 2 (exact,
// case-sensitive); 0 for any other text.
int LanguageCodeValue(const CString& text);
