// Mouse and keyboard input as a user makes it: SendInput, so that the target
// sees hardware messages in its queue (hit-testing, capture, focus changes).
#pragma once

#include <windows.h>

#include <string>

namespace fwdriver {

bool MoveMouse(POINT screen);
bool ClickAt(POINT screen);
// Button down at `from`, moves in steps, up at `to`.
bool DragMouse(POINT from, POINT to);
bool PressKey(WORD virtual_key);
// Holds modifier (VK_MENU for Alt...) down while virtual_key is pressed.
bool PressKeyWith(WORD modifier, WORD virtual_key);
// Types the characters as key presses (KEYEVENTF_UNICODE), so that they
// reach the focused window after any click made before, in order.
bool TypeText(const std::wstring& text);

} // namespace fwdriver
