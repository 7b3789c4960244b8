#include <cstdarg>

#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "framework/afx_app.h"
#include "skin/skin_entries.h"
#include "skin/skin_settings.h"
#include "skin/skin_values.h"

namespace {

void ShowMessageBox(const char* message) {
    AfxMessageBox(message, MB_OK, 0);
}

SkinReporter g_reporter = &ShowMessageBox;

CString Formatted(const char* format, ...) {
    CString text;
    va_list args;
    va_start(args, format);
    text.FormatV(format, args);
    va_end(args);
    return text;
}

// Reads the entry's key "<entry>.<name>"; FALSE when it is not given.
class EntryReader {
public:
    EntryReader(const SkinSettings& skin, const CString& section, const CString& entry)
        : m_skin(skin), m_section(section), m_entry(entry) {}

    CString KeyName(const char* name) const {
        return Formatted("%s.%s", m_entry.GetString(), name);
    }
    BOOL Read(const char* name, CString& value) const {
        return m_skin.ReadValue(m_section, KeyName(name), value);
    }

    // The kind check: Type must be exactly the kind's word, case and all.
    BOOL CheckKind(const char* kind, CString* problem) const {
        CString value;
        Read("Type", value);
        if (value == kind)
            return TRUE;
        *problem = Formatted(
            "Load user interface setting failure, type not match,[SectionName]=%s,[KeyName]=%s",
            m_section.GetString(), KeyName("Type").GetString());
        return FALSE;
    }

    // The picture or strip beside the executable.
    BOOL ReadFilePath(CString* path, CString* problem) const {
        CString value;
        if (!Read("FilePath", value)) {
            *problem =
                Formatted("Load user interface setting failure,[SectionName]=%s,[KeyName]=%s",
                          m_section.GetString(), KeyName("FilePath").GetString());
            return FALSE;
        }
        *path = Formatted("%s%s", m_skin.m_moduleDir.GetString(), value.GetString());
        return TRUE;
    }

    void ReadPair(const char* name, int* first, int* second) const {
        CString value;
        PairValue pair;
        if (Read(name, value))
            pair = ParsePair(value.str());
        *first = pair.a;
        *second = pair.b;
    }

    COLORREF ReadColour(const char* name, COLORREF common) const {
        CString value;
        return Read(name, value) ? static_cast<COLORREF>(ParseColour(value.str())) : common;
    }

    CString ReadText(const char* name, const CString& common) const {
        CString value;
        return Read(name, value) ? value : common;
    }

    int ReadNumber(const char* name, int common) const {
        CString value;
        return Read(name, value) ? static_cast<int>(AtolLike(value.str())) : common;
    }

