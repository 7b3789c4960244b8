#include "app/firmware_updater_app.h"

#include <array>

#include "app/page_registry.h"
#include "app/wizard_main_dialog.h"
#include "fwu_version.h"
#include "net/device_discovery.h"
#include "shared/upgrade_record.h"
#include "shared/upgrade_record_file.h"

namespace {

// The addresses the router search will start from.
void RecordLocalAddresses() {
    namespace dd = DeviceDiscovery;
    std::array<uint32_t, dd::kMaxLocalAddresses> local{};
    int32_t count = 0;
    if (dd::StartNetworking())
        dd::ReadLocalAddresses(local.data(), &count);
    UpgradeRecord::Add(UpgradeRecord::AddressesLine(local.data(), count));
}

} // namespace

BOOL FirmwareUpdaterApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControlsStatic();
    m_skin.SetSkinFile("English.ini");
    m_skin.LoadCommonSection();
    UpgradeRecord::Start(FWU_VERSION_TEXT);
    // Every message the application's box shows goes into the record.
    AfxSetMessageBoxObserver([](const char* text) { UpgradeRecord::AddShown(text); });
    RecordLocalAddresses();

    // The main window and the pages live on this stack frame for the whole
    // run of the wizard; the main window's list only points at them.
    WizardMainDialog mainWindow;
    WizardPages pages;
    pages.RegisterWith(mainWindow);
    m_pMainWnd = &mainWindow;
    mainWindow.DoModal();
    m_pMainWnd = nullptr;
    UpgradeRecord::Add("the wizard closed");
    // Pages, then the main window, go in reverse order of construction.
    return FALSE;
}
