#include "net/device_discovery.h"

// The Winsock 1.1 interface (wsock32) is all this table needs: UDP sockets
// with window-message notification.
#include <winsock.h>

#include <cstring>
#include <memory>
#include <new>

#include "framework/afx_handle.h"

namespace DeviceDiscovery {

int32_t lastError = 0;
std::array<uint32_t, kMaxLocalAddresses> localAddresses{};
int32_t localAddressCount = 0;
int32_t bindPosition = 0;
bool perInterfaceBinding = false;
int32_t foundInterface = 0;

namespace {

struct SocketTraits {
    using Handle = SOCKET;
    static Handle None() { return INVALID_SOCKET; }
    static void Free(Handle socket) { ::closesocket(socket); }
};
// One socket, closed with its owner.
using UniqueSocket = UniqueHandle<SocketTraits>;

struct SlotRecord {
    UniqueSocket socket;
    uint32_t destination = 0; // network byte order; 0 until SetDestination
    uint32_t lastSender = 0;  // network byte order
    uint16_t port = 0;        // host order, always DISCOVERY_PORT once opened
    HWND window = nullptr;
    UINT message = 0;
    std::array<uint8_t, DATAGRAM_MAX_SIZE> lastDatagram{};
    uint32_t lastLength = 0;
    int32_t lastSocketError = 0;
};

bool g_started = false;
std::array<std::unique_ptr<SlotRecord>, kSlotCount> g_slots;

// The record of an occupied slot, or null with lastError set.
SlotRecord* CheckedSlot(int slot) {
    if (!g_started) {
        lastError = DD_ERR_NOT_STARTED;
        return nullptr;
    }
    if (slot < 1 || slot > kSlotCount || !g_slots[slot - 1]) {
        lastError = DD_ERR_BAD_SLOT;
        return nullptr;
    }
    return g_slots[slot - 1].get();
}

sockaddr_in IPv4(uint32_t addressNetworkOrder, uint16_t portHostOrder) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = addressNetworkOrder;
    address.sin_port = htons(portHostOrder);
    return address;
}

bool Bind(SOCKET socket, uint32_t addressNetworkOrder) {
    sockaddr_in address = IPv4(addressNetworkOrder, 0);
    return ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

// Makes `socket` a new broadcast-capable UDP socket. On failure the Winsock
// error is still there to read: the caller reads it before anything closes.
bool OpenBroadcastSocket(UniqueSocket& socket) {
    socket.Reset(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!socket)
        return false;
    int on = 1;
    return ::setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                        sizeof on) == 0;
}

bool IsDetectionMessage(UINT message) {
    return message == DISCOVERY_REPLY_MSG || message == QUERY_REPLY_MSG;
}

bool SendBytes(SlotRecord& record, const uint8_t* bytes, uint32_t length) {
    sockaddr_in to = IPv4(record.destination, DISCOVERY_PORT);
    const int sent =
        ::sendto(record.socket.Get(), reinterpret_cast<const char*>(bytes),
                 static_cast<int>(length), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (sent == SOCKET_ERROR) {
        record.lastSocketError = ::WSAGetLastError();
        return false;
    }
    return true;
}

} // namespace

bool StartNetworking() {
    if (g_started)
        return true;
    WSADATA data{};
    // WSAStartup returns its error: without a started Winsock there is no
    // last error to ask for.
    const int result = ::WSAStartup(MAKEWORD(1, 1), &data);
    if (result != 0) {
        lastError = result;
        return false;
    }
    // Winsock stays up until the process ends; nothing shuts it down early.
    g_started = true;
    return true;
}

int OpenSlot(HWND window, UINT message) {
    if (!g_started) {
        lastError = DD_ERR_NOT_STARTED;
        return 0;
    }
    int index = 0;
    while (index < kSlotCount && g_slots[index])
        ++index;
    if (index == kSlotCount) {
        lastError = DD_ERR_NO_FREE_SLOT;
        return 0;
    }
    std::unique_ptr<SlotRecord> record(new (std::nothrow) SlotRecord());
    if (!record) {
        lastError = DD_ERR_NO_MEMORY;
        return 0;
    }
    bool ok = OpenBroadcastSocket(record->socket);
    if (ok && perInterfaceBinding && bindPosition < localAddressCount &&
        IsDetectionMessage(message)) {
        ok = Bind(record->socket.Get(), localAddresses[bindPosition]);
        if (ok)
            ++bindPosition;
    }
    // Without a bind here the system binds the socket at its first send.
    ok = ok && ::WSAAsyncSelect(record->socket.Get(), window, message, FD_READ) == 0;
    if (!ok) {
        // Read before the record, and with it the socket, goes.
        lastError = ::WSAGetLastError();
        return 0;
    }
    record->window = window;
    record->message = message;
    record->port = DISCOVERY_PORT;
    g_slots[index] = std::move(record);
    return index + 1;
}

bool CloseSlot(int slot) {
    if (!CheckedSlot(slot))
        return false;
    g_slots[slot - 1].reset(); // closes the socket
    return true;
}

int ReopenSlot(HWND window, UINT message, int oldSlot) {
    const SlotRecord* oldRecord = CheckedSlot(oldSlot);
    if (!oldRecord)
        return 0;
    // Keep what a resend needs.
    const SlotRecord& old = *oldRecord;
    const uint32_t destination = old.destination;
    const uint16_t port = old.port;
    const HWND oldWindow = old.window;
    const UINT oldMessage = old.message;
    const uint32_t lastLength = old.lastLength;
    std::array<uint8_t, DATAGRAM_MAX_SIZE> lastDatagram{};
    std::memcpy(lastDatagram.data(), old.lastDatagram.data(), lastLength);

    CloseSlot(oldSlot);
    const int slot = OpenSlot(window, message);
    if (slot == 0)
        return 0;
    SlotRecord& record = *g_slots[slot - 1];
    record.destination = destination;
    record.port = port;
    record.window = oldWindow;
    record.message = oldMessage;
    record.lastDatagram = lastDatagram;
    record.lastLength = lastLength;
    return slot;
}

bool SetDestination(int slot, uint32_t addressNetworkOrder) {
    SlotRecord* record = CheckedSlot(slot);
    if (!record)
        return false;
    record->destination = addressNetworkOrder;
    if (addressNetworkOrder == 0xFFFFFFFFu && !perInterfaceBinding)
        RebindBroadcastSlot(slot); // a failure shows up at the next send
    return true;
}

bool RebindBroadcastSlot(int slot) {
    SlotRecord* record = CheckedSlot(slot);
    if (!record)
        return false;
    record->socket.Reset();
    UniqueSocket fresh;
    if (!OpenBroadcastSocket(fresh))
        return false;
    const bool validIndex = foundInterface >= 0 && foundInterface < localAddressCount;
    const uint32_t local = validIndex ? localAddresses[foundInterface] : INADDR_ANY;
    if (!Bind(fresh.Get(), local))
        return false;
    if (::WSAAsyncSelect(fresh.Get(), record->window, record->message, FD_READ) != 0)
        return false;
    record->socket.Reset(fresh.Release());
    return true;
}

bool SendCommand(int slot, uint16_t command, uint16_t sequence, uint8_t* datagram) {
    SlotRecord* record = CheckedSlot(slot);
    if (!record)
        return false;
    const size_t length = WriteHeader(datagram, command, sequence);
    if (length == 0) { // a command above CMD_HIGHEST is never sent
        record->lastSocketError = ::WSAGetLastError();
        return false;
    }
    if (!SendBytes(*record, datagram, static_cast<uint32_t>(length)))
        return false;
    record->lastLength = static_cast<uint32_t>(length);
    std::memcpy(record->lastDatagram.data(), datagram, DATAGRAM_MAX_SIZE);
    return true;
}

bool ResendLast(int slot) {
    SlotRecord* record = CheckedSlot(slot);
    if (!record)
        return false;
    return SendBytes(*record, record->lastDatagram.data(), record->lastLength);
}

bool ReceiveDatagram(int slot, uint8_t* datagram) {
    SlotRecord* record = CheckedSlot(slot);
    if (!record)
        return false;
    sockaddr_in from{};
    int fromLength = sizeof from;
    // A datagram longer than the buffer fails the read (WSAEMSGSIZE).
    const int got = ::recvfrom(record->socket.Get(), reinterpret_cast<char*>(datagram),
                               static_cast<int>(DATAGRAM_MAX_SIZE), 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got == 0 || got == SOCKET_ERROR) {
        record->lastSocketError = ::WSAGetLastError();
        return false;
    }
    record->lastSender = from.sin_addr.s_addr;
    return true;
}

bool GetLastSender(int slot, uint32_t* addressNetworkOrder) {
    SlotRecord* record = CheckedSlot(slot);
    if (!record)
        return false;
    *addressNetworkOrder = record->lastSender;
    return true;
}

void ReadLocalAddresses(uint32_t* list, int32_t* count) {
    char name[100] = {};
    if (::gethostname(name, sizeof name) != 0)
        return;
    const hostent* host = ::gethostbyname(name);
    if (!host || !host->h_addr_list || host->h_length != 4)
        return;
    int32_t copied = 0;
    // A host with more addresses than the list holds keeps the first ones.
    while (copied < kMaxLocalAddresses && host->h_addr_list[copied]) {
        std::memcpy(&list[copied], host->h_addr_list[copied], 4);
        ++copied;
    }
    *count = copied;
}

uintptr_t SlotSocket(int slot) {
    if (slot < 1 || slot > kSlotCount || !g_slots[slot - 1])
        return static_cast<uintptr_t>(INVALID_SOCKET);
    return static_cast<uintptr_t>(g_slots[slot - 1]->socket.Get());
}

int32_t SlotSocketError(int slot) {
    if (slot < 1 || slot > kSlotCount || !g_slots[slot - 1])
        return 0;
    return g_slots[slot - 1]->lastSocketError;
}

} // namespace DeviceDiscovery
