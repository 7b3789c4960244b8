// The platform's floor for the firmware upload: the fewest WinINet calls
// that post the wizard's request the way the wizard must (asynchronous
// library, 1,460-byte writes, one posted message per request-sent
// notification to a window whose thread does nothing but count them).
// The benchmark runs it beside the wizard against the same router: what the
// wizard takes beyond this is the wizard's own.
//
//   floor_poster HOST FILE USER PASSWORD [--no-messages] [--no-timeouts]
//                [--chunk BYTES]
//
// Prints "seconds=S lag=L messages=M reported=B status=N": S from opening
// the library to the end of the request, L from there until the window's
// thread had taken every progress message, M progress messages counted by
// the window's thread, B the bytes they reported, N the router's status.
#include <windows.h>

#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/upload_form_body.h"

namespace {

constexpr UINT WM_SENT = WM_APP + 1;
constexpr UINT WM_FINISHED = WM_APP + 2;
constexpr DWORD_PTR kRequestContext = 2;
constexpr DWORD kWaitLimitMs = 120000;

struct Options {
    std::string host;
    std::string file;
    std::string user;
    std::string password;
    bool postMessages = true;
    bool timeouts = true;
    size_t chunk = 1460;
};

struct Run {
    Options options;
    std::vector<uint8_t> body;
    HWND counter = nullptr;
    HANDLE complete = nullptr;
    volatile DWORD completionError = ERROR_SUCCESS;
    DWORD status = 0;
    LARGE_INTEGER started{};
    LARGE_INTEGER ended{};
    LARGE_INTEGER heard{}; // when the window's thread took the final message
};
Run g_run;

void CALLBACK Callback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    if (context != kRequestContext || info == nullptr)
        return;
    if (status == INTERNET_STATUS_REQUEST_SENT && length >= sizeof(DWORD)) {
        if (g_run.options.postMessages)
            ::PostMessageA(g_run.counter, WM_SENT, *static_cast<const DWORD*>(info), 0);
    } else if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
        g_run.completionError = static_cast<const INTERNET_ASYNC_RESULT*>(info)->dwError;
        ::SetEvent(g_run.complete);
    }
}

// A call that may complete later: waits for its completion.
bool Completed(BOOL returned) {
    if (returned)
        return true;
    if (::GetLastError() != ERROR_IO_PENDING)
        return false;
    return ::WaitForSingleObject(g_run.complete, kWaitLimitMs) == WAIT_OBJECT_0 &&
           g_run.completionError == ERROR_SUCCESS;
}

bool AddHeader(HINTERNET request, const char* line) {
    return ::HttpAddRequestHeadersA(request, line, static_cast<DWORD>(-1),
                                    HTTP_ADDREQ_FLAG_ADD_IF_NEW) != FALSE;
}

bool Post(HINTERNET root) {
    const Options& o = g_run.options;
    HINTERNET connection =
        ::InternetConnectA(root, o.host.c_str(), INTERNET_DEFAULT_HTTP_PORT, o.user.c_str(),
                           o.password.c_str(), INTERNET_SERVICE_HTTP, 0, 1);
    if (!connection)
        return false;
    HINTERNET request =
        ::HttpOpenRequestA(connection, "POST", "/upgrade_flash.cgi", nullptr, nullptr, nullptr,
                           INTERNET_FLAG_NO_CACHE_WRITE, kRequestContext);
    bool ok = request != nullptr;
    char line[kHeaderLineSize] = {};
    ok = ok && AddHeader(request, FormContentTypeHeader()) &&
         FormatContentLengthHeader(line, sizeof line, g_run.body.size()) &&
         AddHeader(request, line) &&
         FormatBasicAuthorizationHeader(line, sizeof line, o.user, o.password) &&
         AddHeader(request, line);
    INTERNET_BUFFERSA record{};
    record.dwStructSize = sizeof record;
    ok = ok && Completed(::HttpSendRequestExA(request, &record, nullptr, 0, kRequestContext));
    for (size_t at = 0; ok && at < g_run.body.size(); at += o.chunk) {
        const DWORD chunk = static_cast<DWORD>(std::min(o.chunk, g_run.body.size() - at));
        DWORD written = 0;
        ok = Completed(::InternetWriteFile(request, g_run.body.data() + at, chunk, &written));
    }
    ok = ok && Completed(::HttpEndRequestA(request, nullptr, HSR_INITIATE, kRequestContext));
    DWORD size = sizeof g_run.status;
    if (ok)
        ::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &g_run.status,
                         &size, nullptr);
    ::QueryPerformanceCounter(&g_run.ended);
    if (request)
        ::InternetCloseHandle(request);
    ::InternetCloseHandle(connection);
    return ok;
}

