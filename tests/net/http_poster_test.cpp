// HttpPoster against a small HTTP server on a loopback port of this process:
// what goes on the wire (headers, the exact form body) and what comes back
// (large, NUL-cut, compressed, cut-short, slow and error responses), and the
// language-pack worker's verdict on each. Runs in the test's own namespace.

#include <gtest/gtest.h>

#include <winsock2.h> // before windows.h, for the test server

#include "net/http_poster.h"

#include <atomic>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "net/upload_form_body.h"
#include "pages/language_pack_answers.h"
#include "pages/language_upload_worker.h"
#include "shared/shared_values.h"
#include "tests/support/handle_close_watch.h"
#include "tests/support/import_hook.h"
#include "tests/support/tiny_http_server.h"
#include "tests/net/system_proxy.h"
#include "tests/support/message_box_watcher.h"

// Allocations from this size on fail while a test arms it, wherever they are
// made in this program.
static std::atomic<size_t> g_failAllocationsFrom{SIZE_MAX};

// The process heap rather than malloc, which the compiler would pair with
// new expressions and warn about.
void* operator new(size_t size) {
    if (size >= g_failAllocationsFrom.load())
        throw std::bad_alloc();
    if (void* block = ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    if (block)
        ::HeapFree(::GetProcessHeap(), 0, block);
}
void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}

namespace {

// What the router answers once the request is in, and what it does then:
// kAnswer closes, kSilent holds the connection, kTrickle trickles a byte
// a tick; no bytes and kCloseWithoutAnswer closes at once.
struct Answer {
    std::string bytes;
    RouterBehaviour then = RouterBehaviour::kAnswer;
};

Answer Http(int status, const std::string& body, const std::string& headers = "") {
    return {HttpAnswer(status, body, headers)};
}

// A server on any free loopback port that gives this answer.
ServerPlan PlanOf(const Answer& answer) {
    ServerPlan plan;
    plan.behaviour = answer.then;
    plan.port = 0;
    plan.answer = answer.bytes;
    return plan;
}

std::string UrlOf(const TinyHttpServer& server) {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + "/upload_lang.cgi";
}

constexpr DWORD kNoPause = 0;
const char kFileName26[] = ".\\Firmware\\ZEPHYRA_FR.lang"; // 26 characters

std::vector<uint8_t> FileBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i % 251 + 1);
    return bytes;
}

} // namespace

