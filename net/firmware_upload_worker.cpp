#include "net/firmware_upload_worker.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "net/internet_handle.h"
#include "net/upload_form_body.h"
#include "net/upload_reports.h"
#include "net/upload_request.h"
#include "shared/shared_values.h"
#include "shared/timings.h"
#include "shared/upgrade_record.h"
#include "shared/upgrade_record_file.h"

HWND UploadStatusWindow = nullptr;

namespace {

constexpr char kUserAgent[] = "CorvaneUpload";
constexpr DWORD_PTR kConnectionContext = 1;
constexpr DWORD_PTR kRequestContext = 2;
constexpr size_t kChunkSize = 1460;
constexpr DWORD kReadBackSize = 100000;
constexpr DWORD kPieceSize = 255;
// A router's answer is a short page; an endless stream must not keep the
// worker reading for ever.
constexpr int kMaxResponseReads = 4096;
constexpr DWORD kFirstErrorStatus = 400;

// What the callback shares with the worker. The callback stores a handle
// before it sets the event, and the worker reads the handle only after its
// wait, so no lock is needed.
struct CallbackShared {
    std::atomic<HINTERNET> connection{nullptr};
    std::atomic<HINTERNET> request{nullptr};
    std::atomic<HANDLE> connectReady{nullptr};
    std::atomic<HANDLE> requestComplete{nullptr};
    std::atomic<HANDLE> requestClosed{nullptr};
    // Error code of the request's last asynchronous completion.
    std::atomic<DWORD> completionError{ERROR_SUCCESS};
    // Off once the final report is due: nothing the library still delivers
    // may reach the page after it.
    std::atomic<bool> reporting{false};
};
CallbackShared g_shared;

void SetIfOpen(const std::atomic<HANDLE>& event) {
    if (HANDLE handle = event.load())
        ::SetEvent(handle);
}

struct HeapBlockFree {
    void operator()(uint8_t* block) const { ::HeapFree(::GetProcessHeap(), 0, block); }
};

// Everything an asynchronous operation on the request reads or writes. The
// library may go on using it after a wait has given up, until it has let go
// of the request.
struct TransferBuffers {
    // From the process heap, which answers a block it cannot give with null.
    std::unique_ptr<uint8_t[], HeapBlockFree> body;
    size_t bodyLength = 0;
    INTERNET_BUFFERSA sendRecord{};
    DWORD written = 0; // a write's count, not used: each chunk starts behind the previous one
    INTERNET_BUFFERSA readRecord{};
    char piece[kPieceSize + 1] = {};
};

// How long the library may still take to let go of a request that was
// closed with an operation pending: that operation ends with its receive.
DWORD ClosingWaitMs() {
    return TheTimings.uploadReceiveTimeoutMs + 1000;
}

// Everything one run opens, released on every exit: the WinINet handles
// child first (request, connection, root), then the events and the buffers.
class UploadRun {
public:
    UploadRun() = default;
    UploadRun(const UploadRun&) = delete;
    UploadRun& operator=(const UploadRun&) = delete;
    ~UploadRun() {
        // Closing the request ends what is still pending on it (Wine's
        // library only once that operation's receive ends); the library is
        // done with the buffers once the request's closing notification has
        // come.
        bool released = true;
        if (request) {
            request.Reset();
            released = ::WaitForSingleObject(requestClosed.Get(), ClosingWaitMs()) == WAIT_OBJECT_0;
        }
        g_shared.reporting = false;
        connection.Reset();
        if (root)
            ::InternetSetStatusCallback(root.Get(), nullptr);
        root.Reset();
        g_shared.connection = nullptr;
        g_shared.request = nullptr;
        if (!released) {
            // Still in the library's hands: left to it for the life of the
            // process rather than freed under a pending operation. The
            // events stay too, since a late completion still sets them.
            static_cast<void>(buffers.release());
            connectReady.Release();
            requestComplete.Release();
            requestClosed.Release();
            return;
        }
        // The callback no longer finds the events once they are gone.
        g_shared.connectReady = nullptr;
        g_shared.requestComplete = nullptr;
        g_shared.requestClosed = nullptr;
    }

