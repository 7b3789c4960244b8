// Drives the router search with an arbitrary sequence of events on the fake
// clock: timer ticks, datagrams from anyone on the LAN on any of the page's
// sockets (also messages whose socket has since been closed), Detect clicks
// once the popup has gone, failing sockets, and message boxes during which
// the page still receives its timers and socket messages. Beyond the
// sanitizers it checks that the search
//  - never names a slot that is not open;
//  - keeps a device only from a fitting discovery reply, and sends the query
//    only with that device's record, never before;
//  - sends no discovery request and no resend once a device is kept;
//  - left alone, ends: its timers stop, and the popup that waits for it is
//    told to close.
#include "tests/fuzz/fuzz_input.h"
#include "tests/pages/fake_detection_page.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// DETECTION_FUZZ_TRACE=1 in the environment prints each event of a run, for
// reading a failing input.
const bool kTrace = std::getenv("DETECTION_FUZZ_TRACE") != nullptr;

void Trace(const char* format, ...) {
    if (!kTrace)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

const uint32_t kRouter = Address(192, 168, 1, 1);
constexpr int kMaxBoxDepth = 3;
constexpr int kMaxEvents = 200;
constexpr uint64_t kLeftAloneMs = 10 * 60 * 1000;

class Run {
public:
    Run(const uint8_t* data, size_t size) : m_in(data, size) {
        const uint8_t setup = m_in.Byte();
        m_page.localAddresses = setup & 3;
        m_page.language = (setup >> 2) & 3;
        m_page.whileMessageBoxUp = [this] { WhileMessageBoxUp(); };
        m_page.beforeSend = [this](uint16_t command) { BeforeSend(command); };
    }

    void Go() {
        // The page opens: the first search is a minute away, the popup waits.
        m_logic.StartDetection(60000);
        m_popupUp = true;
        while (!m_in.Empty() && m_events < kMaxEvents) {
            Event(false);
            if (m_popupUp && m_page.actionDone)
                m_popupUp = false;
        }
        // Left alone, the search comes to an end.
        m_page.failOpen = false;
        m_page.failSend = false;
        m_page.RunUntil(m_logic, m_page.now + kLeftAloneMs);
        CheckSlots();
        Check(m_page.timers.empty());
        Check(!m_popupUp || m_page.actionDone);
    }

private:
    // One event; returns false for the event that closes a message box.
    bool Event(bool inMessageBox) {
        ++m_events;
        const bool detectedBefore = m_logic.detected;
        const size_t sentBefore = m_page.sent.size();
        const uint8_t op = m_in.Byte();
        Trace("%*s%llu ms: event %d (slot %d, sequence %u, detected %d, query phase %d)\n",
              2 * m_depth, "", static_cast<unsigned long long>(m_page.now), op % 8, m_logic.slot,
              m_logic.sequence, m_logic.detected, m_logic.queryPhase);
        switch (op % 8) {
        case 0:
            m_page.RunUntil(m_logic, m_page.now + (uint64_t{m_in.Byte()} + 1) * 250);
            break;
        case 1:
            m_page.FireNextTimer(m_logic);
            break;
        case 2:
            Arrive(FittingDiscoveryReply());
            break;
        case 3:
            Arrive(RawDatagram());
            break;
        case 4:
            Arrive(QueryReply());
            break;
        case 5:
            // Detect: a click on the page, so not while a box or the popup is
            // up, and the page ignores it once a device is known.
            if (!inMessageBox && !m_popupUp && !m_logic.detected) {
                m_logic.StartDetection(500);
                m_page.actionDone = false; // the new popup clears the flag
                m_popupUp = true;
                m_wasDetected = false;
            }
            break;
        case 6: {
            const uint8_t faults = m_in.Byte();
            m_page.failOpen = (faults & 1) != 0;
            m_page.failSend = (faults & 2) != 0;
            break;
        }
        default:
            return !inMessageBox; // closes the box
        }
        NoteDetection();
        CheckSlots();
        // Once a device is kept, only its query goes out: no request, no resend.
        if (detectedBefore && m_logic.detected)
            for (size_t i = sentBefore; i < m_page.sent.size(); ++i)
                Check(m_page.sent[i].bytes.size() == DATAGRAM_MAX_SIZE);
        return true;
    }

    void WhileMessageBoxUp() {
        Trace("%*s  message box\n", 2 * m_depth, "");
        NoteDetection(); // before the box's events touch the buffer
        if (m_depth >= kMaxBoxDepth)
            return;
        ++m_depth;
        while (!m_in.Empty() && m_events < kMaxEvents && Event(true)) {
        }
        --m_depth;
    }

    void CheckSlots() { Check(m_page.badSlotCalls == 0); }

    ArrivedDatagram FittingDiscoveryReply() {
        const uint8_t shape = m_in.Byte();
        std::vector<uint8_t> reply(DATAGRAM_MAX_SIZE, 0);
        const uint16_t sequence = (shape & 1) ? m_in.Word() : m_logic.sequence;
        reply[0] = (shape & 2) ? CMD_QUERY : CMD_DISCOVER;
        reply[2] = (shape & 4) ? m_in.Byte() : 0;
        reply[4] = static_cast<uint8_t>(sequence);
        reply[5] = static_cast<uint8_t>(sequence >> 8);
        reply[8] = (shape & 8) ? m_in.Byte() : DISCOVERY_REPLY_RECORD_TYPE;
        for (size_t i = 0, n = m_in.Byte() % 8; i < n; ++i)
            reply[8 + UPLOAD_PASSWORD_OFFSET + i] = m_in.Byte();
        reply[8 + LANGUAGE_CODE_OFFSET] = m_in.Byte();
        if (shape & 16)
            reply.resize(1 + m_in.Byte() * 3u);
        return {reply, Sender(shape & 32)};
    }

    ArrivedDatagram RawDatagram() {
        const size_t groups = m_in.Byte();
        std::vector<uint8_t> bytes(groups * 3 + (m_in.Byte() & 3));
        for (uint8_t& b : bytes)
            b = m_in.Byte();
        return {bytes, Sender(m_in.Byte() & 1)};
    }

    ArrivedDatagram QueryReply() {
        const uint8_t shape = m_in.Byte();
        std::vector<uint8_t> reply(DATAGRAM_HEADER_SIZE, 0);
        const uint16_t sequence = (shape & 1) ? m_in.Word() : m_logic.sequence;
        reply[0] = (shape & 2) ? CMD_DISCOVER : CMD_QUERY;
        reply[2] = (shape & 4) ? m_in.Byte() : 0;
        reply[4] = static_cast<uint8_t>(sequence);
        reply[5] = static_cast<uint8_t>(sequence >> 8);
        return {reply, Sender(shape & 8)};
    }

    uint32_t Sender(bool other) {
        return other ? Address(192, 168, 1, static_cast<uint8_t>(m_in.Byte() | 2)) : kRouter;
    }

    // The datagram lands on one of the page's sockets, which posts its
    // message; or the message comes from a socket closed since (its data
    // went with it).
    void Arrive(ArrivedDatagram datagram) {
        const uint8_t where = m_in.Byte();
        unsigned message = (where & 1) ? QUERY_REPLY_MSG : DISCOVERY_REPLY_MSG;
        if (!(where & 0x80) && !m_page.slots.empty()) {
            auto it = m_page.slots.begin();
            std::advance(it, (where >> 1) % m_page.slots.size());
            it->second.arrived.push_back(std::move(datagram));
            message = it->second.message;
        }
        Deliver(message);
    }

    void Deliver(unsigned message) {
        Trace("%*s  message %u\n", 2 * m_depth, "", message);
        if (message == DISCOVERY_REPLY_MSG)
            m_logic.OnDiscoveryReply();
        else
            m_logic.OnQueryReply();
        NoteDetection();
    }

    void NoteDetection() {
        if (m_logic.detected && !m_wasDetected)
            KeptDevice();
        m_wasDetected = m_logic.detected;
    }

    // A device is kept only from a discovery reply that fits the search,
    // read into the page's buffer just now.
    void KeptDevice() {
        const uint8_t* datagram = m_logic.datagram.data();
        const DatagramHeader header = ReadHeader(datagram);
        Check(RecordType(datagram) == DISCOVERY_REPLY_RECORD_TYPE);
        Check(header.command == CMD_DISCOVER && header.status == 0);
        Check(header.sequence == m_logic.sequence);
        Check(std::equal(m_logic.savedRecord.begin(), m_logic.savedRecord.end(),
                         datagram + DATAGRAM_HEADER_SIZE));
        m_keptRecord = m_logic.savedRecord;
        m_hasKept = true;
    }

    void BeforeSend(uint16_t command) {
        Trace("%*s  sends command %u\n", 2 * m_depth, "", command);
        if (command == CMD_QUERY) {
            // The kept record goes back, its language byte the chosen one.
            Check(m_logic.detected && m_hasKept);
            const uint8_t* body = m_logic.datagram.data() + DATAGRAM_HEADER_SIZE;
            Check(std::equal(m_keptRecord.begin(), m_keptRecord.begin() + LANGUAGE_CODE_OFFSET,
                             body));
            Check(body[LANGUAGE_CODE_OFFSET] == static_cast<uint8_t>(m_page.language));
        } else {
            Check(!m_logic.detected);
        }
    }

    FuzzInput m_in;
    FakePage m_page;
    DetectionLogic m_logic{m_page};
    bool m_popupUp = false;
    int m_depth = 0;
    int m_events = 0;
    bool m_hasKept = false;
    bool m_wasDetected = false;
    std::array<uint8_t, DEVICE_RECORD_SIZE> m_keptRecord{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Run run(data, size);
    run.Go();
    return 0;
}
