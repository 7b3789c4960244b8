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

bool MakeFileOfSize(const std::string& path, uint64_t size) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool made = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    return made;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool done =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    ::CloseHandle(file);
    return done;
}
