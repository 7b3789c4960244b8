#include "framework/afx_dialog.h"

#include "framework/afx_app.h"

namespace {
// Bit 30 of a key message: the key was already down (an auto-repeat).
constexpr LPARAM kKeyWasDown = 1 << 30;

// The dialog object whose window is being created on this thread. A CBT hook
// binds it to its window the moment the window exists, so that the object
// sees every message from the first one on (WM_SIZE during creation among
// them), not only those after WM_INITDIALOG.
thread_local CDialog* t_creating = nullptr;

LRESULT CALLBACK BindOnCreate(int code, WPARAM wParam, LPARAM lParam);

class CreationHook {
public:
    explicit CreationHook(CDialog* dialog) {
        t_creating = dialog;
        m_hook = ::SetWindowsHookExA(WH_CBT, &BindOnCreate, nullptr, ::GetCurrentThreadId());
    }
    CreationHook(const CreationHook&) = delete;
    CreationHook& operator=(const CreationHook&) = delete;
    ~CreationHook() {
        if (m_hook)
            ::UnhookWindowsHookEx(m_hook);
        t_creating = nullptr;
    }

private:
    HHOOK m_hook = nullptr;
};

// A window of the dialog class. The dialog's is the first of these made
// while its creation runs (its controls follow it), but not the first
// window: on Windows an input method can make the thread's default IME
// window inside the first dialog's creation, before the dialog itself.
bool IsDialogClass(HWND window) {
    char name[8] = {};
    return ::GetClassNameA(window, name, sizeof name) && ::lstrcmpA(name, "#32770") == 0;
}

LRESULT CALLBACK BindOnCreate(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_creating && IsDialogClass(reinterpret_cast<HWND>(wParam))) {
        CDialog* dialog = t_creating;
        t_creating = nullptr;
        dialog->BindWindow(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

CDialog::~CDialog() {
    // A dialog object owns its window: destroy it while the object is whole.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND window = m_hWnd;
        Detach();
        ::DestroyWindow(window);
    }
}

INT_PTR CALLBACK CDialog::StartupDialogProc(HWND window, UINT message, WPARAM, LPARAM l) {
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(l);
    if (!dialog)
        return TRUE;
    if (dialog->m_hWnd != window && !dialog->BindWindow(window))
        return TRUE;
    dialog->m_current = MSG{window, message, 0, l, 0, {0, 0}};
    return dialog->OnInitDialog();
}

void CDialog::PostNcDestroy() {}

bool CDialog::BindWindow(HWND window) {
    return Attach(window);
}

bool CDialog::Create(UINT templateId, CWnd* parent) {
    if (m_hWnd)
        return false;
    m_templateId = templateId;
    m_pParentWnd = parent;
    m_modal = false;
    CreationHook hook(this);
    HWND window = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId),
                                       parent ? parent->m_hWnd : nullptr,
                                       &CDialog::StartupDialogProc, reinterpret_cast<LPARAM>(this));
    return window != nullptr && m_hWnd == window;
}

HWND CDialog::ModalOwner() const {
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        // Like the framework: a dialog without a parent is owned by the
        // application's main window while that exists.
        CWnd* main = AfxGetMainWnd();
        if (main && main->m_hWnd && ::IsWindow(main->m_hWnd) && main != this)
            owner = main->m_hWnd;
    }
    while (owner && (::GetWindowLongPtrA(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetParent(owner);
    return owner;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd)
        return -1;
    HWND owner = ModalOwner();
    const bool reenableOwner = owner && ::IsWindowEnabled(owner);
    m_modal = true;
    m_modalDone = false;
    m_modalResult = -1;
    HWND window = nullptr;
    {
        CreationHook hook(this);
        window = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner,
                                      &CDialog::StartupDialogProc, reinterpret_cast<LPARAM>(this));
    }
    if (!window) {
        m_modal = false;
        return -1;
    }
    if (reenableOwner)
        ::EnableWindow(owner, FALSE);
    if (!m_modalDone && ::IsWindow(window)) {
        ::ShowWindow(window, SW_SHOWNORMAL);
        RunModalLoop();
    }
    if (reenableOwner) {
        // Give activation back to the owner before this window goes, so it
        // does not pass to another application.
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    // Destroyed while still bound, so that the dialog's own WM_DESTROY
    // handling runs; the binding ends with WM_NCDESTROY.
    if (::IsWindow(window))
        ::DestroyWindow(window);
    m_modal = false;
    return m_modalResult;
}

void CDialog::RunModalLoop() {
    HWND self = m_hWnd;
    MSG message;
    while (!m_modalDone && ::IsWindow(self)) {
        // Idle work goes one piece at a time and gives way to any message,
        // input above all, as soon as one arrives.
        MSG waiting;
        LONG idleCount = 0;
        while (!m_modalDone && !::PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE) &&
               OnIdle(idleCount))
            ++idleCount;
        if (m_modalDone)
            break;
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // Keep WM_QUIT for the outer loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0)
            break;
        if (!WalkPreTranslateTree(self, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

void CDialog::EndDialog(int result) {
    if (m_modal) {
        m_modalResult = result;
        m_modalDone = true;
        // Wake the loop in case the call came from outside a message.
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, result);
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
}

BOOL CDialog::PreTranslateMessage(MSG* message) {
    const bool keyboard = message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST;
    const bool mouse = message->message >= WM_MOUSEFIRST && message->message <= WM_MOUSELAST;
    if (!keyboard && !mouse)
        return FALSE;
    // A held Enter presses a button once: its repeats would otherwise press
    // whatever button the next page puts under the focus.
    if (message->message == WM_KEYDOWN && message->wParam == VK_RETURN &&
        (message->lParam & kKeyWasDown) != 0)
        return TRUE;
    return ::IsDialogMessageA(m_hWnd, message);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    if (code != BN_CLICKED && lParam != 0)
        return FALSE;
    if (id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

BOOL CDialog::PressFocusedButton() {
    HWND focus = ::GetFocus();
    if (!focus || ::GetParent(focus) != m_hWnd || !::IsWindowVisible(focus) ||
        !::IsWindowEnabled(focus))
        return FALSE;
    char className[8] = {};
    if (!::GetClassNameA(focus, className, sizeof className) ||
        ::lstrcmpiA(className, "Button") != 0)
        return FALSE;
    const LONG_PTR type = ::GetWindowLongPtrA(focus, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_OWNERDRAW)
        return FALSE;
    const int id = ::GetDlgCtrlID(focus);
    if (id == IDOK)
        return FALSE;
    ::SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(focus));
    return TRUE;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd == nullptr)
        control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd);
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    HWND item = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    if (!item)
        return;
    if (dx->m_bSaveAndValidate) {
        const int length = ::GetWindowTextLengthA(item);
        CString text;
        if (length > 0) {
            ::GetWindowTextA(item, text.GetBuffer(length + 1), length + 1);
            text.ReleaseBuffer();
        }
        value = text;
    } else {
        ::SetWindowTextA(item, value);
    }
}
