#pragma once
// A one-connection HTTP server on 127.0.0.1:80 for the upload worker's
// tests: it records what arrives and answers as its plan says. Every wait is
// bounded, so a broken client cannot hang a test.
#include <winsock2.h>

#include <string>
#include <thread>

struct ServerPlan {
    int status = 200;
    bool closeMidBody = false;       // close after half of the body
    bool closeWithoutAnswer = false; // take the whole body, then close
    bool silent = false;             // take the whole body, answer nothing
    int acceptWaitMs = 15000;        // how long to wait for the client
};

struct ServerRecord {
    bool connected = false;
    std::string head; // request line and headers, blank line included
    std::string body;
};

class TinyHttpServer {
public:
    explicit TinyHttpServer(ServerPlan plan);
    TinyHttpServer(const TinyHttpServer&) = delete;
    TinyHttpServer& operator=(const TinyHttpServer&) = delete;
    ~TinyHttpServer();

    bool Listening() const { return m_listener != INVALID_SOCKET; }
    // Waits for the connection to end; the record of what came in.
    ServerRecord Finish();

private:
    void Serve();
    void ServeConnection(SOCKET connection);

    ServerPlan m_plan;
    SOCKET m_listener = INVALID_SOCKET;
    ServerRecord m_record;
    std::thread m_thread;
};
