#include "pages/ini_file.h"

#include <windows.h>

#include <vector>

#include "framework/afx_app.h"

namespace {
constexpr size_t kBufferStep = 512;
// No INI line is this long; the bound only keeps a misbehaving reader from
// growing the buffer for ever.
constexpr size_t kBufferLimit = 1u << 20;
} // namespace

CString IniFile::Get(const char* section, const char* key, const char* defaultValue) {
    const char* fallback = defaultValue ? defaultValue : "";
    m_lastBufferSize = 0;
    if (!section || !key)
        return CString(fallback);
    std::vector<char> buffer(kBufferStep);
    for (;;) {
        const DWORD read = ::GetPrivateProfileStringA(section, key, fallback, buffer.data(),
                                                      static_cast<DWORD>(buffer.size()), m_path);
        // A text that filled the buffer may have been cut: read it again
        // with more room.
        if (static_cast<size_t>(read) + 1 < buffer.size() || buffer.size() >= kBufferLimit) {
            m_lastBufferSize = buffer.size();
            return CString(buffer.data(), static_cast<int>(read));
        }
        buffer.assign(buffer.size() + kBufferStep, '\0');
    }
}

CString MsgIniPath() {
    return AfxGetProgramFolder() + "MSG.ini";
}

CString ReadMsgText(const char* key) {
    return IniFile(MsgIniPath()).Get("MSG", key, "");
}
