// CWinApp: the one application object of the process, and the framework's
// global helpers around it.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "framework/afx_handle.h"
#include "framework/afx_wnd.h"

class CWinApp {
public:
    // With no name the executable's base name becomes the application name,
    // which is also the caption of every AfxMessageBox.
    explicit CWinApp(const char* appName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }
    // The framework's 3-D look for standard controls; the system controls
    // of today draw it themselves, so nothing is left to do.
    void Enable3dControlsStatic() {}

    CWnd* m_pMainWnd = nullptr;
    const char* m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;

private:
    std::string m_appName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// Prepares the common controls the dialogs use (progress bar, IP address,
// tooltips); AfxWinMain calls it, tests call it themselves.
bool AfxInitCommonControls();
void AfxEnableControlContainer();
// The program file's full path, however long (read first into a buffer of
// firstBufferSize characters, grown until the path fits).
CString AfxGetModulePath(size_t firstBufferSize = MAX_PATH + 1);
// The folder of the program file with its closing backslash: where the skin
// and the message file lie.
CString AfxGetProgramFolder();
// Message box with the application name as caption; without an icon flag
// it shows the exclamation icon.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
// Told the text of every AfxMessageBox before it shows (null: nobody).
void AfxSetMessageBoxObserver(void (*observer)(const char* text));
// Runs the application object: InitInstance, then the message loop only if
// InitInstance returned TRUE.
int AfxWinMain(HINSTANCE instance);

// Worker threads. The CWinThread object only holds the thread's handle; the
// thread runs on by itself and frees what it was handed.
using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);
class CWinThread {
public:
    CWinThread(HANDLE thread, DWORD id) : m_thread(thread), m_nThreadID(id) {}
    HANDLE Handle() const { return m_thread.Get(); }
    // Waits without a time limit until the thread has ended. Messages that
    // other threads send to this thread's windows are handled meanwhile, so
    // a thread that shows a box owned by one of them cannot block the wait.
    bool WaitForEnd() const;
    UniqueKernelHandle m_thread;
    DWORD m_nThreadID;
};
std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC proc, LPVOID param,
                                           int priority = THREAD_PRIORITY_NORMAL,
                                           UINT stackSize = 0);