    std::unique_ptr<TransferBuffers> buffers = std::make_unique<TransferBuffers>();
    UniqueKernelHandle connectReady;
    UniqueKernelHandle requestComplete;
    UniqueKernelHandle requestClosed;
    InternetHandle root;
    InternetHandle connection;
    InternetHandle request;
};

bool PostStatus(WPARAM count, LPARAM final) {
    return ::PostMessageA(UploadStatusWindow, WM_UPLOAD_STATUS, count, final) != FALSE;
}

// How one asynchronous library call ended.
struct Completion {
    enum Kind { kDone, kFailed, kGaveUp } kind = kDone;
    DWORD error = ERROR_SUCCESS; // of the failed call or of its completion
};

// Makes one library call that may complete asynchronously and waits for it
// at most waitMs. The completion error is cleared before the call, never
// after: the library may report the completion on its own thread before the
// call has returned ERROR_IO_PENDING.
template <typename Call> Completion Complete(HANDLE event, DWORD waitMs, Call call) {
    g_shared.completionError = ERROR_SUCCESS;
    if (call())
        return {};
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING)
        return {Completion::kFailed, error};
    if (::WaitForSingleObject(event, waitMs) != WAIT_OBJECT_0)
        return {Completion::kGaveUp, ERROR_SUCCESS};
    const DWORD completionError = g_shared.completionError.load();
    if (completionError != ERROR_SUCCESS)
        return {Completion::kFailed, completionError};
    return {};
}

// How the request ended, as far as the worker saw it.
struct RequestEnd {
    bool bodyHandedOver = false; // the library took every chunk
    Completion end;              // of HttpEndRequestA, once the body was handed over
    DWORD status = 0;            // HTTP status read back; 0 when there was none
};

// The one place that decides how an upload that reached the router ends:
//
//   body handed over | what ended the request                      | report
//   -----------------+---------------------------------------------+--------
//   no               | the send start or a chunk failed, was reset | failed
//                    | or aborted, or a wait gave up on it         |
//   yes              | a status below 400 read back                | done
//   yes              | a status of 400 or above                    | failed
//   yes              | the connection closed before any byte of an | done
//                    | answer                                      |
//   yes              | silence until the receive time-out, or the  | done
//                    | wait for the answer gave up                 |
//   yes              | a reset or an abort                         | failed
//   yes              | any other error, notably                    | done
//                    | ERROR_HTTP_INVALID_SERVER_RESPONSE          |
//
// Done without an answer is the router restarting with its new image. The
// library reports some cases alike: a close before any answer and an answer
// that is not HTTP at all both come as ERROR_HTTP_INVALID_SERVER_RESPONSE
// (Wine's library reads the latter as HTTP/1.0 200 and the former as status
// 0). The restarting router's case decides, so a router that is already
// writing its new image is never reported as failed: a user told to try
// again might switch it off.
LPARAM FinalReportOf(const RequestEnd& end) {
    if (!end.bodyHandedOver)
        return kUploadFailed;
    if (end.status != 0)
        return end.status < kFirstErrorStatus ? kUploadFinished : kUploadFailed;
    if (end.end.kind == Completion::kFailed && (end.end.error == ERROR_INTERNET_CONNECTION_RESET ||
                                                end.end.error == ERROR_INTERNET_CONNECTION_ABORTED))
        return kUploadFailed;
    return kUploadFinished;
}

bool CreateEvents(UploadRun& run) {
    run.connectReady.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    run.requestComplete.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    run.requestClosed.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!run.connectReady || !run.requestComplete || !run.requestClosed)
        return false;
    g_shared.connectReady = run.connectReady.Get();
    g_shared.requestComplete = run.requestComplete.Get();
    g_shared.requestClosed = run.requestClosed.Get();
    g_shared.reporting = true;
    return true;
}

// Sends and receives on the connection are bounded, so a router that stops
// reading or never answers ends the operation with an error.
void SetTimeouts(HINTERNET handle) {
    DWORD timeout = TheTimings.uploadReceiveTimeoutMs;
    ::InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    ::InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
}

bool OpenRoot(UploadRun& run) {
    // The router is on the local network: a proxy could not reach it, or
    // would carry the administrator's password to another host.
    run.root.Reset(::InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr,
                                   INTERNET_FLAG_ASYNC));
    if (!run.root)
        return false;
    SetTimeouts(run.root.Get()); // children inherit them
    return true;
}

