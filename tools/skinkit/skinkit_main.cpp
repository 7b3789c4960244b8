// skinkit: tools for skin authors, built from the program's own windows.
//   skinkit check DIR        one line per fault of DIR\English.ini and its
//                            pictures; exit 0 when there is none, 1 else
//   skinkit preview DIR OUT  every page, frame and popup caption as PNG
#include <cstdio>
#include <cstring>

#include "framework/afx_app.h"
#include "skin/skin_entries.h"
#include "tools/skinkit/skin_check.h"
#include "tools/skinkit/skin_preview.h"
#include "tools/skinkit/skinned_windows.h"

namespace {
constexpr int kUsage = 2;

void Usage() {
    std::fputs("usage: skinkit check DIR\n"
               "       skinkit preview DIR OUT\n",
               stderr);
}

CString Folder(const char* path) {
    CString folder(path);
    if (!folder.IsEmpty() && folder[folder.GetLength() - 1] != '\\' &&
        folder[folder.GetLength() - 1] != '/')
        folder += "\\";
    return folder;
}

// The loaders' messages (the preview loads entries as the windows do) go
// to the error output, not to a message box nobody is there to close.
void ToErrorOutput(const char* message) {
    std::fprintf(stderr, "skinkit: %s\n", message);
}
} // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::strcmp(argv[1], "check") == 0;
    const bool preview = argc == 4 && std::strcmp(argv[1], "preview") == 0;
    if (!check && !preview) {
        Usage();
        return kUsage;
    }
    AfxInitCommonControls();
    SetSkinReporter(&ToErrorOutput);
    SkinSettings& skin = TheSkin();
    skin.m_moduleDir = Folder(argv[2]);
    skin.m_iniPath = skin.m_moduleDir + "English.ini";
    skin.LoadCommonSection();

    SkinnedWindows windows;
    if (check) {
        const std::vector<std::string> lines = CheckSkin(skin, windows.List());
        for (const std::string& line : lines)
            std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        return lines.empty() ? 0 : 1;
    }
    return RenderPreview(windows, argv[3]);
}
