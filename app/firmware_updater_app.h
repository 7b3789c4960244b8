// FirmwareUpdaterApp: the process's application object. It owns the one skin
// reader, builds the main window and the seven pages, and runs the wizard.
#pragma once
#include "framework/afx.h"
#include "skin/skin_settings.h"

class FirmwareUpdaterApp : public CWinApp {
public:
    FirmwareUpdaterApp() : CWinApp(nullptr) {}
    BOOL InitInstance() override;

    SkinSettings m_skin;
};
