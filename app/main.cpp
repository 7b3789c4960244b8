// Entry point of FirmwareUpdater.exe.
#include "app/firmware_updater_app.h"

// The application object: built before the entry code runs, with its skin
// reader at the defaults.
FirmwareUpdaterApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AfxWinMain(instance);
}
