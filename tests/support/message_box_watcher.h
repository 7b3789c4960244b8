// Closes every message box of one thread (the application's and the pages'
// "Warning" boxes) as soon as it shows, as a user pressing OK, and keeps
// its text, so that a test never hangs on a modal box.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MessageBoxWatcher {
public:
    // thread: whose boxes to close; by default the one that makes the watcher.
    explicit MessageBoxWatcher(DWORD thread = ::GetCurrentThreadId());
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The texts of the boxes closed so far, in order.
    std::vector<std::string> Texts();
    void Clear();

private:
    void Run();
    DWORD m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<HWND> m_seen;
    std::thread m_watcher;
};
