#include "skin/skin_settings.h"

#include "skin/skin_values.h"

void SkinSettings::SetSkinFile(const CString& fileName) {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    CString modulePath(path, static_cast<int>(length < MAX_PATH ? length : MAX_PATH - 1));
    const int slash = modulePath.ReverseFind('\\');
    m_moduleDir = slash >= 0 ? modulePath.Left(slash + 1) : CString();
    m_iniPath = m_moduleDir + fileName;
}

BOOL SkinSettings::ReadValue(const CString& section, const CString& key, CString& value) const {
    // A buffer of 512 bytes with a declared size of 511: values are cut to
    // their first 510 characters, as the skin format has always promised.
    char buffer[512] = {};
    const DWORD read = ::GetPrivateProfileStringA(section, key, "", buffer, 511, m_iniPath);
    value = CString(buffer, static_cast<int>(read));
    return read != 0;
}

CString SkinSettings::GetField(const CString& value, int n) {
    return CString(GetFieldText(value.str(), n));
}

void SkinSettings::LoadCommonSection() {
    const CString section = "Common";
    CString value;
    if (ReadValue(section, "TextColor", value))
        m_textColor = ParseColour(value.str());
    if (ReadValue(section, "FontName", value))
        m_fontName = value;
    if (ReadValue(section, "FontSize", value))
        m_fontSize = static_cast<int>(AtolLike(value.str()));
    if (ReadValue(section, "FontWeight", value))
        m_fontWeight = static_cast<int>(AtolLike(value.str()));
    if (ReadValue(section, "Transparent", value))
        m_transparent = ParseFlag(value.str()) ? TRUE : FALSE;
    if (ReadValue(section, "BkColor", value))
        m_bkColor = ParseColour(value.str());
    if (ReadValue(section, "ActiveColor", value))
        m_activeColor = ParseColour(value.str());
    if (ReadValue(section, "NoActiveColor", value))
        m_noActiveColor = ParseColour(value.str());
    if (ReadValue(section, "ClickOffset", value)) {
        const PairValue offset = ParsePair(value.str());
        m_clickOffsetX = offset.a;
        m_clickOffsetY = offset.b;
    }
}
