// The records a skin entry is gathered into before it is applied to its
// control, and the reporter through which the loaders tell the user what
// went wrong. Gathering reads the file only, so it can be checked without
// any window.
#pragma once
#include <windows.h>

#include "framework/afx_string.h"

class SkinSettings;

// -1 in a position or size field: not given, the control is not moved or
// resized.
struct BitmapEntry {
    CString filePath;
    int x = -1;
    int y = -1;
    int width = -1;
    int height = -1;
};

// The font of a label or a button.
struct FontEntry {
    CString name;
    int pointSize = -1; // -1 when the entry gives width and height
    int width = -1;
    int height = -1;
    int weight = 400;
};

struct StaticEntry {
    int x = -1;
    int y = -1;
    int width = -1;
    int height = -1;
    COLORREF textColor = 0;
    CString text;
    FontEntry font;
    BOOL transparent = FALSE;
    COLORREF bkColor = 0;
};

struct ButtonEntry {
    CString filePath;
    int x = -1;
    int y = -1;
    CString text;
    FontEntry font;
    COLORREF activeColor = 0;
    COLORREF noActiveColor = 0;
    int clickOffsetX = 2;
    int clickOffsetY = 2;
    CString toolTip;
};

// Each returns TRUE with the record filled, or FALSE with the message to
// show in *problem (wrong kind, missing file path).
BOOL GatherBitmapEntry(const SkinSettings& skin, const CString& section, const CString& entry,
                       BitmapEntry* out, CString* problem);
BOOL GatherStaticEntry(const SkinSettings& skin, const CString& section, const CString& entry,
                       StaticEntry* out, CString* problem);
BOOL GatherButtonEntry(const SkinSettings& skin, const CString& section, const CString& entry,
                       ButtonEntry* out, CString* problem);

// Where the loaders' failure messages go: by default a modal AfxMessageBox
// with an OK button. Returns the previous reporter; null restores the
// default.
using SkinReporter = void (*)(const char* message);
SkinReporter SetSkinReporter(SkinReporter reporter);
// Tells the current reporter a problem found earlier.
void ReportSkinProblem(const char* message);
