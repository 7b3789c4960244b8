#include "skin/skin_settings.h"

#include "framework/afx_app.h"
#include "framework/profile_text.h"
#include "skin/common_section.h"
#include "skin/skin_values.h"

SkinSettings& TheSkin() {
    static SkinSettings skin;
    return skin;
}

void SkinSettings::SetSkinFile(const CString& fileName) {
    m_moduleDir = AfxGetProgramFolder();
    m_iniPath = m_moduleDir + fileName;
}

BOOL SkinSettings::ReadValue(const CString& section, const CString& key, CString& value) const {
    // Values are cut to their first 510 characters, as the skin format has
    // always promised.
    value = CString(ReadCutProfileText([&](char* buffer, size_t size) -> size_t {
        return ::GetPrivateProfileStringA(section, key, "", buffer, static_cast<DWORD>(size),
                                          m_iniPath);
    }));
    return !value.IsEmpty();
}

CString SkinSettings::GetField(const CString& value, int n) {
    return CString(GetFieldText(value.str(), n));
}

void SkinSettings::LoadCommonSection() {
    CommonSection common;
    common.fontName = m_fontName.str();
    common.fontSize = m_fontSize;
    common.fontWeight = m_fontWeight;
    common.textColor = m_textColor;
    common.bkColor = m_bkColor;
    common.transparent = m_transparent != FALSE;
    common.noActiveColor = m_noActiveColor;
    common.activeColor = m_activeColor;
    common.clickOffsetX = m_clickOffsetX;
    common.clickOffsetY = m_clickOffsetY;
    ReadCommonSection(
        [this](const char* key, std::string* value) {
            CString text;
            const BOOL given = ReadValue("Common", key, text);
            *value = text.str();
            return given != FALSE;
        },
        &common);
    m_fontName = CString(common.fontName);
    m_fontSize = common.fontSize;
    m_fontWeight = common.fontWeight;
    m_textColor = common.textColor;
    m_bkColor = common.bkColor;
    m_transparent = common.transparent ? TRUE : FALSE;
    m_noActiveColor = common.noActiveColor;
    m_activeColor = common.activeColor;
    m_clickOffsetX = common.clickOffsetX;
    m_clickOffsetY = common.clickOffsetY;
}
