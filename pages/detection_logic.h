#pragma once
// Finding the router after its restart and telling it the chosen language.
// The procedure is driven by three timers and two socket notifications of the
// language-pack page; everything it needs from Windows (sockets, timers,
// message boxes, the process-wide discovery values) goes through
// DetectionActions, so the same code runs on the page and under a fake clock.

#include "net/discovery_datagram.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What detection asks of its host, the language-pack page.
class DetectionActions {
public:
    virtual ~DetectionActions() = default;

    // Socket table (the page passes its own window to it).
    virtual bool StartNetworking() = 0;
    virtual void ReadLocalAddresses() = 0;
    virtual int OpenSlot(unsigned message) = 0; // slot number, 0 on failure
    virtual bool CloseSlot(int slot) = 0;
    virtual int ReopenSlot(unsigned message, int oldSlot) = 0; // 0 on failure
    virtual bool SetDestination(int slot, uint32_t addressNetworkOrder) = 0;
    // Writes the header into datagram (DATAGRAM_MAX_SIZE bytes) and sends it.
    virtual bool SendCommand(int slot, uint16_t command, uint16_t sequence, uint8_t* datagram) = 0;
    virtual bool ResendLast(int slot) = 0;
    virtual bool ReceiveDatagram(int slot, uint8_t* datagram) = 0;
    virtual bool GetLastSender(int slot, uint32_t* addressNetworkOrder) = 0;

    // Timers of the page window.
    virtual void SetTimer(unsigned id, unsigned periodMs) = 0;
    virtual void KillTimer(unsigned id) = 0;

    // Message boxes.
    virtual void ShowCommunicationError() = 0; // "Communication Error!..." box
    virtual void ShowRetryMessage() = 0;       // "Please retry this programme again!"

    // Process-wide values shared with the socket table and the action popup.
    virtual void SetActionDone() = 0;
    virtual void SetPerInterfaceBinding(bool on) = 0;
    virtual int BindPosition() = 0;
    virtual void SetBindPosition(int position) = 0;
    virtual void SetFoundInterface(int index) = 0;
    virtual int LocalAddressCount() = 0;
    virtual int32_t SelectedLanguage() = 0; // 1 EN, 2 FR, 3 DE
};

struct DeviceSummary {
    uint32_t deviceAddress = 0; // network byte order: bytes are the dotted numbers in order
    int32_t interfaceIndex = 0; // index of the local address that found the router
};

constexpr unsigned TIMER_START = 100;
constexpr unsigned TIMER_RETRY = 200;
constexpr unsigned TIMER_RESEND = 700;
constexpr unsigned kRetryPeriodMs = 5000;
constexpr unsigned kQueryDelayMs = 2000;
constexpr uint32_t kBroadcastAddress = 0xFFFFFFFFu; // same in either byte order

class DetectionLogic {
public:
    explicit DetectionLogic(DetectionActions& actions) : m_actions(actions) {}
    DetectionLogic(const DetectionLogic&) = delete;
    DetectionLogic& operator=(const DetectionLogic&) = delete;

    // Arms the first search (60000 ms when the page opens, 500 on Detect).
    void StartDetection(unsigned delayMs);
    // Dispatches TIMER_START, TIMER_RETRY and TIMER_RESEND; other ids are not ours.
    void OnTimer(unsigned id);
    void OnDiscoveryReply();
    void OnQueryReply();

    uint16_t NextSequence();
    bool NextTarget();
    bool SendDiscovery();
    void SendQuery(int32_t selectedLanguage);

    // The password the language-pack upload uses, from the kept record.
    std::string UploadPasswordText() const;

    // State, readable by the page (results) and by tests.
    int slot = 0;
    std::array<uint8_t, DATAGRAM_MAX_SIZE> datagram{};
    uint16_t sequence = 0;
    int32_t retriesLeft = 0;
    std::vector<std::string> targetList;
    int32_t targetIndex = -1;
    uint32_t currentTarget = 0; // host byte order; 0 once sent to
    uint32_t expectedSender = kBroadcastAddress;
    std::array<uint8_t, DEVICE_RECORD_SIZE> savedRecord{};
    bool detected = false;
    bool acknowledged = false;
    int queryPhase = 0;
    DeviceSummary deviceSummary;

private:
    void OnStartTick();
    void OnRetryTick();
    void OnResendTick();
    // The discovery start shared by the first tick and the retries; false
    // when no socket could be opened (already reported).
    bool BeginDiscovery(bool freshStage);
    void FailWithoutSocket();
    void EndSearchWithoutDevice();

    DetectionActions& m_actions;
};

// Dotted IPv4 text to a host-order address, as inet_addr reads it for the
// texts we use; anything else gives 0xFFFFFFFF like inet_addr's INADDR_NONE.
uint32_t ParseIPv4HostOrder(const std::string& text);
uint32_t HostToNetwork32(uint32_t host);
