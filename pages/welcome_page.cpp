#include "pages/welcome_page.h"

#include "wizard/wizard_messages.h"

WelcomePage::WelcomePage()
    : InfoPage({IDD,
                "FWInfo",
                {IDC_WELCOME_LABEL1, IDC_WELCOME_LABEL2, IDC_WELCOME_LABEL3, IDC_WELCOME_LABEL4,
                 IDC_WELCOME_LABEL5, IDC_WELCOME_LABEL6, IDC_WELCOME_LABEL7, IDC_WELCOME_LABEL8,
                 IDC_WELCOME_LABEL9, IDC_WELCOME_LABEL10, IDC_WELCOME_LABEL11},
                {{IDC_WELCOME_EXIT, "LangExit", NAVIGATE_CLOSE},
                 {IDC_WELCOME_START, "Start", NAVIGATE_NEXT}},
                {IDC_WELCOME_START, IDC_WELCOME_EXIT}}) {}