    // FontName, FontSize and FontWeight, each the Common value when not given.
    FontEntry ReadFont() const {
        FontEntry font;
        font.name = ReadText("FontName", m_skin.m_fontName);
        CString value;
        const BOOL given = Read("FontSize", value);
        const FontSizeValue size = ParseFontSize(value.str(), given != FALSE, m_skin.m_fontSize);
        font.pointSize = size.points;
        font.width = size.width;
        font.height = size.height;
        font.weight = ReadNumber("FontWeight", m_skin.m_fontWeight);
        return font;
    }

private:
    const SkinSettings& m_skin;
    const CString& m_section;
    const CString& m_entry;
};

// Moving comes before resizing; -1 in either field leaves that step out.
void MoveAndResize(CWnd* control, int x, int y, int width, int height) {
    if (x != -1 && y != -1)
        control->SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    if (width != -1 && height != -1)
        control->SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

// Labels and buttons take their font alike: plain (neither underlined nor
// italic), sized by points or by width and height, then named.
template <class Control> void ApplyFont(Control* control, const FontEntry& font) {
    control->SetFontWeight(font.weight);
    control->SetFontUnderline(0);
    control->SetFontItalic(0);
    if (font.pointSize != -1)
        control->SetFontPointSize(font.pointSize);
    else
        control->SetFontExtent(font.width, font.height);
    control->SetFontName(font.name, 0);
}

BOOL Report(const CString& message) {
    g_reporter(message);
    return FALSE;
}

} // namespace

SkinReporter SetSkinReporter(SkinReporter reporter) {
    SkinReporter previous = g_reporter;
    g_reporter = reporter ? reporter : &ShowMessageBox;
    return previous;
}

void ReportSkinProblem(const char* message) {
    g_reporter(message);
}

BOOL GatherBitmapEntry(const SkinSettings& skin, const CString& section, const CString& entry,
                       BitmapEntry* out, CString* problem) {
    const EntryReader reader(skin, section, entry);
    BitmapEntry gathered;
    if (!reader.CheckKind("Bitmap", problem) || !reader.ReadFilePath(&gathered.filePath, problem))
        return FALSE;
    reader.ReadPair("Position", &gathered.x, &gathered.y);
    reader.ReadPair("Size", &gathered.width, &gathered.height);
    *out = gathered;
    return TRUE;
}

BOOL GatherStaticEntry(const SkinSettings& skin, const CString& section, const CString& entry,
                       StaticEntry* out, CString* problem) {
    const EntryReader reader(skin, section, entry);
    if (!reader.CheckKind("Static", problem))
        return FALSE;
    StaticEntry gathered;
    reader.ReadPair("Position", &gathered.x, &gathered.y);
    reader.ReadPair("Size", &gathered.width, &gathered.height);
    gathered.textColor = reader.ReadColour("TextColor", skin.m_textColor);
    // Exactly as read: a label keeps backslash sequences as they are.
    gathered.text = reader.ReadText("TextString", CString());
    gathered.font = reader.ReadFont();
    CString flag;
    gathered.transparent = reader.Read("Transparent", flag) ? (ParseFlag(flag.str()) ? TRUE : FALSE)
                                                            : skin.m_transparent;
    gathered.bkColor = reader.ReadColour("BkColor", skin.m_bkColor);
    *out = gathered;
    return TRUE;
}

BOOL GatherButtonEntry(const SkinSettings& skin, const CString& section, const CString& entry,
                       ButtonEntry* out, CString* problem) {
    const EntryReader reader(skin, section, entry);
    ButtonEntry gathered;
    if (!reader.CheckKind("Button", problem) || !reader.ReadFilePath(&gathered.filePath, problem))
        return FALSE;
    reader.ReadPair("Position", &gathered.x, &gathered.y);
    CString text;
    if (reader.Read("TextString", text))
        gathered.text = CString(ReplaceButtonEscapes(text.str()));
    gathered.font = reader.ReadFont();
    gathered.activeColor = reader.ReadColour("ActiveColor", skin.m_activeColor);
    gathered.noActiveColor = reader.ReadColour("NoActiveColor", skin.m_noActiveColor);
    CString offset;
    if (reader.Read("ClickOffset", offset)) {
        const PairValue pair = ParsePair(offset.str());
        gathered.clickOffsetX = pair.a;
        gathered.clickOffsetY = pair.b;
    } else {
        gathered.clickOffsetX = skin.m_clickOffsetX;
        gathered.clickOffsetY = skin.m_clickOffsetY;
    }
    gathered.toolTip = reader.ReadText("ToolTip", CString());
    *out = gathered;
    return TRUE;
}

BOOL SkinSettings::LoadBitmapEntry(const CString& section, const CString& entry,
                                   SkinnedBitmap* control) {
    BitmapEntry gathered;
    CString problem;
    if (!GatherBitmapEntry(*this, section, entry, &gathered, &problem))
        return Report(problem);
    if (!control->LoadBitmapFile(gathered.filePath))
        return Report(
            Formatted("Load bitmap file failure,file name=%s", gathered.filePath.GetString()));
    MoveAndResize(control, gathered.x, gathered.y, gathered.width, gathered.height);
    return TRUE;
}

BOOL SkinSettings::LoadStaticEntry(const CString& section, const CString& entry,
                                   SkinnedLabel* control) {
    StaticEntry gathered;
    CString problem;
    if (!GatherStaticEntry(*this, section, entry, &gathered, &problem))
        return Report(problem);
    ApplyFont(control, gathered.font);
    control->SetTransparent(gathered.transparent);
    control->SetText(gathered.text);
    control->SetTextColor(gathered.textColor);
    control->SetBkColor(gathered.bkColor, 0, 0);
    MoveAndResize(control, gathered.x, gathered.y, gathered.width, gathered.height);
    return TRUE;
}

BOOL SkinSettings::LoadButtonEntry(const CString& section, const CString& entry,
                                   CHoverButtonEx* control) {
    ButtonEntry gathered;
    CString problem;
    if (!GatherButtonEntry(*this, section, entry, &gathered, &problem))
        return Report(problem);
    if (!control->LoadButtonBitmap(gathered.filePath))
        return Report(
            Formatted("Load bitmap file failure,file name=%s", gathered.filePath.GetString()));
    control->SetTextColors(gathered.activeColor, gathered.noActiveColor);
    control->SetClickOffset(gathered.clickOffsetX, gathered.clickOffsetY);
    ApplyFont(control, gathered.font);
    // Activated even when the text is empty.
    control->SetToolTipText(&gathered.toolTip, TRUE);
    control->SetWindowText(gathered.text);
    // A button takes the size of its state image: moved only.
    MoveAndResize(control, gathered.x, gathered.y, -1, -1);
    return TRUE;
}
