#pragma once
// A one-connection HTTP server on a loopback port (80 by default, or any
// free one) for the tests of the firmware upload and the language-pack
// poster: it records what arrives and behaves as its plan says. Every wait
// is bounded, so a broken client cannot hang a test.
#include <winsock2.h>

#include <atomic>
#include <string>
#include <thread>

enum class RouterBehaviour {
    kAnswer,             // takes the whole body, answers with the plan's status
    kCloseMidBody,       // closes after half of the body
    kCloseWithoutAnswer, // takes the whole body, then closes
    kSilent,             // takes the whole body, answers nothing
    kStopReading,        // stops reading after the head
    kHeadThenSilence,    // the answer's head and two bytes of its body, then nothing
    kTrickle,            // the answer's head, then its body a byte every 100 ms, without end
    kTrickleRead,        // reads the body a few bytes every 100 ms, without end
};

struct ServerPlan {
    RouterBehaviour behaviour = RouterBehaviour::kAnswer;
    int status = 200;
    unsigned short port = 80;        // 0: any free port (Port() tells which)
    int acceptWaitMs = 15000;        // how long to wait for the client
    unsigned short redirectPort = 0; // not 0: the answer's Location names this port
    // Not empty: the whole answer, sent once the body is in, instead of the
    // behaviour's own; kAnswer then closes, kSilent holds, kTrickle trickles.
    std::string answer;
};

// The bytes of an answer with this status, body and more header lines.
std::string HttpAnswer(int status, const std::string& body, const std::string& headers = "");

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
    unsigned short Port() const { return m_port; }
    bool Connected() const { return m_connected; }
    // Ends a connection still held open, then the record of what came in.
    ServerRecord Finish();

private:
    void Serve();
    void ServeConnection(SOCKET connection);
    // Keeps the connection until the client lets go (or Finish, or a bound),
    // reading up to readSize bytes a tick (0: nothing), sending a byte per
    // tick when trickling.
    void Hold(SOCKET connection, size_t readSize, bool trickle);

    bool SendAll(SOCKET connection, const std::string& bytes);

    ServerPlan m_plan;
    SOCKET m_listener = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::atomic<bool> m_connected{false};
    ServerRecord m_record;
    std::atomic<bool> m_finishing{false};
    std::thread m_thread;
};
