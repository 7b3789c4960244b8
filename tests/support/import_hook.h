#pragma once
// Points one imported function of this test program at a stand-in for the
// life of the hook, so a test can make the library behave in ways a loopback
// server cannot (a completion that overtakes its call, a write that never
// completes). Only calls made through this program's import table are seen.
#include <windows.h>

class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* standIn);
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    ~ImportHook();

    bool Installed() const { return m_slot != nullptr; }
    // The function the program called before the hook.
    template <typename Function> Function Original() const {
        return reinterpret_cast<Function>(m_original);
    }

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};
