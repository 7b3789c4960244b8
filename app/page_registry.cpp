#include "app/page_registry.h"

void WizardPages::RegisterWith(WizardHostDialog& host) {
    host.AddPage(&language, LanguagePage::IDD);
    host.AddPage(&welcome, WelcomePage::IDD);
    host.AddPage(&login, LoginPage::IDD);
    host.AddPage(&verify, VerifyPage::IDD);
    host.AddPage(&upload, UploadPage::IDD);
    host.AddPage(&languagePack, LanguagePackPage::IDD);
    host.AddPage(&finish, FinishPage::IDD);
}
