// IniFile: reads values of one INI file with the system's private-profile
// reader. Nothing is cached: every Get reads the file again, so a change to
// the file takes effect at the next use.
#pragma once
#include "framework/afx_string.h"

class IniFile {
public:
    explicit IniFile(const CString& path) : m_path(path) {}

    // The text under key in section, or defaultValue (empty when null) when
    // the file, the section or the key is missing. Values of any length are
    // read whole: the buffer grows until the text fits. With no section or
    // no key the result is a copy of the default.
    CString Get(const char* section, const char* key, const char* defaultValue = nullptr);

    const CString& GetPath() const { return m_path; }
    // Size in characters of the buffer the last Get ended with (tests).
    size_t LastBufferSize() const { return m_lastBufferSize; }

private:
    CString m_path;
    size_t m_lastBufferSize = 0;
};

// The message and settings file beside the program: the program file's
// folder followed by "\MSG.ini". Computed anew at every call.
CString MsgIniPath();
// One text of section "MSG" of that file; empty when it is missing.
CString ReadMsgText(const char* key);
