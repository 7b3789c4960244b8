#include "pages/detection_logic.h"

#include <gtest/gtest.h>

#include "tests/pages/fake_detection_page.h"

#include <functional>

namespace {

std::vector<uint8_t> DiscoveryReply(uint16_t sequence, uint8_t language = 1, uint16_t type = 4,
                                    uint16_t status = 0, uint16_t command = CMD_DISCOVER) {
    std::vector<uint8_t> reply(DATAGRAM_MAX_SIZE, 0);
    reply[0] = static_cast<uint8_t>(command);
    reply[2] = static_cast<uint8_t>(status);
    reply[4] = static_cast<uint8_t>(sequence & 0xFF);
    reply[5] = static_cast<uint8_t>(sequence >> 8);
    reply[8] = static_cast<uint8_t>(type);
    for (size_t i = 10; i < 42; ++i)
        reply[i] = static_cast<uint8_t>(i); // opaque bytes the query must carry back
    const char password[] = "langpw";
    std::copy(password, password + 6, reply.begin() + 8 + UPLOAD_PASSWORD_OFFSET);
    reply[8 + LANGUAGE_CODE_OFFSET] = language;
    return reply;
}

std::vector<uint8_t> QueryReply(uint16_t sequence, uint16_t status = 0,
                                uint16_t command = CMD_QUERY) {
    std::vector<uint8_t> reply(DATAGRAM_HEADER_SIZE, 0);
    reply[0] = static_cast<uint8_t>(command);
    reply[2] = static_cast<uint8_t>(status);
    reply[4] = static_cast<uint8_t>(sequence & 0xFF);
    reply[5] = static_cast<uint8_t>(sequence >> 8);
    return reply;
}

const uint32_t kRouter = Address(192, 168, 1, 1);

// A page and its search; the fixture has one, a table row builds its own.
struct Search {
    FakePage page;
    DetectionLogic logic{page};

