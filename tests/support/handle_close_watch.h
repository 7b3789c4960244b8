// Records the kind of every WinINet handle this program closes, in order,
// through its import table, for the tests of the order in which handles go.
#pragma once
#include <windows.h>

#include <wininet.h>

#include <mutex>
#include <vector>

#include "tests/support/import_hook.h"

class HandleCloseWatch {
public:
    // Request, connection, root: the order the library asks for.
    static const std::vector<DWORD> kChildFirst;

    HandleCloseWatch(); // one watch at a time
    ~HandleCloseWatch();
    HandleCloseWatch(const HandleCloseWatch&) = delete;
    HandleCloseWatch& operator=(const HandleCloseWatch&) = delete;

    bool Installed() const { return m_hook.Installed(); }
    // INTERNET_HANDLE_TYPE_* of each handle closed (0: not a live handle).
    std::vector<DWORD> Closed();
    void Clear();

private:
    static BOOL WINAPI Close(HINTERNET handle);
    ImportHook m_hook;
    std::mutex m_mutex;
    std::vector<DWORD> m_closed;
};
