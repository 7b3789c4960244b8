// Helpers of the page tests: a host window that records the navigation
// requests of its pages instead of acting on them, a watcher that reads and
// closes the program's message boxes, and a message pump.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// Closes every message box of the user-interface thread (the application's
// and the pages' "Warning" boxes) as soon as it shows and keeps its text, so
// that a test never hangs on a modal box.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<std::string> Texts();
    void Clear();

private:
    void Run();
    DWORD m_uiThread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<HWND> m_seen;
    std::thread m_thread;
};

// Dispatches what is waiting in this thread's queue (posted navigations).
void PumpMessages();
// Dispatches this thread's messages as they come until done() holds (true)
// or limitMs have passed (false).
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs);
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
