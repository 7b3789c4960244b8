// The firmware upload worker against a tiny HTTP server on this sandbox's
// own loopback, and the upload page's handling of the worker's reports.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/afx.h"
#include "net/base64.h"
#include "net/firmware_upload_worker.h"
#include "net/upload_form_body.h"
#include "net/upload_reports.h"
#include "net/upload_request.h"
#include "shared/shared_values.h"
#include "shared/timings.h"
#include "tests/support/handle_close_watch.h"
#include "tests/support/import_hook.h"
#include "tests/net/system_proxy.h"
#include "tests/support/tiny_http_server.h"

namespace {

struct WorkerReports {
    std::vector<WPARAM> progress;
    bool ended = false;
    LPARAM final = -1;
    int finals = 0;
    // Whether the library had let go of the request (its closing
    // notification) when the final report arrived.
    bool requestReleasedBeforeEnd = false;
    // Kinds of the WinINet handles the worker closed, in order.
    std::vector<DWORD> closed;
    size_t ProgressSum() const {
        return std::accumulate(progress.begin(), progress.end(), size_t{0});
    }
};

std::string WriteImage(const char* name, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    FILE* file = std::fopen(name, "wb");
    if (file != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return bytes;
}

// What the library tells the worker and what the worker closes, seen from
// this program's import table.
// What the library tells the worker, seen from this program's import table.
struct LibraryWatch {
    INTERNET_STATUS_CALLBACK workerCallback = nullptr;
    std::atomic<bool> requestClosing{false};
};
LibraryWatch g_watch;
using SetCallbackFunction = INTERNET_STATUS_CALLBACK(WINAPI*)(HINTERNET, INTERNET_STATUS_CALLBACK);
SetCallbackFunction g_realSetCallback = nullptr;

void CALLBACK WatchingCallback(HINTERNET handle, DWORD_PTR context, DWORD status,
                               LPVOID information, DWORD length) {
    if (context == 2 && status == INTERNET_STATUS_HANDLE_CLOSING)
        g_watch.requestClosing = true;
    g_watch.workerCallback(handle, context, status, information, length);
}

INTERNET_STATUS_CALLBACK WINAPI SetWatchingCallback(HINTERNET handle,
                                                    INTERNET_STATUS_CALLBACK callback) {
    if (callback == nullptr)
        return g_realSetCallback(handle, nullptr);
    g_watch.workerCallback = callback;
    return g_realSetCallback(handle, &WatchingCallback);
}

const std::vector<DWORD>& kChildFirst = HandleCloseWatch::kChildFirst;

// Runs one upload to 127.0.0.1 and collects every report until the final
// one (and a little after it, to catch a second final report).
WorkerReports RunWorker(const char* path, const char* host = "127.0.0.1",
                        const char* user = "admin", const char* password = "secret") {
    g_watch.requestClosing = false;
    ImportHook callbackHook("wininet.dll", "InternetSetStatusCallback",
                            reinterpret_cast<void*>(&SetWatchingCallback));
    HandleCloseWatch closes;
    EXPECT_TRUE(callbackHook.Installed() && closes.Installed());
    g_realSetCallback = callbackHook.Original<SetCallbackFunction>();
    AdminUserName = user;
    EXPECT_TRUE(FillUploadRequest(&TheUploadRequest, path, host, password));
    HWND sink =
        ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    UploadStatusWindow = sink;
    WorkerReports reports;
    auto thread = AfxBeginThread(&FirmwareUploadWorker, &TheUploadRequest, THREAD_PRIORITY_NORMAL,
                                 kUploadWorkerStackSize);
    EXPECT_TRUE(thread != nullptr);
    const ULONGLONG deadline = ::GetTickCount64() + 60000;
    ULONGLONG quietUntil = 0;
    while (::GetTickCount64() < deadline && (!reports.ended || ::GetTickCount64() < quietUntil)) {
        MSG message;
        if (!::PeekMessageA(&message, sink, 0, 0, PM_REMOVE)) {
            ::Sleep(2);
            continue;
        }
        if (message.message != WM_UPLOAD_STATUS)
            continue;
        if (message.wParam != 0) {
            EXPECT_EQ(message.lParam, 0);
            EXPECT_FALSE(reports.ended) << "progress after the final report";
            reports.progress.push_back(TheUploadReports.TakeSent()); // as the page takes them
        } else {
            ++reports.finals;
            reports.progress.push_back(TheUploadReports.TakeSent()); // not posted since
            if (!reports.ended)
                reports.requestReleasedBeforeEnd = g_watch.requestClosing;
            reports.ended = true;
            reports.final = message.lParam;
            quietUntil = ::GetTickCount64() + 200;
        }
    }
    if (thread)
        ::WaitForSingleObject(thread->Handle(), 10000);
    ::DestroyWindow(sink);
    EXPECT_EQ(reports.finals, 1);
    reports.closed = closes.Closed();
    return reports;
}

std::string Header(const std::string& head, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const size_t at = head.find(key);
    if (at == std::string::npos)
        return "";
    const size_t from = at + key.size();
    return head.substr(from, head.find("\r\n", from) - from);
}

TEST(UploadWorker, PostsTheFormByteForByteInChunksAndReportsEveryByte) {
    // 304 + 15 + 2602 = 2921 bytes: writes of 1460, 1460 and 1.
    const char path[] = "fw_upload_a.bin";
    const std::string image = WriteImage(path, 2602);
    TinyHttpServer server({});
    ASSERT_TRUE(server.Listening());
    const WorkerReports reports = RunWorker(path);
    const ServerRecord record = server.Finish();

    EXPECT_EQ(reports.final, kUploadFinished);
    const std::vector<uint8_t> expected =
        BuildUploadFormBody(path, reinterpret_cast<const uint8_t*>(image.data()), image.size());
    ASSERT_EQ(expected.size(), 2921u);
    EXPECT_EQ(record.body, std::string(expected.begin(), expected.end()));
    EXPECT_EQ(record.head.rfind("POST /upgrade_flash.cgi HTTP/1.1\r\n", 0), 0u) << record.head;
    EXPECT_EQ(Header(record.head, "Content-Length"), "2921");
    EXPECT_EQ(Header(record.head, "User-Agent"), "CorvaneUpload");
    EXPECT_EQ(Header(record.head, "Referer"),
              "http://127.0.0.1/setup.cgi?next_file=FirmwareUpgrade.htm");
    EXPECT_EQ(Header(record.head, "Authorization"), "Basic YWRtaW46c2VjcmV0");
    const size_t type = record.head.find("\r\nContent-Type: multipart/form-data; boundary=");
    const size_t length = record.head.find("\r\nContent-Length: ");
    const size_t referer = record.head.find("\r\nReferer: ");
    const size_t auth = record.head.find("\r\nAuthorization: ");
    EXPECT_TRUE(type < length && length < referer && referer < auth) << record.head;
    EXPECT_EQ(reports.ProgressSum(), record.head.size() + record.body.size());
}

// The library's side of one chunk as an asynchronous library may give it:
// the chunk fails on the library's own thread, and that completion is
// reported before the call has returned "pending".
using WriteFunction = BOOL(WINAPI*)(HINTERNET, LPCVOID, DWORD, LPDWORD);
WriteFunction g_realWrite = nullptr;
std::atomic<int> g_writes{0};
INTERNET_ASYNC_RESULT g_failedWrite{};

BOOL WINAPI SecondWriteFailsBeforeItReturns(HINTERNET file, LPCVOID buffer, DWORD length,
                                            LPDWORD written) {
    if (++g_writes != 2)
        return g_realWrite(file, buffer, length, written);
    std::thread([file] {
        INTERNET_ASYNC_RESULT result = g_failedWrite;
        UploadStatusCallback(file, 2, INTERNET_STATUS_REQUEST_COMPLETE, &result, sizeof result);
    }).join();
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

// dwResult FALSE is a failure even where dwError reads 0.
TEST(UploadWorker, AChunkWhoseFailureIsReportedBeforeItsCallReturnsFails) {
    const char path[] = "fw_upload_f.bin";
    WriteImage(path, 20000);
    for (DWORD error : {DWORD{ERROR_INTERNET_CONNECTION_RESET}, DWORD{ERROR_SUCCESS}}) {
        TinyHttpServer server({});
        g_writes = 0;
        g_failedWrite = {FALSE, error};
        ImportHook hook("wininet.dll", "InternetWriteFile",
                        reinterpret_cast<void*>(&SecondWriteFailsBeforeItReturns));
        ASSERT_TRUE(hook.Installed());
        g_realWrite = hook.Original<WriteFunction>();
        EXPECT_EQ(RunWorker(path).final, kUploadFailed) << error;
        EXPECT_LT(server.Finish().body.size(), 1460u * 2) << error;
    }
}

BOOL WINAPI EndWithAnAnswerNotHttp(HINTERNET, LPINTERNET_BUFFERSA, DWORD, DWORD_PTR) {
    ::SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return FALSE;
}

struct AnswerCase {
    const char* name;
    ServerPlan plan;
    LPARAM final;
    DWORD receiveTimeoutMs = 1500;
    DWORD waitLimitMs = 180000;
    DWORD writeLimitMs = 60000;
    size_t imageSize = 200000;
    // HttpEndRequestA fails with ERROR_HTTP_INVALID_SERVER_RESPONSE and no
    // status is read, whatever the library would make of the answer.
    bool answerNotHttp = false;
    // Whether the library lets go of the request before the report: Wine
    // keeps a read of a trickling answer pending until its buffer is full,
    // the close notwithstanding; the worker then leaves the buffers to it.
    bool released = true;
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
    *out << c.name;
}

class UploadWorkerAnswers : public ::testing::TestWithParam<AnswerCase> {};

// Each row of the worker's table of endings, against a router that behaves
// that way. Whatever the ending, the worker reports it only once the
// library has let go of the request, and closes its handles child first.
TEST_P(UploadWorkerAnswers, EndAsTheRouterDecides) {
    const AnswerCase& c = GetParam();
    const char path[] = "fw_upload_b.bin";
    WriteImage(path, c.imageSize);
    TheTimings.uploadReceiveTimeoutMs = c.receiveTimeoutMs;
    TheTimings.uploadWaitLimitMs = c.waitLimitMs;
    TheTimings.uploadWriteLimitMs = c.writeLimitMs;
    TinyHttpServer server(c.plan);
    std::unique_ptr<TinyHttpServer> elsewhere; // where a redirect points, answering 500
    if (c.plan.redirectPort)
        elsewhere.reset(
            new TinyHttpServer({RouterBehaviour::kAnswer, 500, c.plan.redirectPort, 3000, 0, {}}));
    std::optional<ImportHook> notHttp;
    if (c.answerNotHttp)
        notHttp.emplace("wininet.dll", "HttpEndRequestA",
                        reinterpret_cast<void*>(&EndWithAnAnswerNotHttp));
    const ULONGLONG began = ::GetTickCount64();
    const WorkerReports reports = RunWorker(path);
    const ULONGLONG took = ::GetTickCount64() - began;
    server.Finish();
    TheTimings = Timings{};
    EXPECT_EQ(reports.final, c.final) << c.name;
    if (elsewhere) {
        EXPECT_FALSE(elsewhere->Finish().connected) << c.name;
    }
    if (c.released) {
        EXPECT_TRUE(reports.requestReleasedBeforeEnd) << c.name;
    }
    EXPECT_EQ(reports.closed, kChildFirst) << c.name;
    // Bounded by the time-outs: a wait, a receive time-out for the
    // cancelled operation, and room for a loaded machine.
    EXPECT_LT(took, c.receiveTimeoutMs * 3 + 15000) << c.name;
}

AnswerCase Case(const char* name, RouterBehaviour behaviour, int status, LPARAM final) {
    ServerPlan plan;
    plan.behaviour = behaviour;
    plan.status = status;
    return {name, plan, final};
}

AnswerCase Answered(const char* name, int status, LPARAM final) {
    return Case(name, RouterBehaviour::kAnswer, status, final);
}

// The wait limit is shorter than the receive time-out: the worker gives up
// on an operation the library still has pending.
AnswerCase GivingUp(const char* name, RouterBehaviour behaviour) {
    AnswerCase c = Case(name, behaviour, 200, kUploadFinished);
    c.receiveTimeoutMs = 3000;
    c.waitLimitMs = 500;
    return c;
}

AnswerCase WithImage(AnswerCase c, size_t imageSize) {
    c.imageSize = imageSize;
    return c;
}

// Each stall of a write within the send time-out, the write past its deadline.
AnswerCase Trickling(const char* name) {
    AnswerCase c =
        WithImage(Case(name, RouterBehaviour::kTrickleRead, 200, kUploadFailed), 8000000);
    c.receiveTimeoutMs = 5000;
    c.writeLimitMs = 500;
    return c;
}

// The library finds no HTTP status line in the router's answer.
AnswerCase NotHttp(const char* name) {
    AnswerCase c = Answered(name, 200, kUploadFinished);
    c.answerNotHttp = true;
    return c;
}

AnswerCase StillPendingInTheLibrary(AnswerCase c) {
    c.released = false;
    return c;
}

const AnswerCase kAnswerCases[] = {
    Answered("accepted", 200, kUploadFinished),
    {"redirected to a second server",
     {RouterBehaviour::kAnswer, 302, 80, 15000, 8081, {}},
     kUploadFinished},
    Answered("unauthorised", 401, kUploadFailed),
    Answered("forbidden", 403, kUploadFailed),
    Answered("not found", 404, kUploadFailed),
    Answered("server error", 500, kUploadFailed),
    Case("closed after the body without an answer", RouterBehaviour::kCloseWithoutAnswer, 200,
         kUploadFinished),
    Case("silent after the body", RouterBehaviour::kSilent, 200, kUploadFinished),
    NotHttp("status line not HTTP"),
    // More than the socket buffers of both ends hold: the worker is still
    // writing when the router drops the connection (with a smaller image the
    // whole body may already lie in the sockets' buffers, and the router
    // has in fact taken it all), or a write stalls until the send time-out.
    WithImage(Case("closed in the middle of the body", RouterBehaviour::kCloseMidBody, 200,
                   kUploadFailed),
              8000000),
    WithImage(Case("stops reading in the middle of the body", RouterBehaviour::kStopReading, 200,
                   kUploadFailed),
              8000000),
    Trickling("reads the body a few bytes at a time"),
    StillPendingInTheLibrary(
        Case("answer that never ends", RouterBehaviour::kTrickle, 200, kUploadFinished)),
    GivingUp("gives up waiting for the answer", RouterBehaviour::kSilent),
    GivingUp("gives up on a pending read of the answer", RouterBehaviour::kHeadThenSilence),
};

std::string CaseName(const ::testing::TestParamInfo<AnswerCase>& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            name += *c;
    return name;
}

INSTANTIATE_TEST_SUITE_P(Router, UploadWorkerAnswers, ::testing::ValuesIn(kAnswerCases), CaseName);

// A write the library leaves pending and never completes: the worker gives
// up after its wait limit, and the body did not all go out.
BOOL WINAPI ThirdWriteNeverCompletes(HINTERNET file, LPCVOID buffer, DWORD length,
                                     LPDWORD written) {
    if (++g_writes != 3)
        return g_realWrite(file, buffer, length, written);
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

TEST(UploadWorker, FailsWhenItGivesUpOnAPendingWrite) {
    const char path[] = "fw_upload_g.bin";
    WriteImage(path, 20000);
    TinyHttpServer server({});
    g_writes = 0;
    ImportHook hook("wininet.dll", "InternetWriteFile",
                    reinterpret_cast<void*>(&ThirdWriteNeverCompletes));
    ASSERT_TRUE(hook.Installed());
    g_realWrite = hook.Original<WriteFunction>();
    TheTimings.uploadWaitLimitMs = 500;
    const ULONGLONG began = ::GetTickCount64();
    const WorkerReports reports = RunWorker(path);
    const ULONGLONG took = ::GetTickCount64() - began;
    TheTimings.uploadWaitLimitMs = 180000;
    EXPECT_EQ(reports.final, kUploadFailed);
    EXPECT_LT(took, 15000u);
    EXPECT_TRUE(reports.requestReleasedBeforeEnd);
    EXPECT_EQ(reports.closed, kChildFirst);
    EXPECT_EQ(server.Finish().body.size(), 1460u * 2);
}

// The router is on the local network: a proxy set for the user is not used,
// so neither the image nor the administrator's password goes to it.
TEST(UploadWorker, GoesStraightToTheRouterPastAConfiguredProxy) {
    const char path[] = "fw_upload_h.bin";
    WriteImage(path, 3000);
    ServerPlan proxyPlan;
    proxyPlan.port = 8080;
    proxyPlan.acceptWaitMs = 3000;
    TinyHttpServer proxy(proxyPlan);
    TinyHttpServer router({});
    ASSERT_TRUE(proxy.Listening() && router.Listening());
    SystemProxy setting("127.0.0.1:8080");
    ASSERT_TRUE(setting.Set());
    const WorkerReports reports = RunWorker(path);
    EXPECT_EQ(reports.final, kUploadFinished);
    EXPECT_EQ(router.Finish().head.rfind("POST /upgrade_flash.cgi HTTP/1.1\r\n", 0), 0u);
    EXPECT_FALSE(proxy.Finish().connected);
}

// The worker ends within a second here; the server need not wait longer.
ServerPlan ExpectNoClient() {
    ServerPlan plan;
    plan.acceptWaitMs = 2000;
    return plan;
}

// Windows' heap answers a block it cannot give with null: here, a megabyte.
decltype(&::HeapAlloc) g_realHeapAlloc = nullptr;
LPVOID WINAPI NoMegabyteBlock(HANDLE heap, DWORD flags, SIZE_T size) {
    return size >= 1000000 ? nullptr : g_realHeapAlloc(heap, flags, size);
}

TEST(UploadWorker, FailsBeforeSendingWhenTheImageIsMissingOrEmptyOrItsBodyNotAllocated) {
    WriteImage("fw_upload_empty.bin", 0);
    WriteImage("fw_upload_m.bin", 2000000);
    ImportHook hook("kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(&NoMegabyteBlock));
    ASSERT_TRUE(hook.Installed());
    g_realHeapAlloc = hook.Original<decltype(&::HeapAlloc)>();
    for (const char* path : {"fw_upload_missing.bin", "fw_upload_empty.bin", "fw_upload_m.bin"}) {
        TinyHttpServer server(ExpectNoClient());
        EXPECT_EQ(RunWorker(path).final, kUploadFailed) << path;
        EXPECT_FALSE(server.Finish().connected) << path;
    }
}

TEST(UploadWorker, FailsWhenTheRouterRefusesTheConnection) {
    const char path[] = "fw_upload_e.bin";
    WriteImage(path, 5000);
    const WorkerReports reports = RunWorker(path); // nothing listens on port 80
    EXPECT_EQ(reports.final, kUploadFailed);
}

TEST(UploadWorker, RefusesACredentialTooLongForItsHeaderLine) {
    const char path[] = "fw_upload_c.bin";
    WriteImage(path, 10);
    TinyHttpServer server(ExpectNoClient());
    const std::string user(40, 'u');
    const std::string password(38, 'p'); // 79 characters with the colon
    const WorkerReports reports = RunWorker(path, "127.0.0.1", user.c_str(), password.c_str());
    EXPECT_EQ(reports.final, kUploadFailed);
    EXPECT_FALSE(server.Finish().connected);
}

TEST(UploadWorker, ReportsNoConnectionWhenTheConnectionCannotBeSetUp) {
    const char path[] = "fw_upload_d.bin";
    WriteImage(path, 10);
    const WorkerReports reports = RunWorker(path, "");
    EXPECT_EQ(reports.final, kUploadNoConnection);
}

TEST(UploadRequestBlock, RefusesTextsThatDoNotFit) {
    UploadRequest request;
    const std::string path259(259, 'p');
    const std::string path260(260, 'p');
    EXPECT_TRUE(FillUploadRequest(&request, path259.c_str(), "192.168.1.1", "pw"));
    EXPECT_EQ(std::string(request.path), path259);
    EXPECT_STREQ(request.object, "/upgrade_flash.cgi");
    EXPECT_FALSE(FillUploadRequest(&request, path260.c_str(), "192.168.1.1", "pw"));
    EXPECT_STREQ(request.path, "");
    EXPECT_FALSE(
        FillUploadRequest(&request, "fw.bin", "192.168.1.1", std::string(128, 'x').c_str()));
}

} // namespace
