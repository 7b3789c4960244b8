#include "tests/pages/page_test_support.h"

#include <algorithm>
#include <fstream>

#include "wizard/wizard_messages.h"
#include "res/resource.h"

RecordingHost::RecordingHost() : WizardHostDialog(IDD_MAIN) {}

BOOL RecordingHost::OnInitDialog() {
    SetPlaceholderId(IDC_PAGE_PLACEHOLDER);
    return WizardHostDialog::OnInitDialog();
}

LRESULT RecordingHost::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WIZARD_NAVIGATE) {
        m_navigations.push_back(wParam);
        return 0;
    }
    return WizardHostDialog::WindowProc(message, wParam, lParam);
}

bool RecordingHost::Open() {
    return Create(IDD_MAIN, nullptr);
}

MessageBoxWatcher::MessageBoxWatcher()
    : m_uiThread(::GetCurrentThreadId()), m_thread([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    m_stop = true;
    m_thread.join();
}

std::vector<std::string> MessageBoxWatcher::Texts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

void MessageBoxWatcher::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_texts.clear();
}

void MessageBoxWatcher::Run() {
    // The application's boxes and the pages' "Warning" boxes.
    const std::string caption = AfxGetApp() ? AfxGetApp()->m_pszAppName : "";
    const std::string warning = "Warning";
    while (!m_stop) {
        struct Search {
            const std::string* caption;
            const std::string* warning;
            std::vector<HWND> boxes;
        } search{&caption, &warning, {}};
        ::EnumThreadWindows(
            m_uiThread,
            [](HWND window, LPARAM raw) -> BOOL {
                auto* s = reinterpret_cast<Search*>(raw);
                char className[32] = {};
                char text[256] = {};
                ::GetClassNameA(window, className, sizeof className);
                ::GetWindowTextA(window, text, sizeof text);
                if (::IsWindowVisible(window) && std::string(className) == "#32770" &&
                    (*s->caption == text || *s->warning == text))
                    s->boxes.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            if (std::find(m_seen.begin(), m_seen.end(), box) != m_seen.end())
                continue;
            m_seen.push_back(box);
            // The message box's text is its static control 0xFFFF.
            char text[1024] = {};
            ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_texts.emplace_back(text);
            }
            ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        ::Sleep(20);
    }
}

void PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
    const ULONGLONG end = ::GetTickCount64() + limitMs;
    while (!done()) {
        if (::GetTickCount64() >= end)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}

void ClickCommand(CWnd& dialog, int id) {
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(dialog.GetDlgItem(id)));
}

bool HasVisibleStyle(CWnd& window) {
    return (window.GetStyle() & WS_VISIBLE) != 0;
}

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool SaveWindowShot(HWND window, const std::string& name) {
    // The X server shows what Wine drew a little later.
    for (int i = 0; i < 10; ++i) {
        PumpMessages();
        ::Sleep(30);
    }
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<size_t>(stride) * height);
    const int rows = ::GetDIBits(memory, bitmap, 0, height, pixels.data(),
                                 reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    if (rows != height)
        return false;
    const std::string folder = ProgramFolder() + "shots";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::ofstream out(folder + "\\" + name + ".bmp", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}
