#include "net/http_poster.h"

#include <cstdio>
#include <cstring>

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

HttpPoster::HttpPoster(DWORD pauseAfterSendMs) : m_pauseAfterSendMs(pauseAfterSendMs) {
    // Not tested here: without a root handle the first header step fails.
    m_root.Reset(::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

HttpPoster::~HttpPoster() {
    m_root.Close();
    m_request.Close();
    m_connection.Close();
}

bool HttpPoster::Fail() {
    m_lastError = ::GetLastError();
    return false;
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

    m_connection.Close();
    m_request.Close();

    const std::vector<uint8_t> body =
        BuildUploadFormBody(name, data, static_cast<size_t>(dataLength));

    m_connection.Reset(::InternetConnectA(m_root.Get(), host.c_str(), parts.nPort, user, password,
                                          INTERNET_SERVICE_HTTP, INTERNET_FLAG_NO_CACHE_WRITE, 0));
    const char* acceptTypes[] = {"*/*", nullptr};
    m_request.Reset(
        ::HttpOpenRequestA(m_connection.Get(), "POST", path.c_str(), nullptr, url, acceptTypes,
                           INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION, 0));
    HINTERNET request = m_request.Get();

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
    if (!::HttpEndRequestA(request, nullptr, HSR_INITIATE, 0))
        return Fail();
    ::Sleep(m_pauseAfterSendMs);
    return true;
}

void HttpPoster::ReadResponse() {
    std::vector<char> chunk(kReadChunk + 2, 0);
    m_response.assign(kReadChunk + 2, 0);
    size_t total = 0;
    DWORD got = 0;
    // A read error ends the reading: whatever came so far is the response.
    while (::InternetReadFile(m_request.Get(), chunk.data(), kReadChunk, &got) && got > 0) {
        chunk[got] = 0;
        std::memcpy(m_response.data() + total, chunk.data(), got);
        total += got;
        m_response[total] = 0;
        m_response.resize(total + kResponseGrowth, 0);
    }
}

bool HttpPoster::PostAndRead(std::string* response, const char* url, const uint8_t* data,
                             int64_t dataLength, const char* user, const char* password,
                             const char* fileName) {
    if (!url) {
        m_lastError = kNoUrl;
        return false;
    }
    if (!PostMultipart(url, data, dataLength, user, password, fileName))
        return false;
    ReadResponse();
    *response = m_response.data(); // up to the first NUL byte

    DWORD status = 0;
    DWORD size = sizeof status;
    if (::HttpQueryInfoA(m_request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                         &size, nullptr))
        m_httpStatus = status;

    m_request.Close();
    m_connection.Close();
    m_root.Close();
    // An error page is never an accepted upload, whatever its text says.
    if (m_httpStatus >= 400) {
        m_lastError = ERROR_HTTP_INVALID_SERVER_RESPONSE;
        return false;
    }
    return true;
}
