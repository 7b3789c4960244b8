#include "pages/language_page.h"

#include "wizard/wizard_messages.h"
#include "shared/shared_values.h"

namespace {
struct LanguageCode {
    const char* text;
    int value;
};
// Compared in this order; the first match wins.
constexpr LanguageCode kLanguageCodes[] = {{"EN", 1}, {"DE", 3}, {"FR", 2}};
// The list shows the codes in this order, "EN" selected.
constexpr const char* kListOrder[] = {"DE", "EN", "FR"};
constexpr int kInitialSelection = 1;
// Label3 ("Language:") names the list.
constexpr int kListLabel = 2;
// Label1 .. Label6 of section "Language", in skin order.
constexpr int kLabelIds[LanguagePage::kLabelCount] = {IDC_LANGUAGE_LABEL1, IDC_LANGUAGE_LABEL2,
                                                      IDC_LANGUAGE_LABEL3, IDC_LANGUAGE_LABEL4,
                                                      IDC_LANGUAGE_LABEL5, IDC_LANGUAGE_LABEL6};
} // namespace

int LanguageCodeValue(const CString& text) {
    for (const LanguageCode& code : kLanguageCodes) {
        if (text == code.text)
            return code.value;
    }
    return 0;
}

LanguagePage::LanguagePage() : WizardPage(IDD) {
    m_controls = {{IDC_BACKGROUND, m_background, "Language", "Background"},
                  {IDC_LANGUAGE_EXIT, m_exit, "Control", "LangExit"},
                  {IDC_LANGUAGE_NEXT, m_next, "Control", "Next1"},
                  {IDC_LANGUAGE_LIST, m_languageList}};
    AddLabelRows(m_controls, "Language", kLabelIds, m_labels, kLabelCount);
}

BOOL LanguagePage::OnInitDialog() {
    WizardPage::OnInitDialog();
    for (const char* code : kListOrder)
        m_languageList.AddString(code);
    m_languageList.SetCurSel(kInitialSelection);
    SetTabOrder({IDC_LANGUAGE_LIST, IDC_LANGUAGE_NEXT, IDC_LANGUAGE_EXIT});
    NameAfterLabel(m_languageList, m_labels[kListLabel], ROLE_SYSTEM_COMBOBOX);
    return TRUE;
}

BOOL LanguagePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    if (HIWORD(wParam) == BN_CLICKED) {
        if (id == IDC_LANGUAGE_EXIT) {
            OnExit();
            return TRUE;
        }
        if (id == IDC_LANGUAGE_NEXT) {
            OnNextLanguage();
            return TRUE;
        }
    }
    return WizardPage::OnCommand(wParam, lParam);
}

void LanguagePage::OnExit() {
    NavigateWizard(NAVIGATE_CLOSE);
}

void LanguagePage::OnNextLanguage() {
    CString text;
    const int selected = m_languageList.GetCurSel();
    if (selected >= 0)
        m_languageList.GetLBText(selected, text);
    if (const int value = LanguageCodeValue(text))
        SelectedLanguage = value;
    NavigateWizard(NAVIGATE_NEXT);
}
