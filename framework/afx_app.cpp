#include "framework/afx_app.h"

#include <commctrl.h>
#include <objbase.h>
#include <process.h>

#include <vector>

namespace {
CWinApp* g_app = nullptr;

// Room for the longest path Windows has, with its terminator.
constexpr size_t kLongestPath = 32768;

std::string ExecutableBaseName() {
    std::string name = AfxGetModulePath().str();
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}
} // namespace

CString AfxGetModulePath(size_t firstBufferSize) {
    std::vector<char> path(firstBufferSize > 0 ? firstBufferSize : 1);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // A path that fills the buffer may have been cut: read it again with
        // twice the room.
        if (length < path.size() || path.size() >= kLongestPath)
            return CString(path.data(), static_cast<int>(length));
        path.assign(path.size() * 2, '\0');
    }
}

CString AfxGetProgramFolder() {
    const CString path = AfxGetModulePath();
    return path.Left(path.ReverseFind('\\') + 1);
}

CWinApp::CWinApp(const char* appName)
    : m_hInstance(::GetModuleHandleA(nullptr)),
      m_appName(appName ? appName : ExecutableBaseName()) {
    m_pszAppName = m_appName.c_str();
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
    return ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return ::GetModuleHandleA(nullptr);
}

bool AfxInitCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    return ::InitCommonControlsEx(&controls) != FALSE;
}

void AfxEnableControlContainer() {
    AfxInitCommonControls();
}

namespace {
void (*g_messageBoxObserver)(const char* text) = nullptr;
} // namespace

void AfxSetMessageBoxObserver(void (*observer)(const char* text)) {
    g_messageBoxObserver = observer;
}

int AfxMessageBox(const char* text, UINT type, UINT) {
    if (g_messageBoxObserver)
        g_messageBoxObserver(text ? text : "");
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    HWND owner = nullptr;
    if (CWnd* main = AfxGetMainWnd(); main && main->m_hWnd && ::IsWindow(main->m_hWnd))
        owner = ::GetLastActivePopup(main->m_hWnd);
    const char* caption = g_app ? g_app->m_pszAppName : "";
    return ::MessageBoxA(owner, text ? text : "", caption, type);
}

namespace {
// The user-interface thread is a single-threaded apartment: the accessible
// objects its controls hand to screen readers are marshalled from it.
class ComApartment {
public:
    ComApartment() : m_joined(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (m_joined)
            ::CoUninitialize();
    }

private:
    bool m_joined;
};
} // namespace

int AfxWinMain(HINSTANCE) {
    const ComApartment apartment;
    AfxInitCommonControls();
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    if (!app->InitInstance())
        return app->ExitInstance();
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!app->m_pMainWnd || !WalkPreTranslateTree(app->m_pMainWnd->m_hWnd, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    return app->ExitInstance();
}

namespace {
struct ThreadStart {
    AFX_THREADPROC proc;
    LPVOID param;
};

unsigned __stdcall ThreadTrampoline(void* raw) {
    // The start block was allocated by AfxBeginThread; the thread frees it.
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
    return start->proc(start->param);
}
} // namespace

bool CWinThread::WaitForEnd() const {
    HANDLE thread = m_thread.Get();
    if (!thread)
        return true;
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1)
            return false;
        // Peeking delivers the sent messages; posted ones stay queued.
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority,
                                           UINT stackSize) {
    auto start = std::make_unique<ThreadStart>(ThreadStart{proc, param});
    unsigned id = 0;
    const uintptr_t handle =
        ::_beginthreadex(nullptr, stackSize, &ThreadTrampoline, start.get(), CREATE_SUSPENDED, &id);
    if (!handle)
        return nullptr;
    static_cast<void>(start.release()); // the thread owns the start block now
    HANDLE thread = reinterpret_cast<HANDLE>(handle);
    ::SetThreadPriority(thread, priority);
    ::ResumeThread(thread);
    return std::make_unique<CWinThread>(thread, id);
}
