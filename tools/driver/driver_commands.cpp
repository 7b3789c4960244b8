#include "tools/driver/driver_commands.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "tools/driver/accessible_name.h"
#include "tools/driver/screen_capture.h"
#include "tools/driver/user_input.h"
#include "tools/driver/window_finder.h"

namespace fwdriver {
namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 5000;
// How long a click may take to show its effect on a loaded machine.
constexpr DWORD kFocusTimeoutMs = 10000;
constexpr DWORD kDismissTimeoutMs = 10000;
constexpr DWORD kTypeTimeoutMs = 10000;
constexpr DWORD kPaintTimeoutMs = 3000;
constexpr DWORD kSettleTimeoutMs = 1000;

Reply Ok(std::string text = {}) {
    return {true, std::move(text), false};
}
Reply Err(std::string text) {
    return {false, std::move(text), false};
}

// Polls `done` until it holds or `timeout_ms` has passed; true if it held.
template <class Condition> bool WaitFor(DWORD timeout_ms, Condition done) {
    const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
    for (;;) {
        if (done())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(kPollMs);
    }
}

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// "a b c" -> ("a", "b c")
std::pair<std::string, std::string> SplitFirst(const std::string& args) {
    const std::string text = Trim(args);
    const size_t space = text.find(' ');
    if (space == std::string::npos)
        return {text, {}};
    return {text.substr(0, space), text.substr(space + 1)};
}

// "a b c" -> ("a b", "c"): captions may hold spaces, the timeout comes last.
std::pair<std::string, std::string> SplitLast(const std::string& args) {
    const std::string text = Trim(args);
    const size_t space = text.rfind(' ');
    if (space == std::string::npos)
        return {{}, text};
    return {Trim(text.substr(0, space)), text.substr(space + 1)};
}

bool ParseInt(const std::string& text, long* value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    *value = std::strtol(text.c_str(), &end, 0); // base 0: "0xFFFF" or "1003"
    return *end == '\0';
}

std::string HandleText(HWND hwnd) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return buffer;
}

std::string RectText(const RECT& rect) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%ld %ld %ld %ld", rect.left, rect.top, rect.right,
                  rect.bottom);
    return buffer;
}