bool Connect(UploadRun& run, const UploadRequest& request) {
    HINTERNET connection = nullptr;
    const Completion opened = Complete(run.connectReady.Get(), TheTimings.uploadWaitLimitMs, [&] {
        connection = ::InternetConnectA(run.root.Get(), request.host, INTERNET_DEFAULT_HTTP_PORT,
                                        AdminUserName.GetString(), request.password,
                                        INTERNET_SERVICE_HTTP, 0, kConnectionContext);
        return connection != nullptr;
    });
    if (opened.kind == Completion::kGaveUp)
        return false;
    run.connection.Reset(connection ? connection : g_shared.connection.load());
    return static_cast<bool>(run.connection);
}

bool OpenRequest(UploadRun& run, const UploadRequest& request) {
    HINTERNET opened = nullptr;
    const Completion done = Complete(run.requestComplete.Get(), TheTimings.uploadWaitLimitMs, [&] {
        // A redirect is never followed: the router's own answer decides, and
        // neither the image nor the password goes anywhere else.
        opened = ::HttpOpenRequestA(
            run.connection.Get(), "POST", request.object, nullptr, nullptr, nullptr,
            INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT, kRequestContext);
        return opened != nullptr;
    });
    // The outcome of a completion is not examined: without a handle the open
    // failed. A handle the library made is owned (and closed) either way.
    run.request.Reset(opened ? opened : g_shared.request.load());
    g_shared.request = run.request.Get(); // the same handle the callback may have stored
    if (!run.request || done.kind == Completion::kGaveUp)
        return false;
    SetTimeouts(run.request.Get());
    return true;
}

// The whole form in one zero-filled block, the file read into its place
// with one read.
bool BuildBody(UploadRun& run, const UploadRequest& request) {
    UniqueFileHandle file(::CreateFileA(request.path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size))
        return false;
    const std::string path(request.path);
    // Content-Length goes out as a decimal int and every write takes a DWORD.
    const uint64_t bodyLength =
        UploadFormBodyLength(path.size(), 0) + static_cast<uint64_t>(size.QuadPart);
    // An empty image is no firmware: nothing is sent.
    if (size.QuadPart <= 0 || bodyLength > INT_MAX)
        return false;
    const size_t fileSize = static_cast<size_t>(size.QuadPart);
    TransferBuffers& buffers = *run.buffers;
    buffers.bodyLength = static_cast<size_t>(bodyLength);
    buffers.body.reset(static_cast<uint8_t*>(
        ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, buffers.bodyLength)));
    FormBodyLayout layout;
    if (!buffers.body ||
        !WriteUploadFormFrame(path, fileSize, buffers.body.get(), buffers.bodyLength, &layout))
        return false;
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffers.body.get() + layout.fileOffset,
                    static_cast<DWORD>(fileSize), &read, nullptr) ||
        read != fileSize)
        return false;
    // Hashed here, on the worker, from the bytes that are about to go out.
    UpgradeRecord::AddMade([&] {
        return "firmware file " + path + ": " + std::to_string(fileSize) + " bytes, SHA-256 " +
               UpgradeRecord::Sha256Text(buffers.body.get() + layout.fileOffset, fileSize);
    });
    return true;
}

bool AddHeader(HINTERNET request, const char* line) {
    return ::HttpAddRequestHeadersA(request, line, static_cast<DWORD>(-1),
                                    HTTP_ADDREQ_FLAG_ADD_IF_NEW) != FALSE;
}

bool AddHeaders(UploadRun& run, const UploadRequest& request) {
    HINTERNET handle = run.request.Get();
    char line[kHeaderLineSize] = {};
    if (!AddHeader(handle, FormContentTypeHeader()))
        return false;
    if (!FormatContentLengthHeader(line, sizeof line, run.buffers->bodyLength) ||
        !AddHeader(handle, line))
        return false;
    if (!FormatRefererHeader(line, sizeof line, request.host) || !AddHeader(handle, line))
        return false;
    // A credential too long for the header line is refused, not cut.
    return FormatBasicAuthorizationHeader(line, sizeof line, AdminUserName.str(),
                                          request.password) &&
           AddHeader(handle, line);
}

bool ReadBackHeaders(UploadRun& run) {
    std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kReadBackSize);
    DWORD size = kReadBackSize;
    return ::HttpQueryInfoA(run.request.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, buffer.get(), &size,
                            nullptr) != FALSE;
}

