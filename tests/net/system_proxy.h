#pragma once
// Sets the user's proxy (the Internet Settings WinINet reads when a handle
// asks for the preconfigured settings) for the life of the object, in this
// test's private Wine prefix.
#include <windows.h>

#include <string>

class SystemProxy {
public:
    explicit SystemProxy(const std::string& server) {
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &m_key, nullptr) != ERROR_SUCCESS) {
            m_key = nullptr;
            return;
        }
        const DWORD enable = 1;
        m_set = ::RegSetValueExA(m_key, "ProxyEnable", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&enable),
                                 sizeof enable) == ERROR_SUCCESS &&
                ::RegSetValueExA(m_key, "ProxyServer", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(server.c_str()),
                                 static_cast<DWORD>(server.size() + 1)) == ERROR_SUCCESS;
    }
    SystemProxy(const SystemProxy&) = delete;
    SystemProxy& operator=(const SystemProxy&) = delete;
    ~SystemProxy() {
        if (!m_key)
            return;
        ::RegDeleteValueA(m_key, "ProxyEnable");
        ::RegDeleteValueA(m_key, "ProxyServer");
        ::RegCloseKey(m_key);
    }

    bool Set() const { return m_set; }

private:
    static constexpr const char* kKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    HKEY m_key = nullptr;
    bool m_set = false;
};