POINT Centre(HWND hwnd) {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

HWND FocusOf(HWND hwnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(hwnd, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// Gives `hwnd` the keyboard focus with one click, as a user does. A click
// that does not focus it is a fault to report, not to paper over.
bool FocusControl(HWND hwnd) {
    return ClickAt(Centre(hwnd)) && WaitFor(kFocusTimeoutMs, [&] { return FocusOf(hwnd) == hwnd; });
}

// The IP address control's four edit fields, left to right.
std::vector<HWND> IpFields(HWND control) {
    std::vector<HWND> fields;
    for (HWND child = ::GetWindow(control, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT))
        fields.push_back(child);
    std::sort(fields.begin(), fields.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        ::GetWindowRect(a, &ra);
        ::GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return fields;
}

bool IsIpControl(HWND hwnd) {
    return ClassName(hwnd) == L"SysIPAddress32";
}

std::wstring ControlText(HWND hwnd) {
    if (!IsIpControl(hwnd))
        return WindowText(hwnd);
    std::wstring text;
    for (HWND field : IpFields(hwnd)) {
        if (!text.empty())
            text += L'.';
        text += WindowText(field);
    }
    return text;
}

// Looks the control up from a decimal or 0x id; visible ones first.
bool LookUpControl(const std::string& id_text, bool visible_only, HWND* hwnd, Reply* error) {
    long id = 0;
    if (!ParseInt(Trim(id_text), &id)) {
        *error = Err("bad control id '" + id_text + "'");
        return false;
    }
    *hwnd = FindControl(static_cast<int>(id), true);
    if (!*hwnd && !visible_only)
        *hwnd = FindControl(static_cast<int>(id), false);
    if (!*hwnd) {
        *error = Err("no " + std::string(visible_only ? "visible " : "") + "control " + id_text);
        return false;
    }
    return true;
}

bool LookUpWindow(const std::string& caption, HWND* hwnd, Reply* error) {
    *hwnd = FindTopLevel(FromUtf8(caption));
    if (!*hwnd)
        *error = Err("no window '" + caption + "'");
    return *hwnd != nullptr;
}

Reply WaitWindow(const std::string& args) {
    const auto [caption, timeout_text] = SplitLast(args);
    long timeout = 0;
    if (caption.empty() || !ParseInt(timeout_text, &timeout))
        return Err("usage: wait-window <caption> <ms>");
    HWND found = nullptr;
    WaitFor(static_cast<DWORD>(timeout), [&] { return (found = FindTopLevel(FromUtf8(caption))); });
    if (!found)
        return Err("no window '" + caption + "' within " + timeout_text + " ms");
    return Ok(HandleText(found));
}

Reply WaitGone(const std::string& args) {
    const auto [caption, timeout_text] = SplitLast(args);
    long timeout = 0;
    if (caption.empty() || !ParseInt(timeout_text, &timeout))
        return Err("usage: wait-gone <caption> <ms>");
    if (!WaitFor(static_cast<DWORD>(timeout), [&] { return !FindTopLevel(FromUtf8(caption)); }))
        return Err("window '" + caption + "' still open after " + timeout_text + " ms");
    return Ok();
}

Reply Find(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(args, true, &hwnd, &error))
        return error;
    return Ok(HandleText(hwnd) + " " + ToUtf8(ClassName(hwnd)));
}

Reply Click(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(args, true, &hwnd, &error))
        return error;
    if (!ClickAt(Centre(hwnd)))
        return Err("SendInput failed");
    return Ok();
}

Reply Press(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(args, true, &hwnd, &error))
        return error;
    // Posted: the click handler may open a modal box and not return for long.
    if (!::PostMessageW(hwnd, BM_CLICK, 0, 0))
        return Err("PostMessage failed");
    return Ok();
}

Reply Type(const std::string& args) {
    const auto [id_text, text] = SplitFirst(args);
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(id_text, true, &hwnd, &error))
        return error;
    HWND first = hwnd;
    if (IsIpControl(hwnd)) {
        const std::vector<HWND> fields = IpFields(hwnd);
        if (fields.empty())
            return Err("IP address control without fields");
        first = fields.front();
    }
    if (!FocusControl(first))
        return Err("a click did not focus control " + id_text);
    // Keys, not messages sent to the field: they queue behind the click, so
    // the click cannot land (and move the caret) in the middle of the text.
    // Typing replaces what the field held, as after a user's select-all.
    const std::wstring wanted = FromUtf8(text);
    if (!PressKey(VK_HOME) || !PressKeyWith(VK_SHIFT, VK_END) || !TypeText(wanted))
        return Err("SendInput failed");
    if (!wanted.empty())
        WaitFor(kTypeTimeoutMs, [&] { return ControlText(hwnd) == wanted; });
    return Ok(Escape(ToUtf8(ControlText(hwnd))));
}

Reply Select(const std::string& args) {
    const auto [id_text, text] = SplitFirst(args);
    HWND combo = nullptr;
    Reply error;
    if (!LookUpControl(id_text, true, &combo, &error))
        return error;
    const std::wstring wanted = FromUtf8(text);
    DWORD_PTR index = static_cast<DWORD_PTR>(CB_ERR);
    if (!::SendMessageTimeoutW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(wanted.c_str()), SMTO_ABORTIFHUNG,
                               kSendTimeoutMs, &index) ||
        static_cast<LRESULT>(index) == CB_ERR)
        return Err("no entry '" + text + "' in combo " + id_text);
    ::SendMessageTimeoutW(combo, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr);
    // CB_SETCURSEL does not notify; a user's pick does.
    const int id = ::GetDlgCtrlID(combo);
    ::SendMessageTimeoutW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(combo), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                          nullptr);
    return Ok(std::to_string(index));
}

