// ControlTable: the controls of one window, each described once: its dialog
// item, the member bound to it and the skin entry that configures it. The
// same table binds the members to their items (data exchange) and loads
// their skin, in table order.
#pragma once
#include <vector>

#include "framework/afx.h"

class CHoverButtonEx;
class SkinSettings;
class SkinnedBitmap;
class SkinnedLabel;

struct ControlRow {
    enum Kind { kPlain, kBitmap, kStatic, kButton };

    // A control that is bound but takes no skin entry (list, edit, ...).
    ControlRow(int id, CWnd& control) : id(id), control(&control) {}
    ControlRow(int id, SkinnedBitmap& control, const char* section, const char* entry);
    ControlRow(int id, SkinnedLabel& control, const char* section, const char* entry);
    ControlRow(int id, CHoverButtonEx& control, const char* section, const char* entry);

    int id;
    CWnd* control;
    Kind kind = kPlain;
    CString section;
    CString entry;
};

using ControlTable = std::vector<ControlRow>;

// count labels, Label1 .. Label<count> of section, on the items ids.
void AddLabelRows(ControlTable& table, const char* section, const int* ids, SkinnedLabel* labels,
                  int count);

// Binds every member of the table to its dialog item.
void BindControls(CDataExchange* dx, const ControlTable& table);
// Configures every skinned control from its entry; a failed entry is
// reported (see SetSkinReporter) and the next one is loaded all the same.
void LoadControlSkins(SkinSettings& skin, const ControlTable& table);
// The same for one row.
void LoadControlSkin(SkinSettings& skin, const ControlRow& row);
