#include "pages/finish_page.h"

#include "wizard/wizard_messages.h"

FinishPage::FinishPage()
    : InfoPage({IDD,
                "Exit",
                {IDC_FINISH_LABEL1, IDC_FINISH_LABEL2, IDC_FINISH_LABEL3, IDC_FINISH_LABEL4,
                 IDC_FINISH_LABEL5},
                {{IDC_FINISH_EXIT, "Exit2", NAVIGATE_CLOSE}},
                {}}) {}
