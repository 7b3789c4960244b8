#include "tools/skinkit/skin_check.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "controls/bitmap_file_check.h"
#include "skin/skin_entries.h"
#include "skin/skin_values.h"
#include "tools/skinkit/template_layout.h"

namespace {

// What the reader keeps of a value, and of a face name.
constexpr size_t kMaxValueLength = 510;
constexpr size_t kMaxFaceNameLength = 31;
// Larger than any line a skin needs, so that a long value is seen whole.
constexpr DWORD kRawValueBuffer = 64 * 1024;
constexpr DWORD kSectionBuffer = 1024 * 1024;

std::string Printf(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// How many comma-separated numbers each numeric key holds: at least, at most.
struct NumberFields {
    int least;
    int most;
};
const std::map<std::string, NumberFields> kNumberKeys = {
    {"Position", {2, 2}},      {"Size", {2, 2}},     {"ClickOffset", {2, 2}},
    {"TextColor", {3, 3}},     {"BkColor", {3, 3}},  {"ActiveColor", {3, 3}},
    {"NoActiveColor", {3, 3}}, {"FontSize", {1, 2}}, {"FontWeight", {1, 1}},
    {"Transparent", {1, 1}},
};

const char* KindWord(ControlRow::Kind kind) {
    switch (kind) {
    case ControlRow::kBitmap:
        return "Bitmap";
    case ControlRow::kStatic:
        return "Static";
    case ControlRow::kButton:
        return "Button";
    default:
        return "";
    }
}

struct Picture {
    bool ok = false;
    int width = 0;
    int height = 0;
};

struct PlacedLabel {
    std::string section;
    std::string entry;
    RECT rect;
};

class Checker {
public:
    explicit Checker(const SkinSettings& skin) : m_skin(skin) {}

    std::vector<std::string> Run(const std::vector<SkinnedWindow>& windows) {
        if (::GetFileAttributesA(m_skin.m_iniPath) == INVALID_FILE_ATTRIBUTES) {
            m_lines.push_back(std::string(m_skin.m_iniPath.GetString()) + ": not found");
            return m_lines;
        }
        CheckValues("Common", "");
        for (const SkinnedWindow& window : windows)
            CheckWindow(window);
        return m_lines;
    }

private:
    void Report(const std::string& section, const std::string& key, const std::string& what) {
        const std::string line = "[" + section + "] " + key + ": " + what;
        if (m_seen.insert(line).second)
            m_lines.push_back(line);
    }

    bool RawValue(const std::string& section, const std::string& key, std::string* value) const {
        std::vector<char> buffer(kRawValueBuffer);
        const DWORD read = ::GetPrivateProfileStringA(
            section.c_str(), key.c_str(), "", buffer.data(), kRawValueBuffer, m_skin.m_iniPath);
        value->assign(buffer.data(), read);
        return read != 0;
    }

    // Every key of the section that starts with prefix ("" for all).
    std::vector<std::pair<std::string, std::string>> Keys(const std::string& section,
                                                          const std::string& prefix) const {
        std::vector<char> buffer(kSectionBuffer);
        const DWORD read = ::GetPrivateProfileSectionA(section.c_str(), buffer.data(),
                                                       kSectionBuffer, m_skin.m_iniPath);
        std::vector<std::pair<std::string, std::string>> keys;
        for (const char* line = buffer.data(); line < buffer.data() + read && *line;
             line += std::strlen(line) + 1) {
            const std::string text(line);
            const size_t equals = text.find('=');
            if (equals == std::string::npos)
                continue;
            std::string key = text.substr(0, equals);
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
                key.pop_back();
            if (key.compare(0, prefix.size(), prefix) == 0) {
                std::string value;
                RawValue(section, key, &value);
                keys.emplace_back(key, value);
            }
        }
        return keys;
    }

    // Values the reader would cut or misread, of one entry (or of Common).
    void CheckValues(const std::string& section, const std::string& entry) {
        const std::string prefix = entry.empty() ? "" : entry + ".";
        for (const auto& [key, value] : Keys(section, prefix)) {
            if (value.size() > kMaxValueLength)
                Report(section, key,
                       Printf("%zu characters, the reader keeps only the first %zu", value.size(),
                              kMaxValueLength));
            const std::string name = key.substr(prefix.size());
            if (name == "FontName" && value.size() > kMaxFaceNameLength)
                Report(section, key,
                       Printf("a face name of %zu characters, fonts take only the first %zu",
                              value.size(), kMaxFaceNameLength));
            const auto numeric = kNumberKeys.find(name);
            if (numeric != kNumberKeys.end() && !value.empty())
                CheckNumbers(section, key, value, numeric->second);
        }
    }

    void CheckNumbers(const std::string& section, const std::string& key, const std::string& value,
                      NumberFields fields) {
        int given = 0;
        for (size_t start = 0;; ++given) {
            const size_t comma = value.find(',', start);
            const std::string field = value.substr(start, comma - start);
            if (!IsWholeNumber(field)) {
                Report(section, key,
                       Printf("'%s' is not a number: read as %ld", field.c_str(), AtolLike(field)));
                return;
            }
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        ++given;
        if (given < fields.least || given > fields.most)
            Report(
                section, key,
                fields.least == fields.most
                    ? Printf("%d numbers where %d belong", given, fields.least)
                    : Printf("%d numbers where %d or %d belong", given, fields.least, fields.most));
    }

    // Blanks, a sign and digits, then blanks only: what the reader reads whole.
    static bool IsWholeNumber(const std::string& field) {
        size_t i = 0;
        while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
            ++i;
        if (i < field.size() && (field[i] == '+' || field[i] == '-'))
            ++i;
        const size_t digits = i;
        while (i < field.size() && field[i] >= '0' && field[i] <= '9')
            ++i;
        if (i == digits)
            return false;
        while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
            ++i;
        return i == field.size();
    }

    // The entry's Type, as the program's own gathering sees it.
    bool CheckKind(const ControlRow& row, const std::string& section, const std::string& entry) {
        CString problem;
        bool gathered = false;
        switch (row.kind) {
        case ControlRow::kBitmap: {
            BitmapEntry out;
            gathered = GatherBitmapEntry(m_skin, row.section, row.entry, &out, &problem);
            break;
        }
        case ControlRow::kStatic: {
            StaticEntry out;
            gathered = GatherStaticEntry(m_skin, row.section, row.entry, &out, &problem);
            break;
        }
        case ControlRow::kButton: {
            ButtonEntry out;
            gathered = GatherButtonEntry(m_skin, row.section, row.entry, &out, &problem);
            break;
        }
        default:
            return false;
        }
        if (gathered)
            return true;
        std::string type;
        if (!RawValue(section, entry + ".Type", &type))
            Report(section, entry + ".Type",
                   Printf("missing: a %s is loaded here", KindWord(row.kind)));
        else if (type != KindWord(row.kind))
            Report(section, entry + ".Type",
                   Printf("'%s', but a %s is loaded here", type.c_str(), KindWord(row.kind)));
        else
            Report(section, entry + ".FilePath", "missing");
        return false;
    }

    Picture CheckPicture(const ControlRow& row, const std::string& section,
                         const std::string& entry, const CString& path) {
        Picture picture;
        std::string named;
        RawValue(section, entry + ".FilePath", &named);
        std::ifstream file(path.GetString(), std::ios::binary);
        if (!file) {
            Report(section, entry + ".FilePath", "picture " + named + " not found");
            return picture;
        }
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
        const BitmapCheck check = CheckBitmapFile(bytes.data(), bytes.size());
        if (!check.ok) {
            Report(section, entry + ".FilePath", "picture " + named + " refused: " + check.error);
            return picture;
        }
        picture.ok = true;
        picture.width = check.width;
        picture.height = check.height < 0 ? -check.height : check.height;
        if (row.kind == ControlRow::kButton && picture.width % 3 != 0)
            Report(section, entry + ".FilePath",
                   Printf("strip %s is %d pixels wide, not a multiple of three", named.c_str(),
                          picture.width));
        return picture;
    }

    static RECT PlaceRect(const RECT& templateRect, int x, int y, int width, int height) {
        RECT rect = templateRect;
        if (x != -1 && y != -1)
            ::OffsetRect(&rect, x - rect.left, y - rect.top);
        if (width != -1 && height != -1) {
            rect.right = rect.left + width;
            rect.bottom = rect.top + height;
        }
        return rect;
    }

    void CheckWindow(const SkinnedWindow& window) {
        const TemplateLayout layout = MeasureTemplate(window.templateId);
        if (!layout.ok) {
            Report(window.name.GetString(), "(window)",
                   Printf("template %u could not be measured", window.templateId));
            return;
        }
        std::vector<PlacedLabel> labels;
        for (const ControlRow& row : window.rows) {
            if (row.kind == ControlRow::kPlain)
                continue;
            const std::string section = row.section.GetString();
            const std::string entry = row.entry.GetString();
            if (m_checkedEntries.insert(section + "\n" + entry).second)
                CheckValues(section, entry);
            if (!CheckKind(row, section, entry))
                continue;
            const auto item = layout.items.find(row.id);
            const RECT templateRect = item != layout.items.end() ? item->second : RECT{0, 0, 0, 0};
            RECT rect{};
            if (row.kind == ControlRow::kBitmap) {
                BitmapEntry out;
                CString problem;
                GatherBitmapEntry(m_skin, row.section, row.entry, &out, &problem);
                CheckPicture(row, section, entry, out.filePath);
                rect = PlaceRect(templateRect, out.x, out.y, out.width, out.height);
            } else if (row.kind == ControlRow::kButton) {
                ButtonEntry out;
                CString problem;
                GatherButtonEntry(m_skin, row.section, row.entry, &out, &problem);
                const Picture strip = CheckPicture(row, section, entry, out.filePath);
                if (!strip.ok)
                    continue;
                rect = PlaceRect(templateRect, out.x, out.y, strip.width / 3, strip.height);
            } else {
                StaticEntry out;
                CString problem;
                GatherStaticEntry(m_skin, row.section, row.entry, &out, &problem);
                rect = PlaceRect(templateRect, out.x, out.y, out.width, out.height);
                labels.push_back({section, entry, rect});
            }
            if (rect.left < 0 || rect.top < 0 || rect.right > layout.client.cx ||
                rect.bottom > layout.client.cy)
                Report(section, entry + ".Position",
                       Printf("%ld,%ld %ldx%ld lies outside the %s window (%ldx%ld)", rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top,
                              window.name.GetString(), layout.client.cx, layout.client.cy));
        }
        CheckOverlaps(labels);
    }

    // Labels shown in turn share one place exactly; any other overlap hides
    // part of a text.
    void CheckOverlaps(const std::vector<PlacedLabel>& labels) {
        for (size_t i = 0; i < labels.size(); ++i) {
            for (size_t j = 0; j < i; ++j) {
                RECT common;
                if (::EqualRect(&labels[i].rect, &labels[j].rect) ||
                    !::IntersectRect(&common, &labels[i].rect, &labels[j].rect))
                    continue;
                Report(labels[i].section, labels[i].entry + ".Position",
                       "overlaps " + labels[j].entry + " of [" + labels[j].section + "]");
            }
        }
    }

    const SkinSettings& m_skin;
    std::vector<std::string> m_lines;
    std::set<std::string> m_seen;
    std::set<std::string> m_checkedEntries;
};

} // namespace

std::vector<std::string> CheckSkin(const SkinSettings& skin,
                                   const std::vector<SkinnedWindow>& windows) {
    return Checker(skin).Run(windows);
}
