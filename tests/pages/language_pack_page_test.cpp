// The language-pack page's reading of the language file and its hold on the
// upload worker.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "pages/language_pack_answers.h"
#include "pages/language_pack_page.h"
#include "shared/shared_values.h"
#include "tests/support/import_hook.h"
#include "tests/pages/page_test_support.h"

namespace {
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

} // namespace
