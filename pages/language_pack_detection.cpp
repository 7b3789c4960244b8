#include "pages/language_pack_detection.h"

#include "net/device_discovery.h"
#include "shared/shared_values.h"
#include "shared/upgrade_record.h"
#include "res/resource.h"

namespace dd = DeviceDiscovery;

namespace {

// What the upgrade record keeps of a datagram: never its upload password.
void RecordDatagram(const char* direction, uint32_t peer, const uint8_t* datagram) {
    const DatagramHeader header = ReadHeader(datagram);
    const bool hasRecord = header.bodyLength >= DEVICE_RECORD_SIZE;
    UpgradeRecord::Add(UpgradeRecord::DatagramLine(
        {direction, peer, header.command, header.status, header.sequence, header.bodyLength,
         hasRecord, hasRecord ? RecordType(datagram) : uint16_t{0},
         hasRecord ? LanguageByte(datagram + DATAGRAM_HEADER_SIZE) : uint8_t{0}}));
}

} // namespace

bool WindowDetectionActions::StartNetworking() {
    return dd::StartNetworking();
}

void WindowDetectionActions::ReadLocalAddresses() {
    dd::ReadLocalAddresses(dd::localAddresses.data(), &dd::localAddressCount);
    UpgradeRecord::Add(
        UpgradeRecord::AddressesLine(dd::localAddresses.data(), dd::localAddressCount));
}

int WindowDetectionActions::OpenSlot(unsigned message) {
    return dd::OpenSlot(m_window.m_hWnd, message);
}

bool WindowDetectionActions::CloseSlot(int slot) {
    return dd::CloseSlot(slot);
}

int WindowDetectionActions::ReopenSlot(unsigned message, int oldSlot) {
    return dd::ReopenSlot(m_window.m_hWnd, message, oldSlot);
}

bool WindowDetectionActions::SetDestination(int slot, uint32_t addressNetworkOrder) {
    m_destination = addressNetworkOrder;
    return dd::SetDestination(slot, addressNetworkOrder);
}

bool WindowDetectionActions::SendCommand(int slot, uint16_t command, uint16_t sequence,
                                         uint8_t* datagram) {
    const bool sent = dd::SendCommand(slot, command, sequence, datagram);
    RecordDatagram(sent ? "sent to" : "not sent to", m_destination, datagram);
    return sent;
}

bool WindowDetectionActions::ResendLast(int slot) {
    const bool sent = dd::ResendLast(slot);
    UpgradeRecord::Add(sent ? "datagram sent again" : "datagram not sent again");
    return sent;
}

bool WindowDetectionActions::ReceiveDatagram(int slot, uint8_t* datagram) {
    if (!dd::ReceiveDatagram(slot, datagram))
        return false;
    uint32_t sender = 0;
    dd::GetLastSender(slot, &sender);
    RecordDatagram("received from", sender, datagram);
    return true;
}

bool WindowDetectionActions::GetLastSender(int slot, uint32_t* addressNetworkOrder) {
    return dd::GetLastSender(slot, addressNetworkOrder);
}

void WindowDetectionActions::SetTimer(unsigned id, unsigned periodMs) {
    m_window.SetTimer(id, periodMs);
}

void WindowDetectionActions::KillTimer(unsigned id) {
    m_window.KillTimer(id);
}

void WindowDetectionActions::ShowCommunicationError() {
    ShowPageWarning(m_window.m_hWnd, "Communication Error!\nPlease check your TCP/IP setting.");
}

void WindowDetectionActions::ShowRetryMessage() {
    AfxMessageBox("Please retry this programme again!", MB_OK);
}

void WindowDetectionActions::SetActionDone() {
    if (!m_uploadWaiting)
        ActionDone = 1;
}

void WindowDetectionActions::SetPerInterfaceBinding(bool on) {
    dd::perInterfaceBinding = on;
}

int WindowDetectionActions::BindPosition() {
    return dd::bindPosition;
}

void WindowDetectionActions::SetBindPosition(int position) {
    dd::bindPosition = position;
}

void WindowDetectionActions::SetFoundInterface(int index) {
    dd::foundInterface = index;
}

int WindowDetectionActions::LocalAddressCount() {
    return dd::localAddressCount;
}

int32_t WindowDetectionActions::SelectedLanguage() {
    return ::SelectedLanguage;
}

void ShowPageWarning(HWND owner, const char* text) {
    char caption[64] = {};
    if (::LoadStringA(AfxGetResourceHandle(), IDS_WARNING, caption, sizeof caption) <= 0)
        caption[0] = 0; // an empty caption rather than a made-up one
    UpgradeRecord::AddShown(text);
    ::MessageBoxA(owner, text, caption, MB_OK | MB_ICONEXCLAMATION);
}
