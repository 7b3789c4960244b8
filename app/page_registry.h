// The wizard's fixed page list: the order in which Next walks through the
// pages. The main window changes its frame by these list positions.
#pragma once
#include "app/wizard_host_dialog.h"

// The seven pages, as members in list order so that they are built in that
// order and destroyed in reverse:
//   0 language (129), 1 welcome (130), 2 login (131), 3 verify (132),
//   4 upload (133), 5 language pack (135), 6 finish (134).
// Each page joins at its fixed position when it is built.
struct WizardPages {
    // AddPage for every page, in list order, under its template id.
    void RegisterWith(WizardHostDialog& host);
};
