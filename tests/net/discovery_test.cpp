// The discovery socket table on real Winsock, in the test's private network
// namespace: loopback and the two network cards that ctest asks the sandbox
// for (FWU_SANDBOX_CARDS). A listener on port 916 plays the router and sees
// exactly what the table puts on the wire.

#include <gtest/gtest.h>

#include <winsock.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "net/device_discovery.h"
#include "pages/language_pack_detection.h"
#include "shared/shared_values.h"

namespace dd = DeviceDiscovery;

// Link seam: the program's Winsock calls go through import pointers, and this
// test defines three of them itself, so that a call can fail the way the
// system may let it fail. Unarmed, they hand every call to wsock32.
namespace seam {
int startupError = 0;         // WSAStartup returns it (once) when set
int broadcastOptionError = 0; // setsockopt(SO_BROADCAST) fails with it (once) when set

template <typename Function> Function Real(const char* name) {
    static const HMODULE wsock32 = ::LoadLibraryA("wsock32.dll");
    // Through void*: FARPROC has no parameters of its own to convert from.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(wsock32, name)));
}

int WINAPI Startup(WORD version, LPWSADATA data) {
    if (const int error = startupError) {
        startupError = 0;
        ::WSASetLastError(0); // nothing to ask for after a failed start
        return error;
    }
    return Real<decltype(&Startup)>("WSAStartup")(version, data);
}

int WINAPI SetOption(SOCKET socket, int level, int name, const char* value, int length) {
    if (broadcastOptionError && level == SOL_SOCKET && name == SO_BROADCAST) {
        ::WSASetLastError(broadcastOptionError);
        broadcastOptionError = 0;
        return SOCKET_ERROR;
    }
    return Real<decltype(&SetOption)>("setsockopt")(socket, level, name, value, length);
}

// A close that succeeds clears the last error, as Winsock is free to do.
int WINAPI Close(SOCKET socket) {
    const int result = Real<decltype(&Close)>("closesocket")(socket);
    if (result == 0)
        ::WSASetLastError(0);
    return result;
}
} // namespace seam

extern "C" {
decltype(&seam::Startup) __imp_WSAStartup = &seam::Startup;
decltype(&seam::SetOption) __imp_setsockopt = &seam::SetOption;
decltype(&seam::Close) __imp_closesocket = &seam::Close;
}

namespace {

constexpr uint32_t kLoopback = 0x0100007Fu;  // 127.0.0.1, network byte order
constexpr uint32_t kLoopback2 = 0x0200007Fu; // 127.0.0.2
constexpr UINT kOtherMessage = WM_USER + 7;

// A message-only window that receives the slots' notifications.
class NotifyWindow {
public:
    NotifyWindow() {
        m_window = ::CreateWindowExA(0, "STATIC", "discovery", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     nullptr, nullptr);
    }
    NotifyWindow(const NotifyWindow&) = delete;
    NotifyWindow& operator=(const NotifyWindow&) = delete;
    ~NotifyWindow() { ::DestroyWindow(m_window); }
    HWND Get() const { return m_window; }

    // Pumps until `message` arrives or the time is up.
    bool WaitFor(UINT message, DWORD timeoutMs) {
        const DWORD start = ::GetTickCount();
        MSG msg;
        while (::GetTickCount() - start < timeoutMs) {
            while (::PeekMessageA(&msg, m_window, 0, 0, PM_REMOVE)) {
                if (msg.message == message)
                    return true;
                ::DispatchMessageA(&msg);
            }
            ::Sleep(5);
        }
        return false;
    }

private:
    HWND m_window = nullptr;
};

// The router's side: a UDP socket on port 916 (127.0.0.1 unless told
// otherwise; any address hears broadcasts) with a short read limit.
class Listener {
public:
    explicit Listener(uint32_t local = kLoopback) {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = local;
        address.sin_port = htons(DISCOVERY_PORT);
        m_bound = ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        int timeoutMs = 1500;
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                     sizeof timeoutMs);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener() { ::closesocket(m_socket); }
    bool Bound() const { return m_bound; }

    // One datagram (empty when none came in time) and where it came from.
    std::vector<uint8_t> Receive(sockaddr_in* from = nullptr) {
        std::vector<uint8_t> buffer(2048);
        sockaddr_in sender{};
        int length = sizeof sender;
        const int got = ::recvfrom(m_socket, reinterpret_cast<char*>(buffer.data()),
                                   static_cast<int>(buffer.size()), 0,
                                   reinterpret_cast<sockaddr*>(&sender), &length);
        buffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
        if (from)
            *from = sender;
        return buffer;
    }

