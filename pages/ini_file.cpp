#include "pages/ini_file.h"

#include <windows.h>

#include <vector>

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