DWORD WINAPI Worker(LPVOID) {
    ::QueryPerformanceCounter(&g_run.started);
    HINTERNET root = ::InternetOpenA("CorvaneUpload", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr,
                                     INTERNET_FLAG_ASYNC);
    if (root && g_run.options.timeouts) {
        // A flasher must bound its sends and receives (the wizard does, with
        // 30 s); the library's sockets behave differently with them set.
        DWORD timeout = 30000;
        ::InternetSetOptionA(root, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
        ::InternetSetOptionA(root, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    }
    bool ok = root != nullptr &&
              ::InternetSetStatusCallback(root, &Callback) != INTERNET_INVALID_STATUS_CALLBACK &&
              Post(root);
    if (root) {
        ::InternetSetStatusCallback(root, nullptr);
        ::InternetCloseHandle(root);
    }
    ::PostMessageA(g_run.counter, WM_FINISHED, ok ? 1 : 0, 0);
    return 0;
}

// The counting window's whole job.
unsigned long long g_messages = 0;
unsigned long long g_reported = 0;

LRESULT CALLBACK CounterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SENT) {
        ++g_messages;
        g_reported += wParam;
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

bool ReadFileWhole(const std::string& path, std::vector<uint8_t>* data) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    *data = std::move(bytes);
    return ok;
}

bool ParseArguments(int argc, char** argv, Options* o) {
    if (argc < 5)
        return false;
    o->host = argv[1];
    o->file = argv[2];
    o->user = argv[3];
    o->password = argv[4];
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-messages") == 0)
            o->postMessages = false;
        else if (std::strcmp(argv[i], "--no-timeouts") == 0)
            o->timeouts = false;
        else if (std::strcmp(argv[i], "--chunk") == 0 && i + 1 < argc)
            o->chunk = std::strtoul(argv[++i], nullptr, 10);
        else
            return false;
    }
    return o->chunk > 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!ParseArguments(argc, argv, &g_run.options)) {
        std::fprintf(stderr, "usage: floor_poster HOST FILE USER PASSWORD [--no-messages] "
                             "[--chunk BYTES]\n");
        return 2;
    }
    std::vector<uint8_t> data;
    if (!ReadFileWhole(g_run.options.file, &data)) {
        std::fprintf(stderr, "cannot read %s\n", g_run.options.file.c_str());
        return 1;
    }
    g_run.body = BuildUploadFormBody(g_run.options.file, data.data(), data.size());
    data = {};

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &CounterProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FloorCounter";
    ::RegisterClassA(&windowClass);
    g_run.counter = ::CreateWindowA("FloorCounter", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr);
    g_run.complete = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!g_run.counter || !g_run.complete)
        return 1;
    HANDLE worker = ::CreateThread(nullptr, 0, &Worker, nullptr, 0, nullptr);
    if (!worker)
        return 1;
    MSG message;
    bool ok = false;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_FINISHED && message.hwnd == g_run.counter) {
            ::QueryPerformanceCounter(&g_run.heard);
            ok = message.wParam != 0;
            break;
        }
        ::DispatchMessageA(&message);
    }
    ::WaitForSingleObject(worker, kWaitLimitMs);
    ::CloseHandle(worker);
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    const auto Seconds = [&](const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
        return static_cast<double>(to.QuadPart - from.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    };
    std::printf("seconds=%.4f lag=%.4f messages=%llu reported=%llu status=%lu\n",
                Seconds(g_run.started, g_run.ended), Seconds(g_run.ended, g_run.heard), g_messages,
                g_reported, static_cast<unsigned long>(g_run.status));
    return ok ? 0 : 1;
}
