// The wizard's fixed page list: the order in which Next walks through the
// pages. The main window changes its frame by these list positions.
#pragma once
#include "wizard/wizard_host_dialog.h"
#include "pages/finish_page.h"
#include "pages/language_page.h"
#include "pages/login_page.h"
#include "pages/verify_page.h"
#include "pages/welcome_page.h"
#include "pages/upload_page.h"
#include "pages/language_pack_page.h" // position 5

// The seven pages, as members in list order so that they are built in that
// order and destroyed in reverse:
//   0 language (129), 1 welcome (130), 2 login (131), 3 verify (132),
//   4 upload (133), 5 language pack (135), 6 finish (134).
// Each page joins at its fixed position when it is built.
struct WizardPages {
    LanguagePage language;         // 0
    WelcomePage welcome;           // 1
    LoginPage login;               // 2
    VerifyPage verify;             // 3
    UploadPage upload;             // 4
    LanguagePackPage languagePack; // 5
    FinishPage finish;             // 6

    // AddPage for every page, in list order, under its template id.
    void RegisterWith(WizardHostDialog& host);
};