    void SendTo(const sockaddr_in& to, const std::vector<uint8_t>& bytes) {
        ::sendto(m_socket, reinterpret_cast<const char*>(bytes.data()),
                 static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }

private:
    SOCKET m_socket = INVALID_SOCKET;
    bool m_bound = false;
};

// The local address a slot's socket is bound to; 0 when it is not bound.
uint32_t BoundAddress(int slot) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(static_cast<SOCKET>(dd::SlotSocket(slot)),
                      reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return address.sin_addr.s_addr;
}

sockaddr_in SocketName(int slot) {
    sockaddr_in address{};
    int length = sizeof address;
    ::getsockname(static_cast<SOCKET>(dd::SlotSocket(slot)), reinterpret_cast<sockaddr*>(&address),
                  &length);
    return address;
}

void UseLoopbackAddresses() {
    dd::localAddresses[0] = kLoopback;
    dd::localAddresses[1] = kLoopback2;
    dd::localAddressCount = 2;
}

class DiscoveryTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dd::StartNetworking());
        dd::perInterfaceBinding = false;
        dd::bindPosition = 0;
        dd::localAddressCount = 0;
    }
    void TearDown() override {
        for (int slot = 1; slot <= dd::kSlotCount; ++slot)
            dd::CloseSlot(slot);
    }
    NotifyWindow m_window;
};

} // namespace

// Runs first (tests run in file order): nothing is started yet.
TEST(DiscoveryBeforeStart, EveryOperationFailsWithNotStarted) {
    NotifyWindow window;
    uint8_t datagram[DATAGRAM_MAX_SIZE] = {};
    uint32_t sender = 0;
    EXPECT_EQ(0, dd::OpenSlot(window.Get(), DISCOVERY_REPLY_MSG));
    EXPECT_EQ(DD_ERR_NOT_STARTED, dd::lastError);
    dd::lastError = 0;
    EXPECT_FALSE(dd::SendCommand(1, CMD_DISCOVER, 1, datagram));
    EXPECT_EQ(DD_ERR_NOT_STARTED, dd::lastError);
    EXPECT_FALSE(dd::GetLastSender(1, &sender));
    EXPECT_FALSE(dd::CloseSlot(1));
    seam::startupError = WSASYSNOTREADY;
    EXPECT_FALSE(dd::StartNetworking());
    EXPECT_EQ(WSASYSNOTREADY, dd::lastError) << "WSAStartup's own result";
    EXPECT_TRUE(dd::StartNetworking());
    EXPECT_TRUE(dd::StartNetworking()); // again true on every later call
}

TEST_F(DiscoveryTable, DiscoveryRequestIsEightBytes) {
    Listener router;
    ASSERT_TRUE(router.Bound());
    const int slot = dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG);
    ASSERT_NE(0, slot);
    ASSERT_TRUE(dd::SetDestination(slot, kLoopback));
    uint8_t datagram[DATAGRAM_MAX_SIZE];
    std::memset(datagram, 0xAA, sizeof datagram);
    ASSERT_TRUE(dd::SendCommand(slot, CMD_DISCOVER, 0x1234, datagram));
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0x34, 0x12, 0, 0};
    EXPECT_EQ(expected, router.Receive());
}

TEST_F(DiscoveryTable, QueryIsWholeDatagramWithBodyLength747) {
    Listener router;
    ASSERT_TRUE(router.Bound());
    const int slot = dd::OpenSlot(m_window.Get(), QUERY_REPLY_MSG);
    ASSERT_NE(0, slot);
    dd::SetDestination(slot, kLoopback);
    uint8_t datagram[DATAGRAM_MAX_SIZE];
    for (size_t i = 0; i < sizeof datagram; ++i)
        datagram[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(dd::SendCommand(slot, CMD_QUERY, 9999, datagram));
    const std::vector<uint8_t> got = router.Receive();
    ASSERT_EQ(DATAGRAM_MAX_SIZE, got.size());
    EXPECT_EQ(1, got[0]);
    EXPECT_EQ(0, got[1]);
    EXPECT_EQ(0x0F, got[4]); // 9999 = 0x270F, little-endian
    EXPECT_EQ(0x27, got[5]);
    EXPECT_EQ(0xEB, got[6]);
    EXPECT_EQ(0x02, got[7]);
    EXPECT_EQ(0, std::memcmp(got.data() + 8, datagram + 8, DEVICE_RECORD_SIZE));
}

TEST_F(DiscoveryTable, CommandAboveThreeSendsNothing) {
    Listener router;
    ASSERT_TRUE(router.Bound());
    const int slot = dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG);
    dd::SetDestination(slot, kLoopback);
    uint8_t datagram[DATAGRAM_MAX_SIZE] = {};
    EXPECT_FALSE(dd::SendCommand(slot, 4, 1, datagram));
    // The next thing on the wire is the command-2 request, not command 4.
    ASSERT_TRUE(dd::SendCommand(slot, 2, 1, datagram));
    const std::vector<uint8_t> got = router.Receive();
    ASSERT_EQ(8u, got.size());
    EXPECT_EQ(2, got[0]);
}