bool StartSending(UploadRun& run) {
    INTERNET_BUFFERSA& record = run.buffers->sendRecord;
    record = {};
    // 40 bytes in a 32-bit build; the library checks the size of its own
    // platform's record.
    record.dwStructSize = sizeof record;
    return Complete(run.requestComplete.Get(), TheTimings.uploadWaitLimitMs, [&] {
               return ::HttpSendRequestExA(run.request.Get(), &record, nullptr, 0,
                                           kRequestContext) != FALSE;
           }).kind == Completion::kDone;
}

// Every chunk in turn; a chunk counts as sent only when its completion
// reports success. The send time-out bounds each stall of a write, not the
// write: a router that takes a few bytes now and then would hold one for
// days, so each write has a deadline of its own.
bool WriteBody(UploadRun& run, uint64_t* handedOver) {
    TransferBuffers& buffers = *run.buffers;
    const DWORD writeLimitMs = TheTimings.uploadWriteLimitMs < TheTimings.uploadWaitLimitMs
                                   ? TheTimings.uploadWriteLimitMs
                                   : TheTimings.uploadWaitLimitMs;
    size_t at = 0;
    while (at < buffers.bodyLength) {
        const size_t left = buffers.bodyLength - at;
        const DWORD chunk = static_cast<DWORD>(left > kChunkSize ? kChunkSize : left);
        const ULONGLONG deadline = ::GetTickCount64() + writeLimitMs;
        const Completion sent = Complete(run.requestComplete.Get(), writeLimitMs, [&] {
            return ::InternetWriteFile(run.request.Get(), buffers.body.get() + at, chunk,
                                       &buffers.written) != FALSE;
        });
        // A library that sends within the call itself (Wine's does) shows
        // an overrun only once the call has returned.
        if (sent.kind != Completion::kDone || ::GetTickCount64() > deadline)
            return false;
        at += chunk;
        *handedOver = at;
    }
    return true;
}

RequestEnd EndRequest(UploadRun& run) {
    RequestEnd end;
    end.bodyHandedOver = true;
    // A router that keeps the connection open without answering is bounded
    // by the receive time-out; the wait limit only backs it up.
    end.end = Complete(run.requestComplete.Get(), TheTimings.uploadWaitLimitMs, [&] {
        return ::HttpEndRequestA(run.request.Get(), nullptr, HSR_INITIATE, kRequestContext) !=
               FALSE;
    });
    if (end.end.kind == Completion::kGaveUp)
        return end; // the request is still busy: nothing to read back
    DWORD status = 0;
    DWORD size = sizeof status;
    if (::HttpQueryInfoA(run.request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                         &status, &size, nullptr))
        end.status = status;
    return end;
}

// The answer is read to its end, to the first failure, or for as long as
// the receive time-out in all, and dropped.
void DrainResponse(UploadRun& run) {
    TransferBuffers& buffers = *run.buffers;
    const ULONGLONG deadline = ::GetTickCount64() + TheTimings.uploadReceiveTimeoutMs;
    for (int reads = 0; reads < kMaxResponseReads; ++reads) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return;
        const DWORD left = static_cast<DWORD>(deadline - now);
        INTERNET_BUFFERSA& record = buffers.readRecord;
        record = {};
        record.dwStructSize = sizeof record;
        record.lpvBuffer = buffers.piece;
        record.dwBufferLength = kPieceSize;
        const Completion read = Complete(
            run.requestComplete.Get(),
            left < TheTimings.uploadWaitLimitMs ? left : TheTimings.uploadWaitLimitMs, [&] {
                return ::InternetReadFileExA(run.request.Get(), &record, IRF_ASYNC,
                                             kRequestContext) != FALSE;
            });
        if (read.kind != Completion::kDone)
            return;
        if (record.dwBufferLength == 0 || record.dwBufferLength > kPieceSize)
            return;
        buffers.piece[record.dwBufferLength] = '\0';
    }
}

LPARAM RunUpload(const UploadRequest& request, UpgradeRecord::RequestAccount& account) {
    UploadRun run;
    if (!CreateEvents(run) || !OpenRoot(run))
        return kUploadFailed;
    if (::InternetSetStatusCallback(run.root.Get(), &UploadStatusCallback) ==
        INTERNET_INVALID_STATUS_CALLBACK)
        return kUploadFailed;
    if (!Connect(run, request))
        return kUploadNoConnection;
    if (!OpenRequest(run, request) || !BuildBody(run, request) || !AddHeaders(run, request) ||
        !ReadBackHeaders(run))
        return kUploadFailed;
    account.bytesTotal = run.buffers->bodyLength;
    RequestEnd end; // the body not handed over until every chunk was taken
    if (StartSending(run) && WriteBody(run, &account.bytesSent))
        end = EndRequest(run);
    account.status = end.status;
    account.error = end.end.error;
    const LPARAM final = FinalReportOf(end);
    if (final == kUploadFinished && end.status != 0)
        DrainResponse(run);
    return final;
}

