#include "tests/driver/user_input.h"

namespace fwdriver {
namespace {

constexpr DWORD kStepDelayMs = 20;
constexpr int kDragSteps = 10;

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

} // namespace

bool MoveMouse(POINT screen) {
    const bool sent = SendMouse(MOUSEEVENTF_MOVE, screen);
    ::Sleep(kStepDelayMs);
    return sent;
}

namespace {

// Waits until the system cursor stands at `screen`: a button that sees the
// press at one place and a late move to another drops the click.
void SettleAt(POINT screen) {
    constexpr int kChecks = 50;
    for (int i = 0; i < kChecks; ++i) {
        POINT at{};
        if (::GetCursorPos(&at) && at.x == screen.x && at.y == screen.y)
            return;
        ::Sleep(kStepDelayMs);
    }
}

} // namespace

bool ClickAt(POINT screen) {
    if (!MoveMouse(screen))
        return false;
    SettleAt(screen);
    const bool down = SendMouse(MOUSEEVENTF_LEFTDOWN, screen);
    ::Sleep(kStepDelayMs);
    const bool up = SendMouse(MOUSEEVENTF_LEFTUP, screen);
    ::Sleep(kStepDelayMs);
    return down && up;
}

bool DragMouse(POINT from, POINT to) {
    if (!MoveMouse(from) || !SendMouse(MOUSEEVENTF_LEFTDOWN, from))
        return false;
    ::Sleep(kStepDelayMs);
    bool sent = true;
    for (int step = 1; step <= kDragSteps; ++step) {
        const POINT at{from.x + (to.x - from.x) * step / kDragSteps,
                       from.y + (to.y - from.y) * step / kDragSteps};
        sent = SendMouse(MOUSEEVENTF_MOVE, at) && sent;
        ::Sleep(kStepDelayMs);
    }
    sent = SendMouse(MOUSEEVENTF_LEFTUP, to) && sent;
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

} // namespace fwdriver