Reply Key(const std::string& args) {
    static const std::map<std::string, WORD> keys = {
        {"ESCAPE", VK_ESCAPE}, {"RETURN", VK_RETURN}, {"ENTER", VK_RETURN}, {"TAB", VK_TAB},
        {"SPACE", VK_SPACE},   {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT},  {"UP", VK_UP},
        {"DOWN", VK_DOWN},     {"BACK", VK_BACK},     {"F1", VK_F1},        {"F4", VK_F4}};
    // "ALT+F4", "SHIFT+TAB": the key pressed while the modifier is held.
    static const std::map<std::string, WORD> modifiers = {{"ALT+", VK_MENU}, {"SHIFT+", VK_SHIFT}};
    std::string name = Trim(args);
    WORD modifier = 0;
    for (const auto& [prefix, vk] : modifiers) {
        if (name.compare(0, prefix.size(), prefix) == 0) {
            modifier = vk;
            name.erase(0, prefix.size());
            break;
        }
    }
    const auto key = keys.find(name);
    if (key == keys.end())
        return Err("unknown key '" + Trim(args) + "'");
    if (!(modifier ? PressKeyWith(modifier, key->second) : PressKey(key->second)))
        return Err("SendInput failed");
    return Ok();
}

// Types the text as key presses into whatever holds the focus, without a
// click first: the way a keyboard user types.
Reply Keys(const std::string& args) {
    const std::wstring text = FromUtf8(args);
    if (text.empty())
        return Err("usage: keys <text>");
    if (!TypeText(text))
        return Err("SendInput failed");
    return Ok();
}

// "<id> <class>" of the control that holds the keyboard focus of the
// foreground window's thread, as its dialog sees it (the address control
// for one of its fields); "0 -" when no control has it.
Reply Focus(const std::string&) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(0, &info))
        return Err("GetGUIThreadInfo failed");
    HWND focus = info.hwndFocus;
    for (HWND parent = focus ? ::GetParent(focus) : nullptr; parent; parent = ::GetParent(focus)) {
        if (ClassName(parent) == L"#32770")
            break;
        focus = parent;
    }
    if (!focus || ClassName(focus) == L"#32770")
        return Ok("0 -");
    return Ok(std::to_string(::GetDlgCtrlID(focus)) + " " + ToUtf8(ClassName(focus)));
}

// "<role> <name>" that a screen reader reads of the control, or of the
// window that holds the keyboard focus (an address field itself) when no
// id is given.
Reply Accessible(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (Trim(args).empty()) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!::GetGUIThreadInfo(0, &info) || !info.hwndFocus)
            return Err("no window holds the focus");
        hwnd = info.hwndFocus;
    } else if (!LookUpControl(args, false, &hwnd, &error)) {
        return error;
    }
    AccessibleInfo info;
    std::string problem;
    if (!ReadAccessible(hwnd, &info, &problem))
        return Err(problem);
    return Ok(std::to_string(info.role) + " " + Escape(ToUtf8(info.name)));
}

Reply Text(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(args, false, &hwnd, &error))
        return error;
    return Ok(Escape(ToUtf8(ControlText(hwnd))));
}

Reply Visible(const std::string& args) {
    long id = 0;
    if (!ParseInt(Trim(args), &id))
        return Err("bad control id '" + args + "'");
    return Ok(FindControl(static_cast<int>(id), true) ? "1" : "0");
}

Reply Enabled(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(args, false, &hwnd, &error))
        return error;
    return Ok(::IsWindowEnabled(hwnd) ? "1" : "0");
}

