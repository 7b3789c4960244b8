// Process-wide values through which the pages hand data to one another.
// Each is written on the user-interface thread before any reader runs, so
// none is locked; the two action flags are atomic because a worker thread
// sets them while the action popup polls them on its timer.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "framework/afx_string.h"

// 1 = "EN" (start value), 2 = "FR", 3 = "DE"; written by the language page.
extern int SelectedLanguage;

// Written by the login page when it accepts an address.
constexpr size_t kDeviceAddressSize = 96;
constexpr size_t kAdminPasswordSize = 128;
// The router's IPv4 address as "%d.%d.%d.%d"; empty until one is accepted.
extern char DeviceAddress[kDeviceAddressSize];
extern CString AdminUserName;
// At most 127 characters and the terminator.
extern char AdminPassword[kAdminPasswordSize];

// The operation shown by the action popup has ended.
extern std::atomic<uint8_t> ActionDone;
// In the popup's upgrade mode: close at the next tick instead of lingering.
extern std::atomic<uint8_t> ActionCloseNow;
