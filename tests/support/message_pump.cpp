#include "tests/support/message_pump.h"

void PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
    const ULONGLONG end = ::GetTickCount64() + limitMs;
    while (!done()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end)
            return false;
        const DWORD left = static_cast<DWORD>(end - now);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 50 ? left : 50, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}
