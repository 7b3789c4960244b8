// Helpers of the page tests: a host window that records the navigation
// requests of its pages instead of acting on them, and small helpers; the
// message-box watcher and the pumps are shared by every Windows test.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/message_box_watcher.h"
#include "tests/support/message_pump.h"
#include "wizard/wizard_host_dialog.h"

// The main window's template with the plain host behind it; it keeps every
// WM_WIZARD_NAVIGATE value it receives.
class RecordingHost : public WizardHostDialog {
public:
    RecordingHost();
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Creates the window (and so activates the first page).
    bool Open();

    std::vector<WPARAM> m_navigations;
};

// Sends a button click notification for control id to dialog.
void ClickCommand(CWnd& dialog, int id);
// A window's WS_VISIBLE bit (the window itself, not its parents).
bool HasVisibleStyle(CWnd& window);
// The folder of this test program, with a trailing backslash.
std::string ProgramFolder();
// Lets the window paint, then saves what the screen shows of it as a
// 24-bit bitmap file in the shots folder beside this program, for a person
// to look at; false when it could not be written.
bool SaveWindowShot(HWND window, const std::string& name);

// A file of the given size whose bytes are never written (sparse where the
// file system allows), so that gigabytes cost nothing.
bool MakeFileOfSize(const std::string& path, uint64_t size);
// A file holding exactly these bytes.
bool WriteBytes(const std::string& path, const std::string& bytes);
