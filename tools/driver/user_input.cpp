#include "tools/driver/user_input.h"

#include <cstdlib>
#include <optional>
#include <vector>

namespace fwdriver {
namespace {

constexpr DWORD kStepDelayMs = 20;
constexpr int kDragSteps = 10;
// Beyond the double-click time by this much, so that tick rounding between
// our clock and the message time cannot make two presses a double click.
constexpr DWORD kDoubleClickMarginMs = 50;

// Where and when the left button last went down.
struct Press {
    ULONGLONG tick = 0;
    POINT at{};
};
std::optional<Press> g_lastPress;

// Button events carry their position, as the X11 driver's own button events
// do: Wine turns every X crossing or motion event the program reads into a
// cursor move, also one queued before our move (the window mapped under the
// pointer's old position) and read late on a loaded machine, and a button
// event without a position lands wherever that left the cursor.
bool SendMouse(DWORD flags, POINT screen) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates are normalised to 0..65535 over the primary screen.
    input.mi.dx = ::MulDiv(screen.x, 65535, width > 1 ? width - 1 : 1);
    input.mi.dy = ::MulDiv(screen.y, 65535, height > 1 ? height - 1 : 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return ::SendInput(1, &input, sizeof input) == 1;
}

// A press near the last one within the double-click time reaches the
// target as WM_LBUTTONDBLCLK, which an owner-drawn button reports as
// BN_DOUBLECLICKED instead of BN_CLICKED. So a single click on the spot of
// the previous one (Next, then Upgrade on the next page) waits until it can
// only be a click of its own, as a user's second click after reading the
// page is.
void WaitOutDoubleClick(POINT screen) {
    if (!g_lastPress)
        return;
    if (std::abs(screen.x - g_lastPress->at.x) > ::GetSystemMetrics(SM_CXDOUBLECLK) ||
        std::abs(screen.y - g_lastPress->at.y) > ::GetSystemMetrics(SM_CYDOUBLECLK))
        return;
    const ULONGLONG ready = g_lastPress->tick + ::GetDoubleClickTime() + kDoubleClickMarginMs;
    const ULONGLONG now = ::GetTickCount64();
    if (now < ready)
        ::Sleep(static_cast<DWORD>(ready - now));
}

bool PressLeft(POINT screen) {
    WaitOutDoubleClick(screen);
    const bool sent = SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, screen);
    g_lastPress = Press{::GetTickCount64(), screen};
    return sent;
}

} // namespace

bool MoveMouse(POINT screen) {
    const bool sent = SendMouse(MOUSEEVENTF_MOVE, screen);
    ::Sleep(kStepDelayMs);
    return sent;
}

bool ClickAt(POINT screen) {
    if (!MoveMouse(screen))
        return false;
    const bool down = PressLeft(screen);
    ::Sleep(kStepDelayMs);
    const bool up = SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, screen);
    ::Sleep(kStepDelayMs);
    return down && up;
}

bool DragMouse(POINT from, POINT to) {
    if (!MoveMouse(from) || !PressLeft(from))
        return false;
    ::Sleep(kStepDelayMs);
    bool sent = true;
    for (int step = 1; step <= kDragSteps; ++step) {
        const POINT at{from.x + (to.x - from.x) * step / kDragSteps,
                       from.y + (to.y - from.y) * step / kDragSteps};
        sent = SendMouse(MOUSEEVENTF_MOVE, at) && sent;
        ::Sleep(kStepDelayMs);
    }
    sent = SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, to) && sent;
    ::Sleep(kStepDelayMs);
    return sent;
}

bool PressKey(WORD virtual_key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtual_key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    const bool sent = ::SendInput(2, inputs, sizeof inputs[0]) == 2;
    ::Sleep(kStepDelayMs);
    return sent;
}

bool PressKeyWith(WORD modifier, WORD virtual_key) {
    INPUT inputs[4] = {};
    const WORD order[4] = {modifier, virtual_key, virtual_key, modifier};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = order[i];
        inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    const bool sent = ::SendInput(4, inputs, sizeof inputs[0]) == 4;
    ::Sleep(kStepDelayMs);
    return sent;
}

bool TypeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t ch : text) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = ch;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
        inputs.push_back(input);
        input.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    if (inputs.empty())
        return true;
    const bool sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(),
                                  sizeof inputs[0]) == inputs.size();
    ::Sleep(kStepDelayMs);
    return sent;
}

} // namespace fwdriver
