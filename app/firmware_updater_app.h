// FirmwareUpdaterApp: the process's application object. It points the one
// skin reader at the skin file, builds the main window and the seven pages,
// and runs the wizard.
#pragma once
#include "framework/afx.h"
#include "skin/skin_settings.h"

class FirmwareUpdaterApp : public CWinApp {
public:
    FirmwareUpdaterApp() : CWinApp(nullptr) {}
    BOOL InitInstance() override;

    // The process-wide skin reader (TheSkin), which the windows read.
    SkinSettings& m_skin = TheSkin();
};
