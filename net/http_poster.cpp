#include "net/http_poster.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "net/upload_form_body.h"

namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
constexpr char kAcceptHeader[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, */*\r\n";
constexpr char kAcceptEncodingHeader[] = "Accept-Encoding: gzip, deflate\r\n";
constexpr size_t kLineBuffer = 1024;
constexpr DWORD kRawHeaderBuffer = 100000;

bool AddHeader(HINTERNET request, const char* line, DWORD flags) {
    return ::HttpAddRequestHeadersA(request, line, static_cast<DWORD>(-1), flags) != FALSE;
}

} // namespace

HttpPoster::HttpPoster(DWORD pauseAfterSendMs, DWORD timeoutMs)
    : m_pauseAfterSendMs(pauseAfterSendMs), m_timeoutMs(timeoutMs) {
    // Not tested here: without a root handle the first header step fails.
    // The router is on the local network: a proxy could not reach it, or
    // would carry the router's password to another host.
    m_root.Reset(::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
}

HttpPoster::~HttpPoster() {
    CloseHandles();
}

void HttpPoster::CloseHandles() {
    // Child first: a parent closed under its children takes them along.
    m_request.Reset();
    m_connection.Reset();
    m_root.Reset();
}

bool HttpPoster::Fail() {
    m_lastError = ::GetLastError();
    return false;
}

bool HttpPoster::FailWith(DWORD error) {
    m_lastError = error;
    return false;
}

bool HttpPoster::ConfigureRequest(HINTERNET request) {
    // A router that stops taking the body or never answers ends the post
    // with an error instead of holding the worker.
    DWORD timeout = m_timeoutMs;
    // The request asks for "gzip, deflate": the library decodes such an
    // answer, so that a compressed refusal page is still searched.
    BOOL decode = TRUE;
    return ::InternetSetOptionA(request, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout) &&
           ::InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout,
                                sizeof timeout) &&
           ::InternetSetOptionA(request, INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode);
}

bool HttpPoster::PostMultipart(const char* url, const uint8_t* data, int64_t dataLength,
                               const char* user, const char* password, const char* fileName) {
    if (dataLength == -1)
        dataLength = static_cast<int64_t>(std::strlen(reinterpret_cast<const char*>(data)));
    const std::string name = fileName ? fileName : "";
    if (dataLength < 0 || name.size() > kMaxFileNameLength) {
        m_lastError = ERROR_INVALID_PARAMETER;
        return false;
    }

    // Lengths of 1 ask for pointers into the URL instead of copies. (The
    // structure's size is that of this build's URL_COMPONENTSA.)
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    ::InternetCrackUrlA(url, 0, 0, &parts); // a bad URL surfaces at the header step
    const std::string host = parts.lpszHostName
                                 ? std::string(parts.lpszHostName, parts.dwHostNameLength)
                                 : std::string();
    const std::string path =
        parts.lpszUrlPath ? std::string(parts.lpszUrlPath, parts.dwUrlPathLength) : std::string();

    // An earlier post's handles, child first.
    m_request.Reset();
    m_connection.Reset();

    const std::vector<uint8_t> body =
        BuildUploadFormBody(name, data, static_cast<size_t>(dataLength));
    m_bodyLength = body.size();
    m_bytesSent = 0;

    m_connection.Reset(::InternetConnectA(m_root.Get(), host.c_str(), parts.nPort, user, password,
                                          INTERNET_SERVICE_HTTP, INTERNET_FLAG_NO_CACHE_WRITE, 0));
    const char* acceptTypes[] = {"*/*", nullptr};
    // A redirect is never followed: the library would send again, with the
    // router's credentials, to wherever the Location names, and its answer
    // would stand for the router's. A 3xx is the router's answer itself.
    m_request.Reset(
        ::HttpOpenRequestA(m_connection.Get(), "POST", path.c_str(), nullptr, url, acceptTypes,
                           INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                               INTERNET_FLAG_NO_AUTO_REDIRECT,
                           0));
    HINTERNET request = m_request.Get();
    // Without a request the first header step fails; a null handle would set
    // the options for the whole process.
    if (request && !ConfigureRequest(request))
        return Fail();

    char contentLength[kLineBuffer];
    std::snprintf(contentLength, sizeof contentLength, "Content-Length: %d\r\n",
                  static_cast<int>(body.size()));
    if (!AddHeader(request, kAcceptHeader, HTTP_ADDREQ_FLAG_REPLACE) ||
        !AddHeader(request, FormContentTypeHeader(), HTTP_ADDREQ_FLAG_ADD_IF_NEW) ||
        !AddHeader(request, kAcceptEncodingHeader, HTTP_ADDREQ_FLAG_ADD_IF_NEW) ||
        !AddHeader(request, contentLength, HTTP_ADDREQ_FLAG_ADD_IF_NEW))
        return Fail();

    // The raw header read-back must succeed; its text is not used.
    std::vector<char> rawHeaders(kRawHeaderBuffer);
    DWORD rawSize = kRawHeaderBuffer;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, rawHeaders.data(), &rawSize,
                          nullptr))
        return Fail();

    INTERNET_BUFFERSA buffers{};
    buffers.dwStructSize = sizeof buffers;
    if (!::HttpSendRequestExA(request, &buffers, nullptr, HSR_INITIATE, 0))
        return Fail();
    DWORD written = 0;
    if (!::InternetWriteFile(request, body.data(), static_cast<DWORD>(body.size()), &written))
        return Fail();
    m_bytesSent = written;
    if (!EndRequestWithinTimeout(request))
        return false;
    ::Sleep(m_pauseAfterSendMs);
    return true;
}

