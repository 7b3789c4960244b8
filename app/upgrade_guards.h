// What the PC must not do while its router is upgraded: end the session
// while the firmware or the language pack is written (the router would keep
// half an image), or sleep before the wizard is done (a laptop's sleep
// timer is shorter than the router's restart and the search). Each holder
// asks Windows once and lets go once, on the user-interface thread: both
// requests belong to the thread (and the window) that made them.
#pragma once
#include <windows.h>

// Refuses the end of the session while set, with a reason Windows shows.
class ShutdownBlock {
public:
    static constexpr const wchar_t* kReason =
        L"Firmware upgrade in progress. Do not switch off the PC or the router.";
    ShutdownBlock() = default;
    ShutdownBlock(const ShutdownBlock&) = delete;
    ShutdownBlock& operator=(const ShutdownBlock&) = delete;
    ~ShutdownBlock() { Allow(); }

    // window: the program's main window, made on this thread.
    void Refuse(HWND window);
    void Allow();
    bool Refusing() const { return m_window != nullptr; }

private:
    HWND m_window = nullptr;
    bool m_reasonGiven = false;
};

// Keeps the PC from sleeping while held; the display may still go dark.
class KeepAwake {
public:
    KeepAwake() = default;
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;
    ~KeepAwake() { Release(); }

    void Hold();
    void Release();

private:
    bool m_held = false;
};
