#include "tests/support/tiny_http_server.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWaitMs = 15000;
// How long a connection is held open for a client that does not let go.
constexpr ULONGLONG kHoldLimitMs = 40000;
constexpr int kTrickleMs = 100;
constexpr size_t kFullRead = 4096;
constexpr size_t kTrickleReadSize = 256;

bool Readable(SOCKET socket, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &limit) == 1;
}

// Appends what arrives until want bytes are there; false when the peer
// closed or went quiet first.
bool ReceiveUntil(SOCKET socket, std::string& into, size_t want) {
    char buffer[16384];
    while (into.size() < want) {
        if (!Readable(socket, kWaitMs))
            return false;
        // Never more than wanted: a router that drops the connection half way
        // must not have taken the rest first.
        const size_t room = want - into.size() < sizeof buffer ? want - into.size() : sizeof buffer;
        const int got = ::recv(socket, buffer, static_cast<int>(room), 0);
        if (got <= 0)
            return false;
        into.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

size_t ContentLength(const std::string& head) {
    const std::string key = "\r\nContent-Length: ";
    const size_t at = head.find(key);
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + key.size(), nullptr, 10);
}

} // namespace

std::string HttpAnswer(int status, const std::string& body, const std::string& headers) {
    return "HTTP/1.1 " + std::to_string(status) + " Answer\r\nContent-Type: text/html\r\n" +
           headers + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

TinyHttpServer::TinyHttpServer(ServerPlan plan) : m_plan(plan) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL reuse = TRUE;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                 sizeof reuse);
    // A small window, reopened every few reads: the client's sends stall only briefly.
    int window = m_plan.behaviour == RouterBehaviour::kTrickleRead ? 4096 : 0;
    if (window)
        ::setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&window),
                     sizeof window);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(m_plan.port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 4) != 0) {
        ::closesocket(m_listener);
        m_listener = INVALID_SOCKET;
        return;
    }
    int length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ::ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TinyHttpServer::~TinyHttpServer() {
    m_finishing = true; // a client that never came is not waited for
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != INVALID_SOCKET)
        ::closesocket(m_listener);
    ::WSACleanup();
}

ServerRecord TinyHttpServer::Finish() {
    m_finishing = true;
    if (m_thread.joinable())
        m_thread.join();
    return m_record;
}

void TinyHttpServer::Serve() {
    const ULONGLONG until = ::GetTickCount64() + static_cast<ULONGLONG>(m_plan.acceptWaitMs);
    while (!Readable(m_listener, kTrickleMs))
        if (m_finishing || ::GetTickCount64() >= until)
            return;
    SOCKET connection = ::accept(m_listener, nullptr, nullptr);
    if (connection == INVALID_SOCKET)
        return;
    m_record.connected = true;
    m_connected = true;
    ServeConnection(connection);
    ::closesocket(connection);
}

void TinyHttpServer::ServeConnection(SOCKET connection) {
    std::string data;
    size_t headEnd = std::string::npos;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
        if (!ReceiveUntil(connection, data, data.size() + 1))
            return;
    m_record.head = data.substr(0, headEnd + 4);
    std::string body = data.substr(headEnd + 4);
    const RouterBehaviour behaviour = m_plan.behaviour;
    if (behaviour == RouterBehaviour::kStopReading || behaviour == RouterBehaviour::kTrickleRead) {
        m_record.body = body;
        Hold(connection, behaviour == RouterBehaviour::kTrickleRead ? kTrickleReadSize : 0, false);
        return;
    }
    const size_t length = ContentLength(m_record.head);
    const size_t wanted = behaviour == RouterBehaviour::kCloseMidBody ? length / 2 : length;
    ReceiveUntil(connection, body, wanted);
    m_record.body = body;
    if (!m_plan.answer.empty()) {
        if (SendAll(connection, m_plan.answer) && behaviour != RouterBehaviour::kAnswer) {
            Hold(connection, kFullRead, behaviour == RouterBehaviour::kTrickle);
            return;
        }
        ::shutdown(connection, SD_SEND);
        std::string rest;
        ReceiveUntil(connection, rest, SIZE_MAX); // let the client read to the end
        return;
    }
    switch (behaviour) {
    case RouterBehaviour::kCloseMidBody:
    case RouterBehaviour::kCloseWithoutAnswer:
        return;
    case RouterBehaviour::kSilent:
        Hold(connection, kFullRead, false);
        return;
    default:
        break;
    }
    char answer[512];
    const char page[] = "<html><body>ok</body></html>";
    int size = 0;
    if (behaviour == RouterBehaviour::kHeadThenSilence || behaviour == RouterBehaviour::kTrickle) {
        size = std::snprintf(answer, sizeof answer,
                             "HTTP/1.1 %d Answer\r\nContent-Type: text/html\r\n"
                             "Content-Length: 100000\r\nConnection: close\r\n\r\nab",
                             m_plan.status);
        ::send(connection, answer, size, 0);
        Hold(connection, kFullRead, behaviour == RouterBehaviour::kTrickle);
        return;
    }
    size = std::snprintf(answer, sizeof answer, "HTTP/1.1 %d Answer\r\n", m_plan.status);
    if (m_plan.redirectPort)
        size += std::snprintf(answer + size, sizeof answer - size,
                              "Location: http://127.0.0.1:%u/elsewhere\r\n", m_plan.redirectPort);
    size += std::snprintf(answer + size, sizeof answer - size,
                          "Content-Type: text/html\r\n"
                          "Content-Length: %u\r\nConnection: close\r\n\r\n%s",
                          static_cast<unsigned>(sizeof page - 1), page);
    ::send(connection, answer, size, 0);
    ::shutdown(connection, SD_SEND);
    std::string rest;
    ReceiveUntil(connection, rest, SIZE_MAX); // let the client read to the end
}

bool TinyHttpServer::SendAll(SOCKET connection, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const size_t piece = bytes.size() - sent < 60000 ? bytes.size() - sent : 60000;
        const int n = ::send(connection, bytes.data() + sent, static_cast<int>(piece), 0);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void TinyHttpServer::Hold(SOCKET connection, size_t readSize, bool trickle) {
    const ULONGLONG until = ::GetTickCount64() + kHoldLimitMs;
    while (!m_finishing && ::GetTickCount64() < until) {
        if (trickle && ::send(connection, "x", 1, 0) != 1)
            return;
        if (readSize < kFullRead)
            ::Sleep(kTrickleMs);
        if (readSize == 0 || !Readable(connection, kTrickleMs))
            continue;
        char buffer[kFullRead];
        if (::recv(connection, buffer, static_cast<int>(readSize), 0) <= 0)
            return; // the client closed
    }
}
