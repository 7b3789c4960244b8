#include "skin/control_table.h"

#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "skin/skin_settings.h"

ControlRow::ControlRow(int id, SkinnedBitmap& control, const char* section, const char* entry)
    : id(id), control(&control), kind(kBitmap), section(section), entry(entry) {}

ControlRow::ControlRow(int id, SkinnedLabel& control, const char* section, const char* entry)
    : id(id), control(&control), kind(kStatic), section(section), entry(entry) {}

ControlRow::ControlRow(int id, CHoverButtonEx& control, const char* section, const char* entry)
    : id(id), control(&control), kind(kButton), section(section), entry(entry) {}

void AddLabelRows(ControlTable& table, const char* section, const int* ids, SkinnedLabel* labels,
                  int count) {
    for (int i = 0; i < count; ++i) {
        CString entry;
        entry.Format("Label%d", i + 1);
        table.emplace_back(ids[i], labels[i], section, entry.GetString());
    }
}

void BindControls(CDataExchange* dx, const ControlTable& table) {
    for (const ControlRow& row : table)
        DDX_Control(dx, row.id, *row.control);
}

void LoadControlSkins(SkinSettings& skin, const ControlTable& table) {
    for (const ControlRow& row : table)
        LoadControlSkin(skin, row);
}

void LoadControlSkin(SkinSettings& skin, const ControlRow& row) {
    switch (row.kind) {
    case ControlRow::kBitmap:
        skin.LoadBitmapEntry(row.section, row.entry, static_cast<SkinnedBitmap*>(row.control));
        break;
    case ControlRow::kStatic:
        skin.LoadStaticEntry(row.section, row.entry, static_cast<SkinnedLabel*>(row.control));
        break;
    case ControlRow::kButton:
        skin.LoadButtonEntry(row.section, row.entry, static_cast<CHoverButtonEx*>(row.control));
        break;
    case ControlRow::kPlain:
        break;
    }
}
