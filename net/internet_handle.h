#pragma once
#include <windows.h>
#include <wininet.h>

// One WinINet handle, closed with its owner.
class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : m_handle(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { Close(); }

    HINTERNET Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset(HINTERNET handle) {
        Close();
        m_handle = handle;
    }
    void Close() {
        if (m_handle)
            ::InternetCloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    HINTERNET m_handle = nullptr;
};
