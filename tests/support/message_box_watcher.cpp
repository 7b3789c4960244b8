#include "tests/support/message_box_watcher.h"

#include <algorithm>

#include "framework/afx.h"

MessageBoxWatcher::MessageBoxWatcher(DWORD thread)
    : m_thread(thread), m_watcher([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    m_stop = true;
    m_watcher.join();
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
            m_thread,
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
