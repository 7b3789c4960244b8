#pragma once
// DeviceDiscovery: the UDP socket table that finds routers by broadcast before
// their address is known. Sixteen slots, each one broadcast-capable datagram
// socket that announces arriving datagrams to an owner window with a private
// message (read events only). Plain functions over process-wide state; only
// the user-interface thread calls them, so nothing is locked.
//
// Failures of table-level operations land in lastError (a Winsock code or a
// DD_ERR_ code of net/discovery_datagram.h); send and read failures land in
// the slot's own last socket error.

#include <windows.h>

#include <array>
#include <cstdint>

#include "net/discovery_datagram.h"

namespace DeviceDiscovery {

constexpr int kSlotCount = 16;
constexpr int kMaxLocalAddresses = 11;

// Process-wide values, set by the detection procedure as well as here.
extern int32_t lastError;
extern std::array<uint32_t, kMaxLocalAddresses> localAddresses; // network byte order
extern int32_t localAddressCount;
extern int32_t bindPosition; // index of the address the next OpenSlot binds to
extern bool perInterfaceBinding;
extern int32_t foundInterface; // index of the address that found the router

bool StartNetworking();
int OpenSlot(HWND window, UINT message); // slot number 1..16, or 0
bool CloseSlot(int slot);
// Closes oldSlot and opens a new one that keeps its destination and last
// request; 0 when oldSlot is not open or no new slot can be had.
int ReopenSlot(HWND window, UINT message, int oldSlot);
bool SetDestination(int slot, uint32_t addressNetworkOrder);
bool RebindBroadcastSlot(int slot);
// datagram is the caller's DATAGRAM_MAX_SIZE buffer; the header is written in place.
bool SendCommand(int slot, uint16_t command, uint16_t sequence, uint8_t* datagram);
bool ResendLast(int slot);
// Overwrites datagram from its start; bytes past the datagram's length stay.
bool ReceiveDatagram(int slot, uint8_t* datagram);
bool GetLastSender(int slot, uint32_t* addressNetworkOrder);
// Keeps at most kMaxLocalAddresses (the first ones the resolver lists);
// an unresolvable host name leaves list and count unchanged.
void ReadLocalAddresses(uint32_t* list, int32_t* count);

// For tests and diagnostics: the slot's socket handle (INVALID_SOCKET's value
// when empty) and its last send/read error.
uintptr_t SlotSocket(int slot);
int32_t SlotSocketError(int slot);

} // namespace DeviceDiscovery