Reply Checked(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(args, false, &hwnd, &error))
        return error;
    DWORD_PTR state = BST_UNCHECKED;
    if (!::SendMessageTimeoutW(hwnd, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state))
        return Err("no answer to BM_GETCHECK");
    return Ok(state == BST_CHECKED ? "1" : "0");
}

Reply Rect(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpControl(args, false, &hwnd, &error))
        return error;
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return Ok(RectText(rect));
}

Reply WindowRect(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpWindow(Trim(args), &hwnd, &error))
        return error;
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return Ok(RectText(rect));
}

// "ok <left> <top> <right> <bottom> <(0,0) inside> <(w/2,0) inside>", in
// window coordinates, or "ok none" for a window without a region.
Reply Region(const std::string& args) {
    HWND hwnd = nullptr;
    Reply error;
    if (!LookUpWindow(Trim(args), &hwnd, &error))
        return error;
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    if (!region)
        return Err("CreateRectRgn failed");
    Reply reply = Ok("none");
    if (::GetWindowRgn(hwnd, region) != ERROR) {
        RECT box{}, window{};
        ::GetRgnBox(region, &box);
        ::GetWindowRect(hwnd, &window);
        const int half = (window.right - window.left) / 2;
        reply = Ok(RectText(box) + " " + (::PtInRegion(region, 0, 0) ? "1" : "0") + " " +
                   (::PtInRegion(region, half, 0) ? "1" : "0"));
    }
    ::DeleteObject(region);
    return reply;
}

Reply Drag(const std::string& args) {
    long v[4] = {};
    std::string rest = args;
    for (long& value : v) {
        const auto [token, tail] = SplitFirst(rest);
        if (!ParseInt(token, &value))
            return Err("usage: drag <x1> <y1> <x2> <y2>");
        rest = tail;
    }
    if (!DragMouse({v[0], v[1]}, {v[2], v[3]}))
        return Err("SendInput failed");
    return Ok();
}