TEST(HttpPoster, PostsTheExactFormBodyWithItsHeadersThenPauses) {
    static_assert(sizeof kFileName26 - 1 == 26, "file name of 26 characters");
    TinyHttpServer server(PlanOf(Http(200, "<html>ok</html>")));
    const std::vector<uint8_t> file = FileBytes(1000);
    HttpPoster poster; // the real pause
    std::string response;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(poster.PostAndRead(&response, UrlOf(server).c_str(), file.data(), 1000, "admin",
                                   "secret", kFileName26));
    const DWORD elapsed = ::GetTickCount() - start;
    const ServerRecord got = server.Finish();

    EXPECT_EQ("<html>ok</html>", response);
    EXPECT_EQ(200u, poster.HttpStatus());
    EXPECT_GE(elapsed, 4900u);
    EXPECT_NE(std::string::npos, got.head.find("POST /upload_lang.cgi HTTP/1.1\r\n"));
    EXPECT_NE(std::string::npos, got.head.find("Content-Length: 1330\r\n"));
    EXPECT_NE(std::string::npos, got.head.find("Content-Type: multipart/form-data; boundary="
                                               "---------------------------7d53c8371101be\r\n"));
    EXPECT_NE(std::string::npos, got.head.find("Accept-Encoding: gzip, deflate\r\n"));
    EXPECT_NE(std::string::npos, got.head.find("Accept: image/gif, image/x-xbitmap, image/jpeg"));
    EXPECT_NE(std::string::npos,
              got.head.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"));
    ASSERT_EQ(1330u, got.body.size());
    EXPECT_EQ(0, got.body.back());
    EXPECT_EQ(BuildUploadFormBody(kFileName26, file.data(), file.size()),
              std::vector<uint8_t>(got.body.begin(), got.body.end()));
}

TEST(HttpPoster, EmptyFileAndTextLengthBuildTheFormAroundNothing) {
    struct Case {
        const char* name;
        const char* data;
        int64_t length;
        size_t expectedBody;
    } cases[] = {
        {"empty file", "", 0, 304 + 4},
        {"text measured", "abcdef", -1, 304 + 4 + 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TinyHttpServer server(PlanOf(Http(200, "ok")));
        HttpPoster poster(kNoPause);
        std::string response;
        ASSERT_TRUE(poster.PostAndRead(&response, UrlOf(server).c_str(),
                                       reinterpret_cast<const uint8_t*>(c.data), c.length, "", "",
                                       "a.xx"));
        const ServerRecord got = server.Finish();
        ASSERT_EQ(c.expectedBody, got.body.size());
        const std::string body(got.body.begin(), got.body.end());
        if (c.length == 0) { // the closing CRLF directly after the part's header
            EXPECT_NE(
                std::string::npos,
                body.find("application/octet-stream\r\n\r\n\r\n-----------------------------"));
        }
    }
}

TEST(HttpPoster, LargeResponseComesBackWholeAndInOrder) {
    std::string big(600000, 'x');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('A' + (i / 1000) % 26);
    TinyHttpServer server(PlanOf(Http(200, big)));
    HttpPoster poster(kNoPause);
    std::string response;
    ASSERT_TRUE(poster.PostAndRead(&response, UrlOf(server).c_str(), FileBytes(10).data(), 10, "u",
                                   "p", "f.lang"));
    EXPECT_EQ(big.size(), response.size());
    EXPECT_TRUE(response == big);

    // Every handle, the root included, is closed after a successful post.
    std::string again;
    EXPECT_FALSE(poster.PostAndRead(&again, UrlOf(server).c_str(), FileBytes(10).data(), 10, "u",
                                    "p", "f.lang"));
}

TEST(HttpPoster, ResponseIsCutAtItsFirstNulByte) {
    TinyHttpServer server(PlanOf(Http(200, std::string("before\0AutoUpgradeRet\"value=\"1", 31))));
    HttpPoster poster(kNoPause);
    std::string response;
    ASSERT_TRUE(poster.PostAndRead(&response, UrlOf(server).c_str(), FileBytes(5).data(), 5, "u",
                                   "p", "f.lang"));
    EXPECT_EQ("before", response);
}

TEST(HttpPoster, ErrorStatusIsAFailure) {
    struct Case {
        int status;
        bool ok;
    } cases[] = {{404, false}, {500, false}, {401, false}, {201, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        TinyHttpServer server(PlanOf(Http(c.status, "<html>no AutoUpgradeRet marker</html>")));
        HttpPoster poster(kNoPause);
        std::string response;
        EXPECT_EQ(c.ok, poster.PostAndRead(&response, UrlOf(server).c_str(), FileBytes(5).data(), 5,
                                           "u", "p", "f.lang"));
        EXPECT_EQ(static_cast<DWORD>(c.status), poster.HttpStatus());
    }
}

TEST(HttpPoster, MissingUrlAndUnreachableServerFail) {
    HttpPoster noUrl(kNoPause);
    std::string response = "unchanged";
    EXPECT_FALSE(noUrl.PostAndRead(&response, nullptr, FileBytes(5).data(), 5, "u", "p", "f"));
    EXPECT_EQ(HttpPoster::kNoUrl, noUrl.LastError());
    EXPECT_EQ("unchanged", response);

    // A port nobody listens on: the send fails with a WinINet error.
    HttpPoster refused(kNoPause);
    EXPECT_FALSE(refused.PostAndRead(&response, "http://127.0.0.1:9/upload_lang.cgi",
                                     FileBytes(5).data(), 5, "u", "p", "f"));
    EXPECT_NE(0u, refused.LastError());

    HttpPoster longName(kNoPause);
    const std::string name(HttpPoster::kMaxFileNameLength + 1, 'n');
    EXPECT_FALSE(longName.PostMultipart("http://127.0.0.1:9/x", FileBytes(5).data(), 5, "u", "p",
                                        name.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), longName.LastError());
}

namespace {

// "AutoUpgradeRet\"value=\"2" in a small router page, gzip-compressed: the
// marker is not in these bytes, only in the decoded text.
const unsigned char kGzipRefusalPage[] = {
    0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0xb3, 0xc9, 0x28, 0xc9, 0xcd,
    0xb1, 0xb3, 0x49, 0xca, 0x4f, 0xa9, 0xb4, 0xb3, 0x49, 0xcb, 0x2f, 0xca, 0xb5, 0xb3, 0xc9,
    0xcc, 0x2b, 0x28, 0x2d, 0x51, 0xc8, 0x4c, 0xb1, 0x55, 0x72, 0x2c, 0x2d, 0xc9, 0x0f, 0x2d,
    0x48, 0x2f, 0x4a, 0x4c, 0x49, 0x0d, 0x4a, 0x2d, 0x51, 0x2a, 0x4b, 0xcc, 0x29, 0x4d, 0xb5,
    0x55, 0x32, 0x52, 0xb2, 0xb3, 0xd1, 0x87, 0x28, 0xd5, 0x87, 0xe8, 0xd3, 0x07, 0x1b, 0xc2,
    0x05, 0x00, 0x43, 0xa5, 0x65, 0x9b, 0x4c, 0x00, 0x00, 0x00};
const char kRefusal2Marker[] = "AutoUpgradeRet\"value=\"2";

Answer GzipRefusal() {
    return Http(200, std::string(std::begin(kGzipRefusalPage), std::end(kGzipRefusalPage)),
                "Content-Encoding: gzip\r\n");
}

constexpr DWORD kShortTimeout = 1500;

} // namespace

TEST(HttpPoster, ACompressedAnswerIsDecodedBeforeItIsSearched) {
    TinyHttpServer server(PlanOf(GzipRefusal()));
    HttpPoster poster(kNoPause);
    std::string response;
    ASSERT_TRUE(poster.PostAndRead(&response, UrlOf(server).c_str(), FileBytes(5).data(), 5, "u",
                                   "p", "f.lang"));
    const ServerRecord got = server.Finish();
    EXPECT_NE(std::string::npos, got.head.find("Accept-Encoding: gzip, deflate\r\n"));
    EXPECT_NE(std::string::npos, response.find(kRefusal2Marker)) << response;
}

TEST(HttpPoster, KeepsAnAnswerOfOneMebibyteAndRefusesALongerOne) {
    const size_t limit = HttpPoster::kMaxResponseLength;
    ASSERT_EQ(limit, 1048576u);
    {
        TinyHttpServer server(PlanOf(Http(200, std::string(limit, 'a'))));
        HttpPoster poster(kNoPause);
        std::string response;
        EXPECT_TRUE(poster.PostAndRead(&response, UrlOf(server).c_str(), FileBytes(5).data(), 5,
                                       "u", "p", "f.lang"));
        EXPECT_EQ(limit, response.size());
    }
    TinyHttpServer server(PlanOf(Http(200, std::string(limit + 1, 'a'))));
    HttpPoster poster(kNoPause);
    std::string response;
    EXPECT_FALSE(poster.PostAndRead(&response, UrlOf(server).c_str(), FileBytes(5).data(), 5, "u",
                                    "p", "f.lang"));
    EXPECT_TRUE(response.empty()) << response.size() << " bytes";
}

// The router is on the local network: a proxy set for the user is not used.
TEST(HttpPoster, GoesStraightToTheRouterPastAConfiguredProxy) {
    TinyHttpServer router(PlanOf(Http(200, "router")));
    TinyHttpServer proxy(PlanOf(Http(200, "proxy")));
    SystemProxy setting("127.0.0.1:" + std::to_string(proxy.Port()));
    ASSERT_TRUE(setting.Set());
    HttpPoster poster(kNoPause);
    std::string response;
    EXPECT_TRUE(poster.PostAndRead(&response, UrlOf(router).c_str(), FileBytes(5).data(), 5, "u",
                                   "p", "f.lang"));
    EXPECT_EQ("router", response);
    EXPECT_TRUE(router.Connected());
    EXPECT_FALSE(proxy.Connected());
}

TEST(HttpPoster, ClosesItsHandlesChildFirst) {
    HandleCloseWatch closes;
    ASSERT_TRUE(closes.Installed());
    const std::vector<DWORD>& kChildFirst = HandleCloseWatch::kChildFirst;
    struct Case {
        const char* name;
        bool listening; // else a send fails and its handles stay until the next post or destruction
        std::vector<DWORD> closed;
    } cases[] = {
        {"after a post (the next has nothing to close)", true, kChildFirst},
        {"at the next post, then at destruction, after failed sends",
         false,
         {kChildFirst[0], kChildFirst[1], kChildFirst[0], kChildFirst[1], kChildFirst[2]}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        closes.Clear();
        {
            TinyHttpServer server(PlanOf(Http(200, "ok")));
            const std::string url =
                c.listening ? UrlOf(server) : std::string("http://127.0.0.1:9/upload_lang.cgi");
            HttpPoster poster(kNoPause);
            std::string response;
            for (int post = 0; post < 2; ++post)
                EXPECT_EQ(c.listening && post == 0,
                          poster.PostAndRead(&response, url.c_str(), FileBytes(5).data(), 5, "u",
                                             "p", "f.lang"));
        }
        EXPECT_EQ(c.closed, closes.Closed());
    }
}

namespace {

struct WorkerOutcome {
    bool ended = false;
    UINT result = 2;
    bool uploadOk = false;
    int actionDone = 0;
    int actionCloseNow = 0;
    bool fileDataFreed = false;
    std::vector<std::string> boxes; // texts of the message boxes shown, in order
};

// Runs the language-pack worker on a thread of its own, as the page does,
// against url, and closes each message box it shows as a user pressing OK.
WorkerOutcome RunLanguageWorker(const std::string& url) {
    LanguageUpload upload;
    upload.url = url;
    upload.user = "admin";
    upload.password = "devpw";
    upload.path = ".\\Firmware\\ZEPHYRA_FR.lang";
    upload.fileLength = 10;
    upload.fileData.reset(new uint8_t[10]());
    upload.pauseAfterSendMs = kNoPause;
    upload.timeoutMs = kShortTimeout;
    ActionDone = 0;
    ActionCloseNow = 0;

    WorkerOutcome outcome;
    std::atomic<DWORD> workerId{0};
    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        workerId = ::GetCurrentThreadId();
        outcome.result = LanguageUploadWorker(&upload);
        ::SetEvent(done);
    });
    while (workerId == 0)
        std::this_thread::yield();
    {
        MessageBoxWatcher boxes(workerId);
        outcome.ended = ::WaitForSingleObject(done, 60000) == WAIT_OBJECT_0;
        if (!outcome.ended) // a box nobody found: the worker is stuck, and so is the test
            std::abort();
        worker.join();
        outcome.boxes = boxes.Texts();
    }
    ::CloseHandle(done);
    outcome.uploadOk = upload.uploadOk;
    outcome.actionDone = ActionDone;
    outcome.actionCloseNow = ActionCloseNow;
    outcome.fileDataFreed = !upload.fileData;
    return outcome;
}

struct WorkerCase {
    const char* name;
    Answer answer;
    const char* message; // null: the pack was accepted
};

} // namespace

// The worker reports an accepted pack only when the router's whole answer
// came back with a readable status below 400 and no refusal marker; every
// other ending shows its message and closes the popup at once.
TEST(LanguageUploadWorker, AcceptsThePackOnlyOnAWholeReadableAnswer) {
    const char* refusal2 = LanguagePackRefusal(kRefusal2Marker);
    ASSERT_NE(nullptr, refusal2);
    // A redirect's target would accept the pack; only the router's answer counts.
    TinyHttpServer elsewhere(PlanOf(Http(200, "<html>ok</html>")));
    const WorkerCase cases[] = {
        {"accepted", Http(200, "<html>ok</html>"), nullptr},
        {"compressed refusal page", GzipRefusal(), refusal2},
        {"error status", Http(404, "<html>not here</html>"), kUploadFailedMessage},
        {"closed without an answer",
         {"", RouterBehaviour::kCloseWithoutAnswer},
         kUploadFailedMessage},
        {"status line not HTTP",
         {"FOO/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", RouterBehaviour::kAnswer},
         kUploadFailedMessage},
        {"cut short",
         {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\nabcdef",
          RouterBehaviour::kAnswer},
         kUploadFailedMessage},
        {"longer than a mebibyte", Http(200, std::string(HttpPoster::kMaxResponseLength + 1, 'a')),
         kUploadFailedMessage},
        {"never answers", {"", RouterBehaviour::kSilent}, kUploadFailedMessage},
        {"trickles without end",
         {"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", RouterBehaviour::kTrickle},
         kUploadFailedMessage},
        // The library bounds each receive, not the head: a byte at a time
        // keeps every receive short.
        {"head trickles without end",
         {"HTTP/1.1 200 OK\r\n", RouterBehaviour::kTrickle},
         kUploadFailedMessage},
        {"refusal redirected to an acceptance",
         Http(302, kRefusal2Marker, "Location: " + UrlOf(elsewhere) + "\r\n"), refusal2},
    };
    for (const WorkerCase& c : cases) {
        SCOPED_TRACE(c.name);
        TinyHttpServer server(PlanOf(c.answer));
        const ULONGLONG began = ::GetTickCount64();
        const WorkerOutcome outcome = RunLanguageWorker(UrlOf(server));
        const ULONGLONG took = ::GetTickCount64() - began;
        EXPECT_TRUE(server.Connected());
        EXPECT_FALSE(elsewhere.Connected());
        EXPECT_TRUE(outcome.fileDataFreed);
        EXPECT_EQ(1, outcome.actionDone);
        EXPECT_LT(took, kShortTimeout * 4 + 10000);
        if (c.message == nullptr) {
            EXPECT_EQ(1u, outcome.result);
            EXPECT_TRUE(outcome.uploadOk);
            EXPECT_EQ(0, outcome.actionCloseNow);
            EXPECT_TRUE(outcome.boxes.empty());
        } else {
            EXPECT_EQ(0u, outcome.result);
            EXPECT_FALSE(outcome.uploadOk);
            EXPECT_EQ(1, outcome.actionCloseNow);
            EXPECT_EQ(std::vector<std::string>{c.message}, outcome.boxes);
        }
    }
}

TEST(LanguageUploadWorker, AFailedAllocationIsAFailedUploadNotACrash) {
    TinyHttpServer server(PlanOf(Http(200, "<html>ok</html>")));
    // The poster's 100,000-byte header read-back buffer is the first
    // allocation this large.
    g_failAllocationsFrom = 90000;
    const WorkerOutcome outcome = RunLanguageWorker(UrlOf(server));
    g_failAllocationsFrom = SIZE_MAX;
    EXPECT_EQ(0u, outcome.result);
    EXPECT_FALSE(outcome.uploadOk);
    EXPECT_EQ(1, outcome.actionDone);
    EXPECT_EQ(1, outcome.actionCloseNow);
    EXPECT_TRUE(outcome.fileDataFreed);
    EXPECT_EQ(std::vector<std::string>{kUploadFailedMessage}, outcome.boxes);
}
