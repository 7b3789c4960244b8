#include "tools/skinkit/skin_preview.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "shared/timings.h"
#include "skin/skin_settings.h"
#include "tools/driver/screen_capture.h"

namespace {

// A page that shows another page's controls with their skin and nothing of
// its behaviour: no worker, no search, no check of what was typed.
class PreviewPage : public WizardPage {
public:
    PreviewPage(const SkinnedWindow& window) : WizardPage(window.templateId), m_name(window.name) {
        m_controls = window.rows;
    }

    BOOL OnInitDialog() override {
        WizardPage::OnInitDialog();
        for (const ControlRow& row : m_controls)
            Stage(row);
        return TRUE;
    }

    const CString m_name;

private:
    // The look a page has when it first shows.
    void Stage(const ControlRow& row) {
        char name[32] = {};
        ::GetClassNameA(row.control->m_hWnd, name, sizeof name);
        if (lstrcmpiA(name, "ComboBox") == 0) {
            // The language list with its first choice selected.
            row.control->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("EN"));
            row.control->SendMessage(CB_SETCURSEL, 0, 0);
        }
        // Until the router is found the language pack page shows its search
        // text and Detect, not the found text and Exit.
        if (m_name == "UpgradeLang" && (row.entry == "Label1" || row.entry == "Exit"))
            row.control->ShowWindow(SW_HIDE);
    }
};

void Pump(DWORD ms) {
    const DWORD start = ::GetTickCount();
    do {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        ::Sleep(10);
    } while (::GetTickCount() - start < ms);
}

// The window as it stands on the screen, once two pictures in a row agree.
bool Capture(HWND window, const std::string& path) {
    RECT area;
    ::GetWindowRect(window, &area);
    std::vector<std::uint8_t> last;
    std::vector<std::uint8_t> rgb;
    std::string error;
    for (int attempt = 0; attempt < 20; ++attempt) {
        // The windows paint as they do in the wizard, by their own
        // invalidations; forcing a repaint of all would change the order.
        Pump(100);
        if (!fwdriver::CaptureScreen(area, &rgb, &error))
            break;
        if (rgb == last)
            break;
        last.swap(rgb);
    }
    const std::wstring wide(path.begin(), path.end());
    if (last.empty() || !fwdriver::WritePng(area, last, wide, &error)) {
        std::fprintf(stderr, "skinkit: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// Every skinned button now shown in window (a page or the frame).
std::vector<HWND> ShownButtons(const std::vector<HWND>& windows) {
    std::vector<HWND> buttons;
    for (HWND parent : windows) {
        for (HWND child = ::GetWindow(parent, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            char name[32] = {};
            ::GetClassNameA(child, name, sizeof name);
            if (lstrcmpiA(name, "Button") == 0 && ::IsWindowVisible(child) &&
                (::GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW)
                buttons.push_back(child);
        }
    }
    return buttons;
}

} // namespace

int RenderPreview(const SkinnedWindows& windows, const char* outDir) {
    std::string out(outDir);
    if (!out.empty() && out.back() != '\\' && out.back() != '/')
        out += '\\';
    ::CreateDirectoryA(out.c_str(), nullptr);
    bool ok = true;

    // The pages in the program's main window, moved through with its own
    // Next: the frame changes with the page as it does in the wizard.
    std::vector<std::unique_ptr<PreviewPage>> pages;
    WizardMainDialog frame;
    for (const SkinnedWindow& window : windows.List()) {
        if (window.templateId == WizardMainDialog::IDD || window.templateId == ActionPopup::IDD)
            continue;
        pages.push_back(std::make_unique<PreviewPage>(window));
        frame.AddPage(pages.back().get(), static_cast<int>(window.templateId));
    }
    if (!frame.Create(WizardMainDialog::IDD, nullptr)) {
        std::fprintf(stderr, "skinkit: the main window could not be made\n");
        return 1;
    }
    frame.SetWindowPos(nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    frame.ShowWindow(SW_SHOW);
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            frame.OnNext();
        const std::string name = out + std::to_string(i + 1) + "-" + pages[i]->m_name.GetString();
        ok = Capture(frame.m_hWnd, name + ".png") && ok;
        const std::vector<HWND> buttons = ShownButtons({pages[i]->m_hWnd, frame.m_hWnd});
        if (buttons.empty())
            continue;
        for (HWND button : buttons)
            ::SendMessageA(button, WM_MOUSEHOVER, 0, 0);
        ok = Capture(frame.m_hWnd, name + "-hover.png") && ok;
        for (HWND button : buttons)
            ::SendMessageA(button, BM_SETSTATE, TRUE, 0);
        ok = Capture(frame.m_hWnd, name + "-pressed.png") && ok;
        for (HWND button : buttons) {
            ::SendMessageA(button, BM_SETSTATE, FALSE, 0);
            ::SendMessageA(button, WM_MOUSELEAVE, 0, 0);
        }
    }
    frame.DestroyWindow();

    // The wait popup with each caption; its pictures do not move while the
    // preview is taken.
    TheTimings.actionTickPeriodMs = 0x7FFFFFFF;
    std::vector<std::string> seen;
    for (int mode : kActionPopupModes) {
        const char* caption = ActionCaptionEntry(mode);
        const std::string entry = caption ? caption : "";
        if (!caption || std::find(seen.begin(), seen.end(), entry) != seen.end())
            continue;
        seen.push_back(entry);
        ActionPopup popup;
        popup.m_mode = mode;
        if (!popup.Create(ActionPopup::IDD, nullptr)) {
            std::fprintf(stderr, "skinkit: the wait popup could not be made\n");
            ok = false;
            continue;
        }
        popup.SetWindowPos(HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        ok = Capture(popup.m_hWnd, out + "Action-" + entry + ".png") && ok;
        popup.DestroyWindow();
    }
    return ok ? 0 : 1;
}
