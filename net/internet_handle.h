#pragma once
#include <windows.h>
#include <wininet.h>

#include "framework/afx_handle.h"

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle None() { return nullptr; }
    static void Free(Handle handle) { ::InternetCloseHandle(handle); }
};

// One WinINet handle, closed with its owner.
using InternetHandle = UniqueHandle<InternetHandleTraits>;
