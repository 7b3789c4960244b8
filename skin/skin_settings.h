// SkinSettings: the reader of the skin file (English.ini beside the
// executable). It keeps the Common section's values as the defaults of every
// per-control entry and configures one control from one entry.
#pragma once
#include <windows.h>

#include "framework/afx_string.h"

class SkinnedBitmap;
class SkinnedLabel;
class CHoverButtonEx;

class SkinSettings {
public:
    SkinSettings() = default;
    virtual ~SkinSettings() = default;

    // Fixes the file's path: the executable's folder and the file name.
    void SetSkinFile(const CString& fileName);
    // Reads the Common section into the defaults; a missing file or key
    // leaves the defaults as they are.
    void LoadCommonSection();
    // The n-th comma-separated field of value, counting from 1.
    static CString GetField(const CString& value, int n);

    // Per-control entries: each configures an existing control window from
    // section/entry, or tells the user what failed and returns FALSE.
    BOOL LoadBitmapEntry(const CString& section, const CString& entry, SkinnedBitmap* control);
    BOOL LoadStaticEntry(const CString& section, const CString& entry, SkinnedLabel* control);
    BOOL LoadButtonEntry(const CString& section, const CString& entry, CHoverButtonEx* control);

    // One key of the file; FALSE (and an empty value) when it is not given.
    // Values are cut to their first 510 characters.
    BOOL ReadValue(const CString& section, const CString& key, CString& value) const;

    CString m_iniPath;
    CString m_moduleDir;
    CString m_fontName = "Helvetica Narrow";
    int m_fontSize = 10;
    int m_fontWeight = 400;
    COLORREF m_textColor = RGB(255, 255, 255);
    COLORREF m_bkColor = RGB(0, 0, 0);
    BOOL m_transparent = TRUE;
    COLORREF m_noActiveColor = RGB(255, 255, 255);
    COLORREF m_activeColor = RGB(255, 255, 255);
    int m_clickOffsetX = 2;
    int m_clickOffsetY = 2;
};

// The program's one skin reader. The application object points it at the
// skin file at start-up; every window loads its entries from it.
SkinSettings& TheSkin();
