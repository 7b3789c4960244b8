#include "pages/ini_file.h"

#include <windows.h>

#include "framework/profile_text.h"

#include <vector>

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
    // The program's own path; long paths get a bigger buffer instead of
    // being cut.
    std::vector<char> path(MAX_PATH + 1);
    DWORD length = 0;
    for (;;) {
        length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size() || path.size() >= 32768)
            break;
        path.assign(path.size() * 2, '\0');
    }
    CString folder(path.data(), static_cast<int>(length));
    const int slash = folder.ReverseFind('\\');
    if (slash >= 0)
        folder = folder.Left(slash);
    return folder + "\\MSG.ini";
}

CString ReadMsgText(const char* key) {
    return IniFile(MsgIniPath()).Get("MSG", key, "");
}