TEST_F(DiscoveryTable, SeventeenthSlotRefusedAndFreedNumberReused) {
    std::vector<int> slots;
    for (int i = 0; i < dd::kSlotCount; ++i)
        slots.push_back(dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG));
    for (int i = 0; i < dd::kSlotCount; ++i)
        EXPECT_EQ(i + 1, slots[static_cast<size_t>(i)]);
    EXPECT_EQ(0, dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG));
    EXPECT_EQ(DD_ERR_NO_FREE_SLOT, dd::lastError);
    ASSERT_TRUE(dd::CloseSlot(7));
    EXPECT_EQ(7, dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG));
}

TEST_F(DiscoveryTable, BadSlotNumbersFail) {
    uint8_t datagram[DATAGRAM_MAX_SIZE] = {};
    struct Case {
        const char* name;
        int slot;
    } cases[] = {{"zero", 0}, {"seventeen", 17}, {"negative", -1}, {"empty slot", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dd::lastError = 0;
        EXPECT_FALSE(dd::SendCommand(c.slot, CMD_DISCOVER, 1, datagram));
        EXPECT_EQ(DD_ERR_BAD_SLOT, dd::lastError);
        dd::lastError = 0;
        EXPECT_FALSE(dd::ReceiveDatagram(c.slot, datagram));
        EXPECT_EQ(DD_ERR_BAD_SLOT, dd::lastError);
        EXPECT_FALSE(dd::CloseSlot(c.slot));
        dd::lastError = 0;
        EXPECT_EQ(0, dd::ReopenSlot(m_window.Get(), DISCOVERY_REPLY_MSG, c.slot));
        EXPECT_EQ(DD_ERR_BAD_SLOT, dd::lastError);
    }
    const int closed = dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG);
    ASSERT_TRUE(dd::CloseSlot(closed));
    EXPECT_EQ(0, dd::ReopenSlot(m_window.Get(), DISCOVERY_REPLY_MSG, closed));
    EXPECT_EQ(DD_ERR_BAD_SLOT, dd::lastError);
}

TEST_F(DiscoveryTable, FailedOpenKeepsTheErrorOfTheCallThatFailed) {
    seam::broadcastOptionError = WSAENETDOWN;
    EXPECT_EQ(0, dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG));
    EXPECT_EQ(WSAENETDOWN, dd::lastError) << "setsockopt, read before the socket was closed";
    EXPECT_EQ(1, dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG)) << "nothing was kept";
}

TEST_F(DiscoveryTable, PerInterfaceBindingWalksTheLocalAddresses) {
    UseLoopbackAddresses();
    dd::perInterfaceBinding = true;
    const int first = dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG);
    EXPECT_EQ(1, dd::bindPosition);
    const int second = dd::OpenSlot(m_window.Get(), QUERY_REPLY_MSG);
    EXPECT_EQ(2, dd::bindPosition);
    const int third = dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG);
    EXPECT_EQ(2, dd::bindPosition);
    EXPECT_EQ(kLoopback, BoundAddress(first));
    EXPECT_EQ(kLoopback2, BoundAddress(second));
    EXPECT_EQ(0u, BoundAddress(third)); // left for the system to bind at the first send
}

TEST_F(DiscoveryTable, OtherMessagesNeverBind) {
    UseLoopbackAddresses();
    dd::perInterfaceBinding = true;
    const int slot = dd::OpenSlot(m_window.Get(), kOtherMessage);
    ASSERT_NE(0, slot);
    EXPECT_EQ(0, dd::bindPosition);
    EXPECT_EQ(0u, BoundAddress(slot));
}

