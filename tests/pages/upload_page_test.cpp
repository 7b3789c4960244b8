// The upload page: its refusal to be cancelled, or to let the session end,
// while the firmware is written, and its end when the worker's messages
// fill the queue.
#include "pages/upload_page.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "app/wizard_main_dialog.h"
#include "net/firmware_upload_worker.h"
#include "shared/shared_values.h"
#include "tests/pages/page_test_support.h"
#include "tests/support/import_hook.h"
#include "tests/support/tiny_http_server.h"
#include "wizard/wizard_messages.h"

namespace {

// The worker's first library call, held until the test lets it fail, so
// that the upload lasts as long as the test needs.
HANDLE g_openRelease = nullptr;
HINTERNET WINAPI HeldOpen(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) {
    ::WaitForSingleObject(g_openRelease, 10000);
    return nullptr;
}
// Wine 8 keeps no shutdown reason; these keep the one reason of a window as
// Windows does, for the window's own thread only.
std::wstring g_reason;
BOOL WINAPI KeepReason(HWND window, LPCWSTR reason) {
    if (::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId())
        return FALSE;
    g_reason = reason;
    return TRUE;
}
BOOL WINAPI DropReason(HWND) {
    g_reason.clear();
    return TRUE;
}

TEST(UploadPageHold, CancelAndTheSessionsEndAreRefusedWhileTheFirmwareIsWritten) {
    MessageBoxWatcher boxes;
    const std::string image = ProgramFolder() + "held.bin", ini = ProgramFolder() + "MSG.ini";
    ASSERT_TRUE(WriteBytes(image, std::string(3000, 'x')));
    ASSERT_TRUE(WriteBytes(ini, "[MSG]\r\nFW_FileName=" + image + "\r\nRetry=Try again.\r\n"));
    std::strcpy(DeviceAddress, "127.0.0.1");
    g_openRelease = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ImportHook open("wininet.dll", "InternetOpenA", reinterpret_cast<void*>(&HeldOpen));
    ImportHook create("user32.dll", "ShutdownBlockReasonCreate",
                      reinterpret_cast<void*>(&KeepReason));
    ImportHook drop("user32.dll", "ShutdownBlockReasonDestroy",
                    reinterpret_cast<void*>(&DropReason));
    EXPECT_TRUE(open.Installed() && create.Installed() && drop.Installed());
    UploadPage page; // outlives the main window, which destroys its window
    WizardMainDialog main;
    main.AddPage(&page, page.m_pageId);
    ASSERT_TRUE(main.Create(IDD_MAIN, nullptr));
    ASSERT_TRUE(PumpUntil([&] { return page.UploadRunning(); }, 5000));
    EXPECT_FALSE(page.OnQueryCancel());
    EXPECT_EQ(main.SendMessage(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    EXPECT_EQ(g_reason, L"Firmware upgrade in progress. Do not switch off the PC or the router.");

    ::SetEvent(g_openRelease);
    EXPECT_TRUE(PumpUntil([&] { return !boxes.Texts().empty(); }, 10000)) << "the Retry box";
    EXPECT_EQ(main.SendMessage(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(g_reason, L"") << "removed when the write ended";
    ASSERT_EQ(::WaitForSingleObject(page.m_worker->Handle(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(page.OnQueryCancel()) << "once it has ended";
    ::CloseHandle(g_openRelease);
    ::DeleteFileA(ini.c_str());
    ::DeleteFileA(image.c_str());
}

// Windows refuses a message posted to a thread whose queue holds 10,000
// (ERROR_NOT_ENOUGH_QUOTA); Wine has no bound. This stand-in counts the
// upload's messages as if the page took none.
std::atomic<int> g_queued{0};
decltype(&::PostMessageA) g_realPost = nullptr;
BOOL WINAPI PostWithinQuota(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_UPLOAD_STATUS || ++g_queued < 10000)
        return g_realPost(window, message, wParam, lParam);
    ::SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
}

// A user-interface thread that takes nothing until the worker has ended,
// then a queue already full.
TEST(UploadPageQueue, TheUploadEndsWhenTheWorkersMessagesFillTheQueue) {
    const std::string image = ProgramFolder() + "quota.bin";
    ASSERT_TRUE(MakeFileOfSize(image, 16000000)); // 10,959 writes
    ASSERT_TRUE(WriteBytes(ProgramFolder() + "MSG.ini", "[MSG]\r\nFW_FileName=" + image + "\r\n"));
    ::lstrcpyA(DeviceAddress, "127.0.0.1");
    for (const int queued : {0, 9999}) {
        TinyHttpServer router({});
        g_queued = queued;
        ImportHook hook("user32.dll", "PostMessageA", reinterpret_cast<void*>(&PostWithinQuota));
        ASSERT_TRUE(hook.Installed());
        g_realPost = hook.Original<decltype(&::PostMessageA)>();
        MessageBoxWatcher boxes;
        UploadPage page;
        RecordingHost host;
        host.AddPage(&page, page.m_pageId);
        ASSERT_TRUE(host.Open());
        const ULONGLONG until = ::GetTickCount64() + 60000;
        while (host.m_navigations.empty() && ::GetTickCount64() < until) {
            if (queued == 0 && page.m_worker)
                ::WaitForSingleObject(page.m_worker->Handle(), 60000);
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            PumpMessages();
        }
        EXPECT_EQ(host.m_navigations, std::vector<WPARAM>{NAVIGATE_NEXT}) << queued;
        EXPECT_TRUE(queued || g_queued <= 2) << "one progress message waiting at most";
        router.Finish();
    }
    ::DeleteFileA((ProgramFolder() + "MSG.ini").c_str());
}
} // namespace
