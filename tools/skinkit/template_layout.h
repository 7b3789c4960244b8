// The size of a window and the places of its items as a dialog template
// gives them, in pixels: a hidden copy of the dialog is made and measured.
#pragma once
#include <windows.h>

#include <map>

struct TemplateLayout {
    bool ok = false;
    SIZE client{0, 0};
    std::map<int, RECT> items; // by item id, in the window's client coordinates
};

TemplateLayout MeasureTemplate(UINT templateId);