TEST_F(DiscoveryTable, BroadcastDestinationRebindsOnlyWithoutPerInterfaceBinding) {
    UseLoopbackAddresses();
    dd::foundInterface = 1;
    dd::perInterfaceBinding = true;
    const int kept = dd::OpenSlot(m_window.Get(), kOtherMessage);
    dd::SetDestination(kept, 0xFFFFFFFFu);
    EXPECT_EQ(0u, BoundAddress(kept));

    dd::perInterfaceBinding = false;
    const int other = dd::OpenSlot(m_window.Get(), kOtherMessage);
    dd::SetDestination(other, kLoopback);
    EXPECT_EQ(0u, BoundAddress(other)); // a unicast address never re-creates it

    const int rebound = dd::OpenSlot(m_window.Get(), kOtherMessage);
    dd::SetDestination(rebound, 0xFFFFFFFFu);
    EXPECT_EQ(kLoopback2, BoundAddress(rebound)); // the address that found the router

    dd::foundInterface = 5; // not a valid entry: any local address
    const int any = dd::OpenSlot(m_window.Get(), kOtherMessage);
    EXPECT_TRUE(dd::RebindBroadcastSlot(any));
    const sockaddr_in name = SocketName(any);
    EXPECT_EQ(0u, name.sin_addr.s_addr);
    EXPECT_NE(0, name.sin_port);
}

TEST_F(DiscoveryTable, ReopenedSlotResendsTheSameBytesToTheSameDestination) {
    Listener router;
    ASSERT_TRUE(router.Bound());
    UseLoopbackAddresses();
    dd::perInterfaceBinding = true;
    const int slot = dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG);
    dd::SetDestination(slot, kLoopback);
    uint8_t datagram[DATAGRAM_MAX_SIZE] = {};
    ASSERT_TRUE(dd::SendCommand(slot, CMD_DISCOVER, 4321, datagram));
    sockaddr_in firstFrom{};
    const std::vector<uint8_t> first = router.Receive(&firstFrom);

    const int reopened = dd::ReopenSlot(m_window.Get(), DISCOVERY_REPLY_MSG, slot);
    ASSERT_NE(0, reopened);
    EXPECT_EQ(2, dd::bindPosition);
    EXPECT_EQ(kLoopback2, BoundAddress(reopened));
    EXPECT_TRUE(router.Receive().empty()); // nothing sent by the reopening itself
    ASSERT_TRUE(dd::ResendLast(reopened));
    sockaddr_in secondFrom{};
    const std::vector<uint8_t> second = router.Receive(&secondFrom);
    EXPECT_EQ(first, second);
    EXPECT_EQ(8u, second.size());
    EXPECT_EQ(kLoopback, firstFrom.sin_addr.s_addr);
    // Now from the new socket (Wine reports loopback senders as 127.0.0.1,
    // so the port tells the sockets apart).
    EXPECT_EQ(SocketName(reopened).sin_port, secondFrom.sin_port);
    EXPECT_NE(firstFrom.sin_port, secondFrom.sin_port);
}

TEST_F(DiscoveryTable, ArrivingDatagramIsAnnouncedAndRead) {
    Listener router;
    ASSERT_TRUE(router.Bound());
    const int slot = dd::OpenSlot(m_window.Get(), DISCOVERY_REPLY_MSG);
    dd::SetDestination(slot, kLoopback);
    uint8_t datagram[DATAGRAM_MAX_SIZE] = {};
    ASSERT_TRUE(dd::SendCommand(slot, CMD_DISCOVER, 77, datagram));
    sockaddr_in from{};
    router.Receive(&from);

    router.SendTo(from, {0, 0, 0, 0, 77, 0, 0, 0, 4, 0});
    ASSERT_TRUE(m_window.WaitFor(DISCOVERY_REPLY_MSG, 3000));
    std::memset(datagram, 0xCC, sizeof datagram);
    ASSERT_TRUE(dd::ReceiveDatagram(slot, datagram));
    EXPECT_EQ(77, datagram[4]);
    EXPECT_EQ(4, datagram[8]);
    EXPECT_EQ(0xCC, datagram[10]); // bytes past the datagram stay as they were
    uint32_t sender = 0;
    ASSERT_TRUE(dd::GetLastSender(slot, &sender));
    EXPECT_EQ(kLoopback, sender);

    // Longer than the buffer: a failed read.
    router.SendTo(from, std::vector<uint8_t>(DATAGRAM_MAX_SIZE + 45, 1));
    ASSERT_TRUE(m_window.WaitFor(DISCOVERY_REPLY_MSG, 3000));
    EXPECT_FALSE(dd::ReceiveDatagram(slot, datagram));
    EXPECT_NE(0, dd::SlotSocketError(slot));
}

