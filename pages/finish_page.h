// FinishPage: the wizard's last page, five skin texts and an Exit button
// that closes the wizard.
#pragma once
#include "pages/info_page.h"
#include "res/resource.h"

class FinishPage : public InfoPage {
public:
    enum { IDD = IDD_FINISH };
    FinishPage();
};
