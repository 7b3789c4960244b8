#include "net/firmware_upload_worker.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "net/internet_handle.h"
#include "net/upload_form_body.h"
#include "net/upload_request.h"
#include "pages/shared_values.h"

HWND UploadStatusWindow = nullptr;
DWORD UploadReceiveTimeoutMs = 30000;

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
    // Error code of the request's last asynchronous completion.
    std::atomic<DWORD> completionError{ERROR_SUCCESS};
};
CallbackShared g_shared;

void SetIfOpen(const std::atomic<HANDLE>& event) {
    if (HANDLE handle = event.load())
        ::SetEvent(handle);
}

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Everything one run opens, released on every exit: the WinINet handles
// (request, connection, root), then the events, then the body.
class UploadRun {
public:
    UploadRun() = default;
    UploadRun(const UploadRun&) = delete;
    UploadRun& operator=(const UploadRun&) = delete;
    ~UploadRun() {
        if (root)
            ::InternetSetStatusCallback(root.Get(), nullptr);
        request.Close();
        connection.Close();
        root.Close();
        g_shared.connection = nullptr;
        g_shared.request = nullptr;
        // The callback no longer finds the events once they are gone.
        g_shared.connectReady = nullptr;
        g_shared.requestComplete = nullptr;
    }

    std::unique_ptr<uint8_t[]> body;
    size_t bodyLength = 0;
    UniqueHandle connectReady;
    UniqueHandle requestComplete;
    InternetHandle root;
    InternetHandle connection;
    InternetHandle request;
};

void PostStatus(WPARAM count, LPARAM final) {
    ::PostMessageA(UploadStatusWindow, WM_UPLOAD_STATUS, count, final);
}

// No single step of a live upload waits this long; a library that never
// completes an operation must not hold the worker for ever.
constexpr DWORD kOperationLimitMs = 180000;

// A library call that failed with ERROR_IO_PENDING carries on in the
// background: wait for its completion and go on as if it had succeeded.
// Sending steps also take a completion that reports an error as a failure:
// the library does not fail the next write after a refused connection, it
// leaves it pending.
bool Settle(bool succeeded, HANDLE completion, bool checkCompletion = false) {
    if (succeeded)
        return true;
    if (::GetLastError() != ERROR_IO_PENDING)
        return false;
    if (::WaitForSingleObject(completion, kOperationLimitMs) != WAIT_OBJECT_0)
        return false;
    return !checkCompletion || g_shared.completionError.load() == ERROR_SUCCESS;
}

bool CreateEvents(UploadRun& run) {
    run.connectReady.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    run.requestComplete.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!run.connectReady || !run.requestComplete)
        return false;
    g_shared.connectReady = run.connectReady.get();
    g_shared.requestComplete = run.requestComplete.get();
    return true;
}

bool OpenRoot(UploadRun& run) {
    run.root.Reset(::InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                   INTERNET_FLAG_ASYNC));
    if (!run.root)
        return false;
    // Children inherit the bound on a silent router.
    DWORD timeout = UploadReceiveTimeoutMs;
    ::InternetSetOptionA(run.root.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    return true;
}

bool Connect(UploadRun& run, const UploadRequest& request) {
    HINTERNET connection = ::InternetConnectA(
        run.root.Get(), request.host, INTERNET_DEFAULT_HTTP_PORT, AdminUserName.GetString(),
        request.password, INTERNET_SERVICE_HTTP, 0, kConnectionContext);
    if (!Settle(connection != nullptr, run.connectReady.get()))
        return false;
    run.connection.Reset(connection ? connection : g_shared.connection.load());
    return static_cast<bool>(run.connection);
}

bool OpenRequest(UploadRun& run, const UploadRequest& request) {
    HINTERNET opened =
        ::HttpOpenRequestA(run.connection.Get(), "POST", request.object, nullptr, nullptr, nullptr,
                           INTERNET_FLAG_NO_CACHE_WRITE, kRequestContext);
    if (!Settle(opened != nullptr, run.requestComplete.get()))
        return false;
    run.request.Reset(opened ? opened : g_shared.request.load());
    if (!run.request)
        return false;
    DWORD timeout = UploadReceiveTimeoutMs;
    ::InternetSetOptionA(run.request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout,
                         sizeof timeout);
    return true;
}