TEST_F(DiscoveryTable, LocalAddressesAreTheCardsAndStayWithinTheList) {
    std::array<uint32_t, dd::kMaxLocalAddresses + 1> list{};
    list.back() = 0x5A5A5A5Au; // guard past the end
    int32_t count = -1;
    dd::ReadLocalAddresses(list.data(), &count);
    EXPECT_LE(count, dd::kMaxLocalAddresses);
    EXPECT_EQ(0x5A5A5A5Au, list.back());
    // The sandbox gives this namespace its cards (FWU_SANDBOX_CARDS, as
    // "a.b.c.d/n ..."): each is in the list.
    const char* cards = std::getenv("FWU_SANDBOX_CARDS");
    ASSERT_NE(cards, nullptr) << "the test runs with the sandbox's extra cards";
    std::istringstream words(cards);
    std::string card;
    while (words >> card) {
        const uint32_t address = ::inet_addr(card.substr(0, card.find('/')).c_str());
        EXPECT_NE(std::find(list.begin(), list.begin() + std::max(count, 0), address),
                  list.begin() + std::max(count, 0))
            << card << " is not among the " << count << " local addresses";
    }
}

namespace {

// The page's detection actions on this test's window, with the timers kept
// here (the test fires them) and the message boxes counted instead of shown.
class TestPageActions : public WindowDetectionActions {
public:
    using WindowDetectionActions::WindowDetectionActions;
    void SetTimer(unsigned id, unsigned) override { timers.insert(id); }
    void KillTimer(unsigned id) override { timers.erase(id); }
    void ShowCommunicationError() override { ++boxes; }
    void ShowRetryMessage() override { ++boxes; }
    std::set<unsigned> timers;
    int boxes = 0;
};

std::vector<uint8_t> Reply(uint16_t command, const std::vector<uint8_t>& request) {
    std::vector<uint8_t> reply(command == CMD_DISCOVER ? DATAGRAM_MAX_SIZE : 8, 0);
    reply[0] = static_cast<uint8_t>(command);
    reply[4] = request[4]; // the request's sequence
    reply[5] = request[5];
    if (command == CMD_DISCOVER) {
        reply[6] = 0xEB;
        reply[7] = 0x02;
        reply[8] = DISCOVERY_REPLY_RECORD_TYPE;
        reply[8 + LANGUAGE_CODE_OFFSET] = 1;
    }
    return reply;
}

} // namespace

// A PC with two cards, the router heard only from the second: the query must
// leave from that card too, or the router never learns the language.
TEST_F(DiscoveryTable, QueryLeavesByTheCardThatFoundTheRouter) {
    Listener router(INADDR_ANY);
    ASSERT_TRUE(router.Bound());
    CWnd page;
    page.m_hWnd = m_window.Get();
    TestPageActions actions(page);
    DetectionLogic detection(actions);
    SelectedLanguage = 3;

    detection.StartDetection(60000);
    detection.OnTimer(TIMER_START);
    ASSERT_EQ(2, dd::localAddressCount) << "the sandbox gives this test two cards";
    const uint32_t firstCard = dd::localAddresses[0];
    const uint32_t secondCard = dd::localAddresses[1];
    sockaddr_in from{};
    for (int request = 0; request < 3; ++request) {
        ASSERT_EQ(8u, router.Receive(&from).size()) << request;
        EXPECT_EQ(firstCard, from.sin_addr.s_addr) << request;
        detection.OnTimer(TIMER_RETRY); // the third tick moves to the second card
    }
    ASSERT_EQ(1u, actions.timers.count(TIMER_RESEND));
    detection.OnTimer(TIMER_RESEND);
    const std::vector<uint8_t> request = router.Receive(&from);
    ASSERT_EQ(8u, request.size());
    ASSERT_EQ(secondCard, from.sin_addr.s_addr);

    router.SendTo(from, Reply(CMD_DISCOVER, request));
    ASSERT_TRUE(m_window.WaitFor(DISCOVERY_REPLY_MSG, 3000));
    detection.OnDiscoveryReply();
    ASSERT_TRUE(detection.detected);
    EXPECT_EQ(1, detection.deviceSummary.interfaceIndex);

    detection.OnTimer(TIMER_START); // the query, 2 s later on the page
    const std::vector<uint8_t> query = router.Receive(&from);
    ASSERT_EQ(DATAGRAM_MAX_SIZE, query.size());
    EXPECT_EQ(CMD_QUERY, query[0]);
    EXPECT_EQ(3, query[8 + LANGUAGE_CODE_OFFSET]);
    EXPECT_EQ(secondCard, from.sin_addr.s_addr) << "query from the card that found the router";

    router.SendTo(from, Reply(CMD_QUERY, query));
    ASSERT_TRUE(m_window.WaitFor(QUERY_REPLY_MSG, 3000));
    detection.OnQueryReply();
    EXPECT_TRUE(detection.acknowledged);
    EXPECT_EQ(0, actions.boxes);
    EXPECT_TRUE(router.Receive().empty()) << "nothing else on the wire";
    page.m_hWnd = nullptr;
}
