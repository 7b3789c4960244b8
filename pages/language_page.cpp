#include "pages/language_page.h"

#include "skin/skin_settings.h"
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
} // namespace

int LanguageCodeValue(const CString& text) {
    for (const LanguageCode& code : kLanguageCodes) {
        if (text == code.text)
            return code.value;
    }
    return 0;
}

LanguagePage::LanguagePage() : WizardPage(IDD) {}

void LanguagePage::DoDataExchange(CDataExchange* dx) {
    WizardPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_BACKGROUND, m_background);
    DDX_Control(dx, IDC_LANGUAGE_LABEL1, m_label1);
    DDX_Control(dx, IDC_LANGUAGE_LABEL2, m_label2);
    DDX_Control(dx, IDC_LANGUAGE_LABEL3, m_label3);
    DDX_Control(dx, IDC_LANGUAGE_LABEL4, m_label4);
    DDX_Control(dx, IDC_LANGUAGE_LABEL5, m_label5);
    DDX_Control(dx, IDC_LANGUAGE_LABEL6, m_label6);
    DDX_Control(dx, IDC_LANGUAGE_LIST, m_languageList);
    DDX_Control(dx, IDC_LANGUAGE_EXIT, m_exit);
    DDX_Control(dx, IDC_LANGUAGE_NEXT, m_next);
}

BOOL LanguagePage::OnInitDialog() {
    WizardPage::OnInitDialog();
    SkinSettings& skin = TheSkin();
    skin.LoadBitmapEntry("Language", "Background", &m_background);
    skin.LoadButtonEntry("Control", "LangExit", &m_exit);
    skin.LoadButtonEntry("Control", "Next1", &m_next);
    skin.LoadStaticEntry("Language", "Label1", &m_label1);
    skin.LoadStaticEntry("Language", "Label2", &m_label2);
    skin.LoadStaticEntry("Language", "Label3", &m_label3);
    skin.LoadStaticEntry("Language", "Label4", &m_label4);
    skin.LoadStaticEntry("Language", "Label5", &m_label5);
    skin.LoadStaticEntry("Language", "Label6", &m_label6);
    for (const char* code : kListOrder)
        m_languageList.AddString(code);
    m_languageList.SetCurSel(kInitialSelection);
    SetTabOrder({IDC_LANGUAGE_LIST, IDC_LANGUAGE_NEXT, IDC_LANGUAGE_EXIT});
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