    // Starts a search whose first tick comes at time 1000.
    void StartAndRunTo(uint64_t until) {
        logic.StartDetection(1000);
        page.RunUntil(logic, until);
    }
    void Deliver(std::vector<uint8_t> bytes, uint32_t sender, bool query = false) {
        page.incoming = std::move(bytes);
        page.incomingSender = sender;
        query ? logic.OnQueryReply() : logic.OnDiscoveryReply();
    }
    std::vector<uint64_t> SendTimes() const {
        std::vector<uint64_t> times;
        for (const auto& s : page.sent)
            times.push_back(s.timeMs - 1000);
        return times;
    }
};

struct Detection : ::testing::Test, Search {};

TEST_F(Detection, WithTwoAddressesSendsFromEachAndEndsAfterThirtySeconds) {
    StartAndRunTo(1000 + 29999);
    EXPECT_FALSE(page.actionDone);
    page.RunUntil(logic, 1000 + 60000);
    EXPECT_EQ(SendTimes(), (std::vector<uint64_t>{0, 5000, 10000, 20000, 25000}));
    std::vector<int> interfaces;
    for (const auto& s : page.sent) {
        interfaces.push_back(s.boundInterface);
        EXPECT_EQ(s.destination, kBroadcastAddress);
        ASSERT_EQ(s.bytes.size(), 8u);
        EXPECT_EQ(ReadHeader(s.bytes.data()).sequence, 1) << "retries repeat the sequence";
    }
    EXPECT_EQ(interfaces, (std::vector<int>{0, 0, 0, 1, 1}));
    EXPECT_EQ(page.actionDoneAt, 1000u + 30000);
    EXPECT_FALSE(page.perInterfaceBinding);
    EXPECT_TRUE(page.timers.empty());
    EXPECT_FALSE(logic.detected);
}

TEST_F(Detection, WithOneOrNoAddressEndsAfterFifteenSeconds) {
    for (int addresses : {1, 0}) {
        FakePage fresh;
        fresh.localAddresses = addresses;
        DetectionLogic search(fresh);
        search.StartDetection(1000);
        fresh.RunUntil(search, 100000);
        ASSERT_EQ(fresh.sent.size(), 3u) << addresses;
        EXPECT_EQ(fresh.sent[2].timeMs, 11000u);
        EXPECT_EQ(fresh.sent[0].boundInterface, addresses ? 0 : -1);
        EXPECT_EQ(fresh.actionDoneAt, 16000u) << addresses;
    }
}

TEST_F(Detection, UnfitDiscoveryRepliesAreDroppedAndTheSearchGoesOn) {
    StartAndRunTo(1000);
    const uint16_t seq = logic.sequence;
    struct Case {
        const char* name;
        std::vector<uint8_t> reply;
    } cases[] = {
        {"record type 3", DiscoveryReply(seq, 1, 3)},
        {"status 1", DiscoveryReply(seq, 1, 4, 1)},
        {"previous sequence", DiscoveryReply(static_cast<uint16_t>(seq - 1))},
        {"query command", DiscoveryReply(seq, 1, 4, 0, CMD_QUERY)},
    };
    for (auto& c : cases) {
        Deliver(c.reply, kRouter);
        EXPECT_FALSE(logic.detected) << c.name;
    }
    page.RunUntil(logic, 6000);
    EXPECT_EQ(page.sent.size(), 2u);
    EXPECT_FALSE(page.actionDone);
}

TEST_F(Detection, ReplyFromAnUnexpectedSenderIsDropped) {
    StartAndRunTo(1000);
    logic.expectedSender = kRouter; // a unicast target was in use
    Deliver(DiscoveryReply(logic.sequence), Address(192, 168, 1, 77));
    EXPECT_FALSE(logic.detected);
    Deliver(DiscoveryReply(logic.sequence), kRouter);
    EXPECT_TRUE(logic.detected);
}

TEST_F(Detection, AcceptedReplyLeadsToAQueryTwoSecondsLater) {
    StartAndRunTo(1000 + 21000); // on the second address
    const uint16_t seq = logic.sequence;
    Deliver(DiscoveryReply(seq, 1), kRouter);
    ASSERT_TRUE(logic.detected);
    EXPECT_TRUE(page.actionDone);
    EXPECT_EQ(logic.deviceSummary.deviceAddress, kRouter);
    EXPECT_EQ(logic.deviceSummary.interfaceIndex, 1);
    EXPECT_EQ(page.foundInterface, 1);
    EXPECT_EQ(logic.UploadPasswordText(), "langpw");
    EXPECT_EQ(page.timers.count(TIMER_RETRY) + page.timers.count(TIMER_RESEND), 0u);
    // A second router answering now is ignored.
    Deliver(DiscoveryReply(seq), Address(192, 168, 1, 2));
    EXPECT_EQ(logic.deviceSummary.deviceAddress, kRouter);

    const size_t before = page.sent.size();
    page.RunUntil(logic, page.now + 1999);
    EXPECT_EQ(page.sent.size(), before);
    page.RunUntil(logic, page.now + 1 + 60000);
    ASSERT_EQ(page.sent.size(), before + 1) << "one query, no retries";
    const SentDatagram& query = page.sent.back();
    ASSERT_EQ(query.bytes.size(), DATAGRAM_MAX_SIZE);
    const DatagramHeader header = ReadHeader(query.bytes.data());
    EXPECT_EQ(header.command, CMD_QUERY);
    EXPECT_EQ(header.bodyLength, 747);
    EXPECT_EQ(header.sequence, static_cast<uint16_t>(seq + 1));
    EXPECT_EQ(query.destination, kBroadcastAddress);
    EXPECT_EQ(query.boundInterface, 1) << "the query leaves by the card that found the router";
    EXPECT_EQ(page.slots.at(query.slot).message, QUERY_REPLY_MSG);
    // The router's own record, language byte replaced by the selected code.
    std::vector<uint8_t> expected = DiscoveryReply(seq, 2);
    EXPECT_TRUE(std::equal(expected.begin() + 8, expected.end(), query.bytes.begin() + 8));

    Deliver(QueryReply(header.sequence), kRouter, true);
    EXPECT_TRUE(logic.acknowledged);
    EXPECT_EQ(logic.sequence, 0);
}

TEST_F(Detection, AReplyAfterTheSearchEndedChangesNothingAndDetectSearchesAgain) {
    page.localAddresses = 1;
    StartAndRunTo(1000 + 20000); // search over: the page says "not found"
    Deliver(DiscoveryReply(logic.sequence), kRouter);
    EXPECT_FALSE(logic.detected);
    page.RunUntil(logic, page.now + 60000);
    EXPECT_EQ(page.sent.size(), 3u) << "no query";
    logic.StartDetection(500);
    page.RunUntil(logic, page.now + 500);
    Deliver(DiscoveryReply(logic.sequence), kRouter);
    EXPECT_TRUE(logic.detected);
}

TEST_F(Detection, LanguageByteZeroShowsRetryBoxAndSendsNoQuery) {
    StartAndRunTo(1000);
    Deliver(DiscoveryReply(logic.sequence, 0), kRouter);
    EXPECT_TRUE(logic.detected);
    EXPECT_EQ(page.retryMessages, 1);
    page.RunUntil(logic, 100000);
    EXPECT_EQ(page.sent.size(), 1u);
}

TEST_F(Detection, ShortReplyReadsAsLanguageZero) {
    StartAndRunTo(1000);
    // A whole reply that is dropped first must not fill in the short one.
    Deliver(DiscoveryReply(static_cast<uint16_t>(logic.sequence - 1), 3), kRouter);
    ASSERT_FALSE(logic.detected);
    std::vector<uint8_t> reply = DiscoveryReply(logic.sequence, 3);
    reply.resize(300); // the rest reads as zeros
    Deliver(reply, kRouter);
    EXPECT_TRUE(logic.detected);
    EXPECT_EQ(page.retryMessages, 1);
    EXPECT_EQ(logic.queryPhase, 0);
}

TEST_F(Detection, QueryRepliesMustMatchSequenceAndCommand) {
    StartAndRunTo(1000);
    Deliver(DiscoveryReply(logic.sequence), kRouter);
    page.RunUntil(logic, page.now + 2000);
    const uint16_t seq = logic.sequence;
    // One byte 01: over the query still in the buffer it would read as a
    // matching acceptance.
    Deliver({CMD_QUERY}, kRouter, true);
    EXPECT_FALSE(logic.acknowledged) << "one-byte datagram";
    Deliver(QueryReply(seq), Address(192, 168, 1, 77), true);
    EXPECT_FALSE(logic.acknowledged) << "another host's reply";
    EXPECT_EQ(logic.sequence, seq) << "neither uses up the sequence";
    Deliver(QueryReply(seq, 0, CMD_DISCOVER), kRouter, true);
    EXPECT_EQ(logic.sequence, seq) << "wrong command leaves the sequence";
    Deliver(QueryReply(static_cast<uint16_t>(seq + 1)), kRouter, true);
    EXPECT_FALSE(logic.acknowledged);
    Deliver(QueryReply(seq, 5), kRouter, true);
    EXPECT_FALSE(logic.acknowledged) << "refused by the router";
    EXPECT_EQ(logic.sequence, 0);
    Deliver(QueryReply(seq), kRouter, true);
    EXPECT_FALSE(logic.acknowledged) << "a later copy no longer matches";

    logic.StartDetection(500);
    page.RunUntil(logic, page.now + 500);
    EXPECT_EQ(ReadHeader(page.sent.back().bytes.data()).sequence, 1);
}

TEST_F(Detection, SequenceWrapsFrom10000To1000) {
    logic.sequence = 9998;
    EXPECT_EQ(logic.NextSequence(), 9999);
    EXPECT_EQ(logic.NextSequence(), 10000);
    EXPECT_EQ(logic.NextSequence(), 1000);
    EXPECT_EQ(logic.NextSequence(), 1001);
    logic.sequence = 65535;
    EXPECT_EQ(logic.NextSequence(), 0);
}

TEST_F(Detection, NoSocketShowsTheErrorAndEndsWithoutRetries) {
    page.failOpen = true;
    StartAndRunTo(100000);
    EXPECT_EQ(page.communicationErrors, 1);
    EXPECT_EQ(page.actionDoneAt, 1000u);
    EXPECT_TRUE(page.sent.empty());
}

TEST_F(Detection, NoSocketLaterInTheSearchEndsItThere) {
    struct Case {
        const char* name;
        int failingOpen; // number of the OpenSlot call that fails first
        uint64_t endsAt;
        size_t sends;
    } cases[] = {
        {"second retry", 3, 11000, 2},
        {"switch to the second address", 4, 16000, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePage fresh;
        fresh.failOpenFromCall = c.failingOpen;
        DetectionLogic search(fresh);
        search.StartDetection(1000);
        fresh.RunUntil(search, c.endsAt);
        EXPECT_EQ(fresh.communicationErrors, 1);
        EXPECT_EQ(fresh.actionDoneAt, c.endsAt);
        EXPECT_TRUE(fresh.timers.empty()) << "no timer left running";
        fresh.RunUntil(search, 100000);
        EXPECT_EQ(fresh.badSlotCalls, 0) << "no call on a slot that is not open";
        EXPECT_EQ(fresh.sent.size(), c.sends);
        EXPECT_EQ(fresh.communicationErrors, 1);
    }
}

TEST_F(Detection, FailedDiscoverySendIsReportedAndRetried) {
    page.failSend = true;
    StartAndRunTo(1000);
    EXPECT_EQ(page.communicationErrors, 1);
    EXPECT_FALSE(page.actionDone);
    page.failSend = false;
    page.RunUntil(logic, 6000);
    EXPECT_EQ(page.sent.size(), 1u);
}

// The inputs on which the detection fuzzer once failed, kept as the seeds
// regression_<name> in tests/fuzz/detection_logic_seeds, told here as steps:
// a change in how the fuzzer reads its bytes could retire a seed unnoticed.
TEST_F(Detection, FaultsTheFuzzerFoundStayMended) {
    struct Finding {
        const char* name;
        std::function<void(Search&)> steps; // on one local address
        struct {
            bool detected;
            std::vector<uint16_t> commands; // all that went out, in order
            int errorBoxes;
        } then;
    };
    const uint16_t D = CMD_DISCOVER, Q = CMD_QUERY;
    const Finding findings[] = {
        {"message_without_socket", // before the first tick: no socket of ours to read
         [](Search& s) {
             s.logic.StartDetection(1000);
             s.Deliver(DiscoveryReply(0), kRouter);
             s.Deliver(QueryReply(0), kRouter, true);
         },
         {false, {D, D, D}, 0}},
        {"reply_during_send_error_box", // the first send fails; the router answers meanwhile
         [](Search& s) {
             s.page.failSend = true;
             s.page.whileMessageBoxUp = [&s] {
                 s.page.failSend = false;
                 s.Deliver(DiscoveryReply(s.logic.sequence), kRouter);
             };
             s.StartAndRunTo(1000);
         },
         {true, {Q}, 1}},
        {"retry_tick_behind_socket_error_box", // the box outlasts the next retry time
         [](Search& s) {
             s.page.failOpenFromCall = 2;
             s.page.whileMessageBoxUp = [&s] { s.page.RunUntil(s.logic, s.page.now + 10000); };
             s.StartAndRunTo(1000 + 5000);
         },
         {false, {D}, 1}},
        {"old_reply_after_detect", // the ended search's reply comes just after Detect
         [](Search& s) {
             s.StartAndRunTo(1000 + 15000);
             s.logic.StartDetection(500);
             s.Deliver(DiscoveryReply(s.logic.sequence), kRouter);
             s.page.RunUntil(s.logic, s.page.now + 500);
             s.Deliver(DiscoveryReply(s.logic.sequence), kRouter);
         },
         {true, {D, D, D, D, Q}, 0}},
    };
    for (const Finding& f : findings) {
        SCOPED_TRACE(f.name);
        Search s;
        s.page.localAddresses = 1;
        f.steps(s);
        s.page.RunUntil(s.logic, s.page.now + 600000); // then left alone
        std::vector<uint16_t> commands;
        for (const auto& sent : s.page.sent)
            commands.push_back(ReadHeader(sent.bytes.data()).command);
        EXPECT_EQ(commands, f.then.commands);
        EXPECT_EQ(s.logic.detected, f.then.detected);
        EXPECT_EQ(s.page.communicationErrors, f.then.errorBoxes);
        EXPECT_EQ(s.page.badSlotCalls, 0) << "no call on a slot that is not open";
        EXPECT_TRUE(s.page.timers.empty());
    }
}

TEST(DottedAddress, ParsesLikeInetAddrForOurTexts) {
    EXPECT_EQ(ParseIPv4HostOrder("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseIPv4HostOrder("192.168.1.1"), 0xC0A80101u);
    EXPECT_EQ(ParseIPv4HostOrder("192.168.1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseIPv4HostOrder("192.168.1.256"), 0xFFFFFFFFu);
    const uint32_t network = HostToNetwork32(0xC0A80102u);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&network);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(bytes[3], 2);
}

} // namespace
