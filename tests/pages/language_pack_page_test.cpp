// The upload page's refusal to be cancelled mid-upload.
#include <gtest/gtest.h>

#include "pages/upload_page.h"
#include "tests/pages/page_test_support.h"

namespace {
UINT __cdecl HoldUntilReleased(LPVOID release) {
    ::WaitForSingleObject(static_cast<HANDLE>(release), 10000);
    return 0;
}

TEST(UploadPageCancel, IsRefusedWhileTheWorkerRuns) {
    UploadPage page;
    EXPECT_TRUE(page.OnQueryCancel()) << "before the upload starts";
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    page.m_worker = AfxBeginThread(&HoldUntilReleased, release);
    ASSERT_NE(page.m_worker, nullptr);
    EXPECT_FALSE(page.OnQueryCancel());
    ::SetEvent(release);
    ASSERT_EQ(::WaitForSingleObject(page.m_worker->m_hThread, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(page.OnQueryCancel()) << "once it has ended";
    ::CloseHandle(release);
}
} // namespace
