#include "pages/language_pack_detection.h"

#include "net/device_discovery.h"
#include "shared/shared_values.h"
#include "res/resource.h"

namespace dd = DeviceDiscovery;

bool WindowDetectionActions::StartNetworking() {
    return dd::StartNetworking();
}

void WindowDetectionActions::ReadLocalAddresses() {
    dd::ReadLocalAddresses(dd::localAddresses.data(), &dd::localAddressCount);
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
    return dd::SetDestination(slot, addressNetworkOrder);
}

bool WindowDetectionActions::SendCommand(int slot, uint16_t command, uint16_t sequence,
                                         uint8_t* datagram) {
    return dd::SendCommand(slot, command, sequence, datagram);
}

bool WindowDetectionActions::ResendLast(int slot) {
    return dd::ResendLast(slot);
}

bool WindowDetectionActions::ReceiveDatagram(int slot, uint8_t* datagram) {
    return dd::ReceiveDatagram(slot, datagram);
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
    ::MessageBoxA(owner, text, caption, MB_OK | MB_ICONEXCLAMATION);
}
