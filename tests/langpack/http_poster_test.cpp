// HttpPoster against a small HTTP server on a loopback port of this process:
// what goes on the wire (headers, the exact form body) and what comes back
// (large, NUL-cut and error responses). Runs in the test's own namespace.

#include <gtest/gtest.h>

#include "net/http_poster.h"

#include <winsock.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/upload_form_body.h"

namespace {

// Serves one connection: reads one request (headers and Content-Length
// bytes), answers with the given status and body, and closes.
class OneShotServer {
public:
    OneShotServer(int status, std::string body) : m_status(status), m_body(std::move(body)) {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(1, 1), &data);
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::listen(m_listen, 1);
        m_thread = std::thread([this] { Serve(); });
    }
    OneShotServer(const OneShotServer&) = delete;
    OneShotServer& operator=(const OneShotServer&) = delete;
    ~OneShotServer() {
        ::closesocket(m_listen); // ends a still waiting accept
        if (m_thread.joinable())
            m_thread.join();
    }

    std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(m_port) + "/upload_lang.cgi";
    }
    // Valid after the poster returned (the server answers before that).
    void Wait() {
        if (m_thread.joinable())
            m_thread.join();
    }
    std::string headers;
    std::vector<uint8_t> body;

private:
    void Serve() {
        SOCKET client = ::accept(m_listen, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        std::string received;
        char buffer[65536];
        size_t headerEnd = std::string::npos;
        size_t wanted = 0;
        for (;;) {
            const int got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            received.append(buffer, static_cast<size_t>(got));
            if (headerEnd == std::string::npos) {
                headerEnd = received.find("\r\n\r\n");
                if (headerEnd != std::string::npos) {
                    const size_t at = received.find("Content-Length: ");
                    if (at != std::string::npos && at < headerEnd)
                        wanted = std::stoul(received.substr(at + 16));
                }
            }
            if (headerEnd != std::string::npos && received.size() >= headerEnd + 4 + wanted)
                break;
        }
        if (headerEnd != std::string::npos) {
            headers = received.substr(0, headerEnd + 2);
            body.assign(received.begin() + static_cast<long>(headerEnd) + 4, received.end());
        }
        const std::string answer = "HTTP/1.1 " + std::to_string(m_status) +
                                   " Answer\r\nContent-Type: text/html\r\nContent-Length: " +
                                   std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n" +
                                   m_body;
        size_t sent = 0;
        while (sent < answer.size()) {
            const int n =
                ::send(client, answer.data() + sent,
                       static_cast<int>(std::min<size_t>(answer.size() - sent, 60000)), 0);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        ::shutdown(client, 1);
        ::recv(client, buffer, sizeof buffer, 0); // until the client lets go
        ::closesocket(client);
    }

    int m_status;
    std::string m_body;
    SOCKET m_listen = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::thread m_thread;
};

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
    OneShotServer server(200, "<html>ok</html>");
    const std::vector<uint8_t> file = FileBytes(1000);
    HttpPoster poster; // the real pause
    std::string response;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(poster.PostAndRead(&response, server.Url().c_str(), file.data(), 1000, "admin",
                                   "secret", kFileName26));
    const DWORD elapsed = ::GetTickCount() - start;
    server.Wait();

    EXPECT_EQ("<html>ok</html>", response);
    EXPECT_EQ(200u, poster.HttpStatus());
    EXPECT_GE(elapsed, 4900u);
    EXPECT_NE(std::string::npos, server.headers.find("POST /upload_lang.cgi HTTP/1.1\r\n"));
    EXPECT_NE(std::string::npos, server.headers.find("Content-Length: 1330\r\n"));
    EXPECT_NE(std::string::npos,
              server.headers.find("Content-Type: multipart/form-data; boundary="
                                  "---------------------------7d53c8371101be\r\n"));
    EXPECT_NE(std::string::npos, server.headers.find("Accept-Encoding: gzip, deflate\r\n"));
    EXPECT_NE(std::string::npos,
              server.headers.find("Accept: image/gif, image/x-xbitmap, image/jpeg"));
    EXPECT_NE(
        std::string::npos,
        server.headers.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"));
    ASSERT_EQ(1330u, server.body.size());
    EXPECT_EQ(0, server.body.back());
    EXPECT_EQ(BuildUploadFormBody(kFileName26, file.data(), file.size()), server.body);
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
        OneShotServer server(200, "ok");
        HttpPoster poster(kNoPause);
        std::string response;
        ASSERT_TRUE(poster.PostAndRead(&response, server.Url().c_str(),
                                       reinterpret_cast<const uint8_t*>(c.data), c.length, "", "",
                                       "a.xx"));
        server.Wait();
        ASSERT_EQ(c.expectedBody, server.body.size());
        const std::string body(server.body.begin(), server.body.end());
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
    OneShotServer server(200, big);
    HttpPoster poster(kNoPause);
    std::string response;
    ASSERT_TRUE(poster.PostAndRead(&response, server.Url().c_str(), FileBytes(10).data(), 10, "u",
                                   "p", "f.lang"));
    EXPECT_EQ(big.size(), response.size());
    EXPECT_TRUE(response == big);

    // Every handle, the root included, is closed after a successful post.
    std::string again;
    EXPECT_FALSE(poster.PostAndRead(&again, server.Url().c_str(), FileBytes(10).data(), 10, "u",
                                    "p", "f.lang"));
}

TEST(HttpPoster, ResponseIsCutAtItsFirstNulByte) {
    OneShotServer server(200, std::string("before\0AutoUpgradeRet\"value=\"1", 31));
    HttpPoster poster(kNoPause);
    std::string response;
    ASSERT_TRUE(poster.PostAndRead(&response, server.Url().c_str(), FileBytes(5).data(), 5, "u",
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
        OneShotServer server(c.status, "<html>no AutoUpgradeRet marker</html>");
        HttpPoster poster(kNoPause);
        std::string response;
        EXPECT_EQ(c.ok, poster.PostAndRead(&response, server.Url().c_str(), FileBytes(5).data(), 5,
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
