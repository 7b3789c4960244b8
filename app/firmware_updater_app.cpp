#include "app/firmware_updater_app.h"

#include "app/page_registry.h"
#include "app/wizard_main_dialog.h"

BOOL FirmwareUpdaterApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControlsStatic();
    m_skin.SetSkinFile("English.ini");
    m_skin.LoadCommonSection();

    // The main window and the pages live on this stack frame for the whole
    // run of the wizard; the main window's list only points at them.
    WizardMainDialog mainWindow;
    WizardPages pages;
    pages.RegisterWith(mainWindow);
    m_pMainWnd = &mainWindow;
    mainWindow.DoModal();
    m_pMainWnd = nullptr;
    // Pages, then the main window, go in reverse order of construction.
    return FALSE;
}