// Ending the request reads the answer's head, and the library bounds each
// receive, not the head: a router that trickles it a byte at a time would
// hold the worker as long as it likes. The call runs on a thread of its own
// and is given up after the time-out: closing the handles then cancels it,
// or, in Wine's library, it runs on until the router stops sending. The
// thread uses nothing of the poster's but the handle's value.
bool HttpPoster::EndRequestWithinTimeout(HINTERNET request) {
    auto ended = std::make_shared<std::promise<DWORD>>();
    std::future<DWORD> error = ended->get_future();
    std::thread([request, ended] {
        ended->set_value(::HttpEndRequestA(request, nullptr, HSR_INITIATE, 0) ? ERROR_SUCCESS
                                                                              : ::GetLastError());
    }).detach();
    if (error.wait_for(std::chrono::milliseconds(m_timeoutMs)) != std::future_status::ready)
        return FailWith(ERROR_INTERNET_TIMEOUT);
    const DWORD result = error.get();
    return result == ERROR_SUCCESS || FailWith(result);
}

// The status must come from an HTTP status line. Wine's library makes one
// up for an answer that is not HTTP at all: a bare "HTTP/1.0 200 OK" with
// not one header line, which no router's web server sends.
bool HttpPoster::ReadStatus() {
    HINTERNET request = m_request.Get();
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr) ||
        status == 0)
        return FailWith(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    m_httpStatus = status;
    std::vector<char> raw(kRawHeaderBuffer);
    size = kRawHeaderBuffer;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &size, nullptr)) {
        if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            return true; // a head that large has header lines
        return Fail();
    }
    const std::string head(raw.data(), size);
    const size_t lineEnd = head.find("\r\n");
    if (lineEnd == std::string::npos || head.compare(lineEnd, std::string::npos, "\r\n\r\n") == 0)
        return FailWith(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return true;
}

// The whole answer, read as it comes (a read never waits for more than is
// there), within the time-out in all and kMaxResponseLength bytes.
bool HttpPoster::ReadResponse() {
    HINTERNET request = m_request.Get();
    std::vector<char> chunk(kReadChunk, 0);
    m_response.Clear();
    const ULONGLONG deadline = ::GetTickCount64() + m_timeoutMs;
    for (;;) {
        // Waits at most the receive time-out; 0 at the answer's end.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0))
            return Fail();
        if (available == 0)
            break;
        if (!m_response.Fits(available))
            return FailWith(ERROR_INSUFFICIENT_BUFFER);
        if (::GetTickCount64() >= deadline)
            return FailWith(ERROR_INTERNET_TIMEOUT);
        DWORD got = 0;
        if (!::InternetReadFile(request, chunk.data(),
                                available < kReadChunk ? available : kReadChunk, &got))
            return Fail();
        if (got == 0)
            break;
        if (!m_response.Append(chunk.data(), got))
            return FailWith(ERROR_INSUFFICIENT_BUFFER);
    }
    // An answer that ends before its Content-Length was cut off. A decoded
    // answer's length is not the one on the wire, so it is not compared.
    char encoding[64];
    DWORD size = sizeof encoding;
    if (::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_ENCODING, encoding, &size, nullptr))
        return true;
    DWORD length = 0;
    size = sizeof length;
    if (::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                         &size, nullptr) &&
        length != m_response.Length())
        return FailWith(ERROR_HANDLE_EOF);
    return true;
}

bool HttpPoster::PostAndRead(std::string* response, const char* url, const uint8_t* data,
                             int64_t dataLength, const char* user, const char* password,
                             const char* fileName) {
    if (!url)
        return FailWith(kNoUrl);
    if (!PostMultipart(url, data, dataLength, user, password, fileName))
        return false;
    const bool read = ReadStatus() && ReadResponse();
    if (read)
        *response = m_response.Text(); // up to the first NUL byte
    CloseHandles();
    if (!read)
        return false;
    // An error page is never an accepted upload, whatever its text says.
    if (m_httpStatus >= 400)
        return FailWith(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return true;
}