// No exception ends the program from this thread: one (out of memory, most
// likely, while the body or the request is set up, before anything is
// sent) is a failed upload, the run's handles closed on the way out.
LPARAM RunGuarded(const UploadRequest* request, UpgradeRecord::RequestAccount& account) noexcept {
    try {
        return request ? RunUpload(*request, account) : kUploadFailed;
    } catch (...) {
        return kUploadFailed;
    }
}

const char* FinalReportName(LPARAM final) {
    switch (final) {
    case kUploadFinished:
        return "finished";
    case kUploadNoConnection:
        return "no connection";
    default:
        return "failed";
    }
}

} // namespace

UINT __cdecl FirmwareUploadWorker(LPVOID request) {
    TheUploadReports.Reset();
    const auto* block = static_cast<const UploadRequest*>(request);
    const ULONGLONG started = ::GetTickCount64();
    UpgradeRecord::RequestAccount account;
    const LPARAM final = RunGuarded(block, account);
    account.durationMs = ::GetTickCount64() - started;
    UpgradeRecord::AddMade([&] {
        account.what = std::string("firmware upload POST http://") + (block ? block->host : "") +
                       kFirmwareUploadObject;
        account.outcome = FinalReportName(final);
        return UpgradeRecord::RequestLine(account);
    });
    // Kept and posted after every handle is closed and the library has let
    // go of the request, so nothing of this run is left when the page hears
    // the end. Should the post be refused, the page finds the kept report
    // once this thread has ended.
    TheUploadReports.KeepFinal(final);
    PostStatus(0, final);
    return 0;
}

void CALLBACK UploadStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                   LPVOID information, DWORD informationLength) {
    if (context == kConnectionContext) {
        if (status == INTERNET_STATUS_HANDLE_CREATED && information != nullptr) {
            g_shared.connection = reinterpret_cast<HINTERNET>(
                static_cast<const INTERNET_ASYNC_RESULT*>(information)->dwResult);
            SetIfOpen(g_shared.connectReady);
        }
        return;
    }
    if (context != kRequestContext)
        return;
    // A request the worker gave up on may still report; only the current
    // one counts.
    if (status != INTERNET_STATUS_HANDLE_CREATED && handle != g_shared.request.load())
        return;
    switch (status) {
    case INTERNET_STATUS_HANDLE_CREATED:
        if (information != nullptr)
            g_shared.request = reinterpret_cast<HINTERNET>(
                static_cast<const INTERNET_ASYNC_RESULT*>(information)->dwResult);
        break;
    case INTERNET_STATUS_REQUEST_SENT:
        // A zero count would read as a final status at the page.
        if (g_shared.reporting && information != nullptr && informationLength >= sizeof(DWORD)) {
            const DWORD sent = *static_cast<const DWORD*>(information);
            if (sent != 0 && TheUploadReports.AddSent(sent, ::GetTickCount64()) &&
                !PostStatus(sent, 0))
                TheUploadReports.ProgressNotPosted();
        }
        break;
    case INTERNET_STATUS_REQUEST_COMPLETE:
        if (information != nullptr && informationLength >= sizeof(INTERNET_ASYNC_RESULT)) {
            // dwResult FALSE is a failure, whatever dwError says.
            const auto& result = *static_cast<const INTERNET_ASYNC_RESULT*>(information);
            g_shared.completionError = result.dwResult != FALSE ? ERROR_SUCCESS
                                       : result.dwError != ERROR_SUCCESS
                                           ? result.dwError
                                           : ERROR_INTERNET_INTERNAL_ERROR;
        }
        SetIfOpen(g_shared.requestComplete);
        break;
    case INTERNET_STATUS_HANDLE_CLOSING:
        // The library has let go of the request and of every buffer it was given.
        SetIfOpen(g_shared.requestClosed);
        break;
    default:
        break;
    }
}