// The whole form in one zero-filled block, the file read into its place
// with one read.
bool BuildBody(UploadRun& run, const UploadRequest& request) {
    UniqueHandle file(::CreateFileA(request.path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release(); // nothing to close
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return false;
    const std::string path(request.path);
    // Content-Length goes out as a decimal int and every write takes a DWORD.
    const uint64_t bodyLength =
        UploadFormBodyLength(path.size(), 0) + static_cast<uint64_t>(size.QuadPart);
    if (size.QuadPart < 0 || bodyLength > INT_MAX)
        return false;
    const size_t fileSize = static_cast<size_t>(size.QuadPart);
    run.bodyLength = static_cast<size_t>(bodyLength);
    run.body = std::make_unique<uint8_t[]>(run.bodyLength); // zero-filled
    FormBodyLayout layout;
    if (!WriteUploadFormFrame(path, fileSize, run.body.get(), run.bodyLength, &layout))
        return false;
    if (fileSize == 0)
        return true;
    DWORD read = 0;
    return ::ReadFile(file.get(), run.body.get() + layout.fileOffset, static_cast<DWORD>(fileSize),
                      &read, nullptr) &&
           read == fileSize;
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
    if (!FormatContentLengthHeader(line, sizeof line, run.bodyLength) || !AddHeader(handle, line))
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
    INTERNET_BUFFERSA buffers{};
    // 40 bytes in a 32-bit build; the library checks the size of its own
    // platform's record.
    buffers.dwStructSize = sizeof buffers;
    g_shared.completionError = ERROR_SUCCESS;
    const BOOL ok = ::HttpSendRequestExA(run.request.Get(), &buffers, nullptr, 0, kRequestContext);
    return Settle(ok != FALSE, run.requestComplete.get(), true);
}

bool WriteBody(UploadRun& run) {
    size_t at = 0;
    while (at < run.bodyLength) {
        const size_t left = run.bodyLength - at;
        const DWORD chunk = static_cast<DWORD>(left > kChunkSize ? kChunkSize : left);
        DWORD written = 0; // not used: each chunk starts behind the previous one
        const BOOL ok =
            ::InternetWriteFile(run.request.Get(), run.body.get() + at, chunk, &written);
        g_shared.completionError = ERROR_SUCCESS;
        if (!Settle(ok != FALSE, run.requestComplete.get(), true))
            return false;
        at += chunk;
    }
    return true;
}

// The router took the whole body when it answers below 400, or when it
// closes or stays silent without answering (a router that restarts at once
// does that). A reset means it dropped the connection while the body was
// still coming in.
bool RouterTookBody(HINTERNET request, DWORD endError) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                         nullptr))
        return status < kFirstErrorStatus;
    switch (endError) {
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_INTERNET_CONNECTION_ABORTED:
        return false;
    default:
        return true;
    }
}

bool EndRequest(UploadRun& run) {
    g_shared.completionError = ERROR_SUCCESS;
    DWORD endError = ERROR_SUCCESS;
    if (!::HttpEndRequestA(run.request.Get(), nullptr, HSR_INITIATE, kRequestContext)) {
        endError = ::GetLastError();
        if (endError == ERROR_IO_PENDING) {
            // A router that keeps the connection open without answering is
            // bounded by the receive time-out; this limit only backs it up.
            if (::WaitForSingleObject(run.requestComplete.get(), kOperationLimitMs) !=
                WAIT_OBJECT_0)
                return true;
            endError = g_shared.completionError.load();
        }
    }
    return RouterTookBody(run.request.Get(), endError);
}

// The answer is read to its end (or to the first failure) and dropped.
void DrainResponse(UploadRun& run) {
    char piece[kPieceSize + 1] = {};
    for (int reads = 0; reads < kMaxResponseReads; ++reads) {
        INTERNET_BUFFERSA buffers{};
        buffers.dwStructSize = sizeof buffers;
        buffers.lpvBuffer = piece;
        buffers.dwBufferLength = kPieceSize;
        const BOOL ok =
            ::InternetReadFileExA(run.request.Get(), &buffers, IRF_ASYNC, kRequestContext);
        if (!Settle(ok != FALSE, run.requestComplete.get()))
            return;
        if (buffers.dwBufferLength == 0 || buffers.dwBufferLength > kPieceSize)
            return;
        piece[buffers.dwBufferLength] = '\0';
    }
}

LPARAM RunUpload(const UploadRequest& request) {
    UploadRun run;
    if (!CreateEvents(run) || !OpenRoot(run))
        return kUploadFailed;
    if (::InternetSetStatusCallback(run.root.Get(), &UploadStatusCallback) ==
        INTERNET_INVALID_STATUS_CALLBACK)
        return kUploadFailed;
    if (!Connect(run, request))
        return kUploadNoConnection;
    if (!OpenRequest(run, request) || !BuildBody(run, request) || !AddHeaders(run, request) ||
        !ReadBackHeaders(run) || !StartSending(run) || !WriteBody(run) || !EndRequest(run))
        return kUploadFailed;
    DrainResponse(run);
    return kUploadFinished;
}

} // namespace

UINT __cdecl FirmwareUploadWorker(LPVOID request) {
    const LPARAM final =
        request ? RunUpload(*static_cast<const UploadRequest*>(request)) : kUploadFailed;
    // Posted after every handle is closed, so nothing of this run is left
    // when the page hears the end.
    PostStatus(0, final);
    return 0;
}

void CALLBACK UploadStatusCallback(HINTERNET /*handle*/, DWORD_PTR context, DWORD status,
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
    switch (status) {
    case INTERNET_STATUS_HANDLE_CREATED:
        if (information != nullptr)
            g_shared.request = reinterpret_cast<HINTERNET>(
                static_cast<const INTERNET_ASYNC_RESULT*>(information)->dwResult);
        break;
    case INTERNET_STATUS_REQUEST_SENT:
        // A zero count would read as a final status at the page.
        if (information != nullptr && informationLength >= sizeof(DWORD)) {
            const DWORD sent = *static_cast<const DWORD*>(information);
            if (sent != 0)
                PostStatus(sent, 0);
        }
        break;
    case INTERNET_STATUS_REQUEST_COMPLETE:
        if (information != nullptr && informationLength >= sizeof(INTERNET_ASYNC_RESULT))
            g_shared.completionError =
                static_cast<const INTERNET_ASYNC_RESULT*>(information)->dwError;
        SetIfOpen(g_shared.requestComplete);
        break;
    default:
        break;
    }
}
