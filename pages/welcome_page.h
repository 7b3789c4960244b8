// WelcomePage: the wizard's second page, eleven skin texts about the
// upgrade over a background picture; Start moves on, Exit closes.
#pragma once
#include "pages/info_page.h"
#include "res/resource.h"

class WelcomePage : public InfoPage {
public:
    enum { IDD = IDD_WELCOME };
    WelcomePage();
};
