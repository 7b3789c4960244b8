// Message pumps for the tests' user-interface thread.
#pragma once
#include <windows.h>

#include <functional>

// Dispatches what is waiting in this thread's queue (posted navigations).
void PumpMessages();
// Dispatches this thread's messages as they come for ms milliseconds.
void PumpFor(DWORD ms);
// Dispatches this thread's messages as they come until done() holds (true)
// or limitMs have passed (false).
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs);
