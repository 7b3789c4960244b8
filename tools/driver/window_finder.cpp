#include "tools/driver/window_finder.h"

namespace fwdriver {
namespace {

constexpr UINT kMessageTimeoutMs = 2000;
constexpr int kMessageBoxTextId = 0xFFFF;

struct ControlSearch {
    int id = 0;
    bool visible_only = true;
    HWND found = nullptr;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId())
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK MatchControl(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ControlSearch*>(param);
    if (::GetDlgCtrlID(hwnd) != search->id)
        return TRUE;
    if (search->visible_only && !::IsWindowVisible(hwnd))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

} // namespace

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                          nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring WindowText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                               &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return {};
    text.resize(copied);
    return text;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    const int length = ::GetClassNameW(hwnd, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::vector<HWND> OtherTopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring Caption(HWND hwnd) {
    // GetWindowText reads another process's caption without sending it a
    // message, so a busy program cannot stall the search.
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

HWND FindTopLevel(const std::wstring& caption) {
    for (HWND hwnd : OtherTopLevelWindows()) {
        if (::IsWindowVisible(hwnd) && Caption(hwnd) == caption)
            return hwnd;
    }
    return nullptr;
}

HWND FindControl(int id, bool visible_only) {
    ControlSearch search{id, visible_only, nullptr};
    for (HWND top : OtherTopLevelWindows()) {
        if (visible_only && !::IsWindowVisible(top))
            continue;
        // EnumChildWindows walks every descendant, so pages (child dialogs) count.
        ::EnumChildWindows(top, MatchControl, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
    }
    return nullptr;
}

HWND FindMessageBox() {
    for (HWND top : OtherTopLevelWindows()) {
        if (!::IsWindowVisible(top) || ClassName(top) != L"#32770")
            continue;
        if (::GetDlgItem(top, kMessageBoxTextId))
            return top;
    }
    return nullptr;
}

} // namespace fwdriver
