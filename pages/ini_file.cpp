#include "pages/ini_file.h"

#include <windows.h>

#include "framework/afx_app.h"
#include "framework/profile_text.h"

CString IniFile::Get(const char* section, const char* key, const char* defaultValue) {
    const char* fallback = defaultValue ? defaultValue : "";
    m_lastBufferSize = 0;
    if (!section || !key)
        return CString(fallback);
    const ProfileRead read = [&](char* buffer, size_t size) -> size_t {
        return ::GetPrivateProfileStringA(section, key, fallback, buffer, static_cast<DWORD>(size),
                                          m_path);
    };
    return CString(ReadWholeProfileText(read, &m_lastBufferSize));
}

CString MsgIniPath() {
    return AfxGetProgramFolder() + "MSG.ini";
}

CString ReadMsgText(const char* key) {
    return IniFile(MsgIniPath()).Get("MSG", key, "");
}