BOOL CALLBACK FindUnpainted(HWND hwnd, LPARAM found) {
    if (::GetUpdateRect(hwnd, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// True when `hwnd` and every window inside it (pages and their controls)
// have nothing left to paint.
bool Painted(HWND hwnd) {
    if (::GetUpdateRect(hwnd, nullptr, FALSE))
        return false;
    bool unpainted = false;
    ::EnumChildWindows(hwnd, FindUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    return !unpainted;
}

// A window just shown may not have painted yet; screenshots want it drawn.
void WaitPainted(HWND hwnd) {
    WaitFor(kPaintTimeoutMs, [&] { return Painted(hwnd); });
}

Reply MessageBoxText(const std::string& args) {
    long timeout = 0;
    if (!ParseInt(Trim(args), &timeout))
        return Err("usage: msgbox <ms>");
    HWND box = nullptr;
    if (!WaitFor(static_cast<DWORD>(timeout), [&] { return (box = FindMessageBox()); }))
        return Err("no message box within " + Trim(args) + " ms");
    WaitPainted(box);
    // Tab between the two: both are escaped, so no tab is left inside them.
    return Ok(Escape(ToUtf8(Caption(box))) + "\t" +
              Escape(ToUtf8(WindowText(::GetDlgItem(box, 0xFFFF)))));
}

Reply Dismiss(const std::string&) {
    HWND box = FindMessageBox();
    if (!box)
        return Err("no message box");
    HWND button = ::GetDlgItem(box, IDOK);
    if (!button || !::IsWindowVisible(button))
        button = ::GetDlgItem(box, IDCANCEL);
    if (!button)
        return Err("message box without OK or Cancel button");
    // One click, as a user closes it.
    if (!ClickAt(Centre(button)))
        return Err("SendInput failed");
    if (WaitFor(kDismissTimeoutMs, [&] { return !::IsWindow(box) || !::IsWindowVisible(box); }))
        return Ok();
    return Err("message box still open after a click on its button");
}

Reply NoMessageBox(const std::string& args) {
    long timeout = 0;
    if (!ParseInt(Trim(args), &timeout))
        return Err("usage: no-msgbox <ms>");
    HWND box = nullptr;
    if (WaitFor(static_cast<DWORD>(timeout), [&] { return (box = FindMessageBox()); }))
        return Err("message box: " + Escape(ToUtf8(WindowText(::GetDlgItem(box, 0xFFFF)))));
    return Ok();
}

// The picture once the window has nothing left to paint and the screen
// shows the same twice a poll apart (what is drawn has reached the X
// server); after kSettleTimeoutMs whatever it shows then, since a moving
// progress bar never stands still.
bool CaptureSettled(HWND hwnd, const RECT& area, std::vector<std::uint8_t>* rgb,
                    std::string* error) {
    if (hwnd)
        WaitPainted(hwnd);
    if (!CaptureScreen(area, rgb, error))
        return false;
    std::vector<std::uint8_t> again;
    const ULONGLONG deadline = ::GetTickCount64() + kSettleTimeoutMs;
    for (;;) {
        ::Sleep(kPollMs);
        if (!CaptureScreen(area, &again, error))
            return false;
        if (again == *rgb || ::GetTickCount64() >= deadline)
            break;
        rgb->swap(again);
    }
    *rgb = std::move(again);
    return true;
}

Reply Shot(const std::string& args) {
    const auto [file, caption] = SplitFirst(args);
    if (file.empty())
        return Err("usage: shot <file.png> [caption]");
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    HWND hwnd = nullptr;
    if (!caption.empty()) {
        Reply error;
        if (!LookUpWindow(Trim(caption), &hwnd, &error))
            return error;
        ::GetWindowRect(hwnd, &area);
    }
    std::vector<std::uint8_t> rgb;
    std::string problem;
    if (!CaptureSettled(hwnd, area, &rgb, &problem) ||
        !WritePng(area, rgb, FromUtf8(file), &problem))
        return Err(problem);
    return Ok(RectText(area));
}

// "hwnd class 'caption'" for every top-level window of the target, for
// test diagnostics.
Reply Windows(const std::string&) {
    std::string out;
    for (HWND hwnd : OtherTopLevelWindows()) {
        if (!::IsWindowVisible(hwnd))
            continue;
        if (!out.empty())
            out += "\n";
        out +=
            HandleText(hwnd) + " " + ToUtf8(ClassName(hwnd)) + " '" + ToUtf8(Caption(hwnd)) + "'";
    }
    return Ok(Escape(out));
}

Reply Quit(const std::string&) {
    return {true, {}, true};
}

} // namespace

std::string Escape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

Reply RunCommand(const std::string& line) {
    using Handler = Reply (*)(const std::string&);
    static const std::map<std::string, Handler> commands = {{"wait-window", WaitWindow},
                                                            {"wait-gone", WaitGone},
                                                            {"find", Find},
                                                            {"click", Click},
                                                            {"press", Press},
                                                            {"type", Type},
                                                            {"select", Select},
                                                            {"key", Key},
                                                            {"keys", Keys},
                                                            {"focus", Focus},
                                                            {"acc", Accessible},
                                                            {"text", Text},
                                                            {"visible", Visible},
                                                            {"enabled", Enabled},
                                                            {"checked", Checked},
                                                            {"rect", Rect},
                                                            {"window-rect", WindowRect},
                                                            {"region", Region},
                                                            {"drag", Drag},
                                                            {"msgbox", MessageBoxText},
                                                            {"dismiss", Dismiss},
                                                            {"no-msgbox", NoMessageBox},
                                                            {"shot", Shot},
                                                            {"windows", Windows},
                                                            {"quit", Quit}};
    const auto [name, args] = SplitFirst(line);
    const auto command = commands.find(name);
    if (command == commands.end())
        return Err("unknown command '" + name + "'");
    return command->second(args);
}

} // namespace fwdriver
