#include "tests/support/handle_close_watch.h"

namespace {
HandleCloseWatch* g_current = nullptr;
decltype(&::InternetCloseHandle) g_realClose = nullptr;
} // namespace

const std::vector<DWORD> HandleCloseWatch::kChildFirst = {INTERNET_HANDLE_TYPE_HTTP_REQUEST,
                                                          INTERNET_HANDLE_TYPE_CONNECT_HTTP,
                                                          INTERNET_HANDLE_TYPE_INTERNET};

HandleCloseWatch::HandleCloseWatch()
    : m_hook("wininet.dll", "InternetCloseHandle", reinterpret_cast<void*>(&Close)) {
    g_realClose = m_hook.Original<decltype(&::InternetCloseHandle)>();
    g_current = this;
}

HandleCloseWatch::~HandleCloseWatch() {
    g_current = nullptr;
}

std::vector<DWORD> HandleCloseWatch::Closed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closed;
}

void HandleCloseWatch::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed.clear();
}

BOOL WINAPI HandleCloseWatch::Close(HINTERNET handle) {
    DWORD type = 0;
    DWORD size = sizeof type;
    if (!::InternetQueryOptionA(handle, INTERNET_OPTION_HANDLE_TYPE, &type, &size))
        type = 0;
    if (HandleCloseWatch* watch = g_current) {
        std::lock_guard<std::mutex> lock(watch->m_mutex);
        watch->m_closed.push_back(type);
    }
    return g_realClose(handle);
}
