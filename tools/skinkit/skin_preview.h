// The skin preview: every page in the main window's frame as the wizard
// shows it (its buttons also hovered and pressed), and the wait popup with
// each of its captions, drawn by the program's own windows and controls and
// written as PNG files.
#pragma once
#include "tools/skinkit/skinned_windows.h"

// Loads from TheSkin(); 0 when every picture was written, 1 else.
int RenderPreview(const SkinnedWindows& windows, const char* outDir);
