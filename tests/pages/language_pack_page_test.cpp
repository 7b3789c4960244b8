// The language-pack page's reading of the language file and its hold on the
// upload worker; the upload page's refusal to be cancelled, or to let the
// session end, mid-upload, and its end when the worker's messages fill the
// queue.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "app/wizard_main_dialog.h"
#include "net/firmware_upload_worker.h"
#include "wizard/wizard_messages.h"
#include "pages/language_pack_answers.h"
#include "pages/language_pack_page.h"
#include "shared/shared_values.h"
#include "pages/upload_page.h"
#include "tests/support/tiny_http_server.h"
#include "tests/support/import_hook.h"
#include "tests/pages/page_test_support.h"

namespace {
// A file of the given size whose bytes are never written (sparse where the
// file system allows), so that gigabytes cost nothing.
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

TEST(LanguageFile, IsReadWholeUpTo64MiBAndRefusedAbove) {
    const std::string path = ProgramFolder() + "size-test.lang";
    const struct {
        const char* name;
        uint64_t size;
        LanguageFileRead want;
    } cases[] = {
        {"empty", 0, LanguageFileRead::kRead},
        {"64 MiB", kMaxLanguageFileBytes, LanguageFileRead::kRead},
        {"64 MiB and a byte", kMaxLanguageFileBytes + 1, LanguageFileRead::kFailed},
        {"4,294,967,295 bytes", 0xFFFFFFFFull, LanguageFileRead::kFailed},
        {"4 GiB", 0x100000000ull, LanguageFileRead::kFailed},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(MakeFileOfSize(path, c.size)) << c.name;
        LanguageUpload upload;
        upload.fileData.reset(new uint8_t[4]()); // left from an earlier attempt
        upload.fileLength = 4;
        EXPECT_EQ(ReadLanguageFile(path, upload), c.want) << c.name;
        if (c.want == LanguageFileRead::kRead) {
            EXPECT_NE(upload.fileData, nullptr) << c.name;
            EXPECT_EQ(upload.fileLength, c.size) << c.name;
        } else {
            EXPECT_EQ(upload.fileData, nullptr) << c.name;
            EXPECT_EQ(upload.fileLength, 0u) << c.name;
        }
    }
    ::DeleteFileA(path.c_str());

    const std::string text = "LANG=EN\r\nTitle=Firmware upgrade\r\n";
    ASSERT_TRUE(WriteBytes(path, text));
    LanguageUpload upload;
    ASSERT_EQ(ReadLanguageFile(path, upload), LanguageFileRead::kRead);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(upload.fileData.get()), upload.fileLength),
              text);
    ::DeleteFileA(path.c_str());
    EXPECT_EQ(ReadLanguageFile(path, upload), LanguageFileRead::kMissing);
    EXPECT_EQ(upload.fileData, nullptr);
}

TEST(LanguageFile, AReadThatDeliversLessThanTheSizeIsAFailure) {
    // A kernel attribute file (through Wine's Z: drive) says it holds a
    // page of 4096 bytes and delivers a few: as a file cut short while read.
    const std::string path = "Z:\\sys\\devices\\system\\cpu\\online";
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    ASSERT_GT(file.GetLength(), 64u);
    file.Close();
    LanguageUpload upload;
    EXPECT_EQ(ReadLanguageFile(path, upload), LanguageFileRead::kFailed);
    EXPECT_EQ(upload.fileData, nullptr) << "zeros must never go out as the pack";
    EXPECT_EQ(upload.fileLength, 0u);
}

// An upload worker that has not ended yet: it holds until the page waits
// for it, then reads the page's upload fields as the real one does.
struct HeldWorker {
    LanguagePackPage* page = nullptr;
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string urlSeen;
    std::atomic<bool> ended{false};
    bool endedBeforeThePageWent = false;
    ~HeldWorker() { ::CloseHandle(release); }
};

UINT __cdecl HoldThenRead(LPVOID raw) {
    auto* worker = static_cast<HeldWorker*>(raw);
    ::WaitForSingleObject(worker->release, 30000);
    worker->urlSeen = worker->page ? worker->page->m_upload.url : std::string();
    worker->ended = true;
    return 0;
}

// The page's waits on its worker's thread: an endless one lets the held
// worker go on (so it ends while waited for); a bounded one times out, as
// it would on Windows for a worker that is held for as long as it likes.
HeldWorker* g_held = nullptr;
HANDLE g_heldThread = nullptr;
ImportHook* g_waitHook = nullptr;
DWORD WINAPI ReleaseWhenWaitedFor(DWORD count, const HANDLE* handles, BOOL all, DWORD ms,
                                  DWORD wake) {
    const auto original = g_waitHook->Original<decltype(&::MsgWaitForMultipleObjects)>();
    if (count == 1 && handles[0] == g_heldThread) {
        if (ms != INFINITE)
            return WAIT_TIMEOUT;
        ::SetEvent(g_held->release);
    }
    return original(count, handles, all, ms, wake);
}

// Runs the held worker as the page's worker while body runs; the page is
// destroyed at the end of body's scope.
template <typename Body> void WithHeldWorker(HeldWorker& held, Body body) {
    ImportHook hook("user32.dll", "MsgWaitForMultipleObjects",
                    reinterpret_cast<void*>(&ReleaseWhenWaitedFor));
    ASSERT_TRUE(hook.Installed());
    g_waitHook = &hook;
    g_held = &held;
    {
        LanguagePackPage page;
        held.page = &page;
        page.m_worker = AfxBeginThread(&HoldThenRead, &held);
        ASSERT_NE(page.m_worker, nullptr);
        g_heldThread = page.m_worker->Handle();
        body(page);
        if (!held.ended) // not waited for: what it reads now is not the page's
            held.page = nullptr;
    }
    held.endedBeforeThePageWent = held.ended;
    g_heldThread = nullptr;
    // A page that did not wait left its worker held: let it end before the
    // test's objects go.
    ::SetEvent(held.release);
    for (int i = 0; i < 1000 && !held.ended; ++i)
        ::Sleep(10);
}

TEST(LanguagePackPageWorker, UpgradeWaitsForARunningWorkerBeforeItTouchesTheUpload) {
    MessageBoxWatcher boxes;
    SelectedLanguage = 1;
    const std::string path = LanguageFilePath(1, "");
    ::DeleteFileA(path.c_str()); // no pack: Upgrade stops after the file test
    const std::string earlier = "http://192.168.1.1/upload_lang.cgi";
    HeldWorker held;
    WithHeldWorker(held, [&](LanguagePackPage& page) {
        page.m_detection.detected = true;
        page.m_upload.url = earlier;
        page.OnCommand(MAKEWPARAM(IDC_PACK_UPGRADE, BN_CLICKED), 0);
        EXPECT_TRUE(held.ended) << "Upgrade did not wait for the running worker";
    });
    EXPECT_EQ(held.urlSeen, earlier) << "the fields changed under the running worker";
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{path + " file not found."});
}

TEST(LanguagePackPageWorker, DestructionWaitsUntilTheWorkerHasEnded) {
    HeldWorker held;
    WithHeldWorker(held, [](LanguagePackPage&) {});
    EXPECT_TRUE(held.endedBeforeThePageWent) << "the page went while its worker still ran";
}

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
