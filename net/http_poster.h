#pragma once
// HttpPoster: a small synchronous WinINet client that posts one file as the
// upload form (net/upload_form_body.h) and returns the server's whole
// response text. One poster serves one post: a PostAndRead that got as far
// as the answer closes every handle, the root included, so a second one
// fails.

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/internet_handle.h"
#include "net/response_text.h"

class HttpPoster {
public:
    static constexpr DWORD kPauseAfterSendMs = 5000; // gives the router time to take the file
    // Send and receive time-out, the longest the answer's head may take to
    // come, and the longest its body may take to read.
    static constexpr DWORD kTimeoutMs = 30000;
    static constexpr DWORD kReadChunk = 255999;
    // A router's answer is a short page; a longer one is not its answer.
    static constexpr size_t kMaxResponseLength = size_t{1024} * 1024;
    static constexpr size_t kMaxFileNameLength = 957; // fits the 1024-byte form line
    static constexpr DWORD kNoUrl = static_cast<DWORD>(-1);

    // The pause and the time-out are only shortened by tests.
    explicit HttpPoster(DWORD pauseAfterSendMs = kPauseAfterSendMs, DWORD timeoutMs = kTimeoutMs);
    HttpPoster(const HttpPoster&) = delete;
    HttpPoster& operator=(const HttpPoster&) = delete;
    ~HttpPoster();

    // dataLength -1: data is NUL-terminated text. True when the post went out
    // and the whole answer was read with an HTTP status below 400; a redirect
    // is not followed, its answer is the server's own. The answer
    // text (up to its first NUL byte) goes to *response whenever it was read
    // whole, also with an error status. An answer without a readable status,
    // cut short, longer than kMaxResponseLength or slower than the time-out
    // is a failure.
    bool PostAndRead(std::string* response, const char* url, const uint8_t* data,
                     int64_t dataLength, const char* user, const char* password,
                     const char* fileName);
    // True when the whole request was sent and ended.
    bool PostMultipart(const char* url, const uint8_t* data, int64_t dataLength, const char* user,
                       const char* password, const char* fileName);

    DWORD LastError() const { return m_lastError; }
    // Status code of the last response read; 0 before one was read.
    DWORD HttpStatus() const { return m_httpStatus; }
    // The last post's form body: its length and how much of it went out.
    uint64_t BodyLength() const { return m_bodyLength; }
    uint64_t BytesSent() const { return m_bytesSent; }

private:
    bool Fail();
    bool FailWith(DWORD error);
    bool ConfigureRequest(HINTERNET request);
    bool EndRequestWithinTimeout(HINTERNET request);
    bool ReadStatus();
    bool ReadResponse();
    void CloseHandles();

    InternetHandle m_root;
    InternetHandle m_request;
    InternetHandle m_connection;
    ResponseText m_response{kMaxResponseLength};
    DWORD m_lastError = 0;
    DWORD m_httpStatus = 0;
    uint64_t m_bodyLength = 0;
    uint64_t m_bytesSent = 0;
    DWORD m_pauseAfterSendMs;
    DWORD m_timeoutMs;
};
