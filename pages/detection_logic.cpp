#include "pages/detection_logic.h"

#include <cstring>

namespace {
constexpr uint16_t kSequenceCeiling = 10000;
constexpr uint16_t kSequenceRestart = 1000;
constexpr int kStageSends = 2; // sends after the first one, per stage
} // namespace

uint32_t ParseIPv4HostOrder(const std::string& text) {
    uint32_t result = 0;
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return 0xFFFFFFFFu;
            ++pos;
        }
        uint32_t value = 0;
        size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return 0xFFFFFFFFu;
        result = (result << 8) | value;
    }
    return pos == text.size() ? result : 0xFFFFFFFFu;
}

uint32_t HostToNetwork32(uint32_t host) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(host >> 24), static_cast<uint8_t>(host >> 16),
                              static_cast<uint8_t>(host >> 8), static_cast<uint8_t>(host)};
    uint32_t network = 0;
    std::memcpy(&network, bytes, sizeof network);
    return network;
}

void DetectionLogic::StartDetection(unsigned delayMs) {
    // What is left of an earlier search stops here: a late reply to it must
    // not be kept for the search that starts now (whose first tick would
    // then wipe the kept record).
    m_actions.KillTimer(TIMER_RETRY);
    m_actions.KillTimer(TIMER_RESEND);
    if (slot != 0) {
        m_actions.CloseSlot(slot);
        slot = 0;
    }
    detected = false;
    queryPhase = 0;
    m_actions.SetTimer(TIMER_START, delayMs);
}

void DetectionLogic::OnTimer(unsigned id) {
    switch (id) {
    case TIMER_START:
        OnStartTick();
        break;
    case TIMER_RETRY:
        OnRetryTick();
        break;
    case TIMER_RESEND:
        OnResendTick();
        break;
    default:
        break;
    }
}

uint16_t DetectionLogic::NextSequence() {
    ++sequence;
    if (sequence > kSequenceCeiling)
        sequence = kSequenceRestart;
    return sequence;
}

void DetectionLogic::FailWithoutSocket() {
    // The search ends here. Its timers stop before the box goes up: the
    // box's message loop would otherwise let them tick into a search that
    // has no socket.
    m_actions.KillTimer(TIMER_RETRY);
    m_actions.KillTimer(TIMER_RESEND);
    m_actions.ShowCommunicationError();
    m_actions.SetActionDone();
}

void DetectionLogic::OnStartTick() {
    m_actions.KillTimer(TIMER_START); // it fires once
    m_actions.SetBindPosition(0);
    sequence = NextSequence();
    if (slot != 0) {
        m_actions.CloseSlot(slot);
        slot = 0;
    }
    if (queryPhase == 1) {
        retriesLeft = kStageSends;
        // The query leaves by the card that heard the router: on a PC with two
        // cards the first one may not reach it at all.
        m_actions.SetBindPosition(deviceSummary.interfaceIndex > 0 ? deviceSummary.interfaceIndex
                                                                   : 0);
        slot = m_actions.OpenSlot(QUERY_REPLY_MSG);
        if (slot == 0) {
            FailWithoutSocket();
            return;
        }
        SendQuery(m_actions.SelectedLanguage()); // no retry timer for the query
        return;
    }
    if (!BeginDiscovery(true))
        return;
    // The box of a failed send lets replies in: one may have found the
    // router meanwhile, and then there is nothing to retry.
    if (detected)
        return;
    // Retries run whether or not the first send went out.
    m_actions.SetTimer(TIMER_RETRY, kRetryPeriodMs);
}

bool DetectionLogic::BeginDiscovery(bool freshStage) {
    m_actions.SetPerInterfaceBinding(true);
    if (freshStage)
        retriesLeft = kStageSends;
    else
        deviceSummary = DeviceSummary();
    targetIndex = -1;
    savedRecord.fill(0);
    targetList.clear();
    targetList.push_back("255.255.255.255");
    m_actions.StartNetworking(); // a failure shows up as a failed OpenSlot
    m_actions.ReadLocalAddresses();
    slot = m_actions.OpenSlot(DISCOVERY_REPLY_MSG);
    if (slot == 0) {
        FailWithoutSocket();
        return false;
    }
    NextTarget();
    SendDiscovery();
    return true;
}

void DetectionLogic::OnRetryTick() {
    if (retriesLeft > 0) {
        --retriesLeft;
        m_actions.CloseSlot(slot);
        m_actions.SetBindPosition(0);
        // Same sequence as the first request; TIMER_RETRY keeps running
        // unless there is no socket to retry on (BeginDiscovery stops it).
        BeginDiscovery(false);
        return;
    }
    const int count = m_actions.LocalAddressCount();
    if (count > 0 && count > m_actions.BindPosition()) {
        // One more stage from the next local address, resending the kept request.
        retriesLeft = kStageSends;
        slot = m_actions.ReopenSlot(DISCOVERY_REPLY_MSG, slot);
        m_actions.KillTimer(TIMER_RETRY);
        if (slot == 0) {
            FailWithoutSocket();
            return;
        }
        m_actions.SetTimer(TIMER_RESEND, kRetryPeriodMs);
        return;
    }
    EndSearchWithoutDevice();
}

void DetectionLogic::OnResendTick() {
    if (retriesLeft > 0) {
        --retriesLeft;
        m_actions.ResendLast(slot);
        return;
    }
    EndSearchWithoutDevice();
}

void DetectionLogic::EndSearchWithoutDevice() {
    m_actions.SetPerInterfaceBinding(false);
    m_actions.KillTimer(TIMER_RETRY);
    m_actions.KillTimer(TIMER_RESEND);
    // The page now says the router was not found, and only Detect searches
    // again: a late reply must not find it behind the user's back.
    if (slot != 0) {
        m_actions.CloseSlot(slot);
        slot = 0;
    }
    m_actions.SetActionDone();
}

bool DetectionLogic::NextTarget() {
    // A cleared buffer makes a short reply read as language byte 0.
    datagram.fill(0);
    ++targetIndex;
    if (targetIndex < 0 || static_cast<size_t>(targetIndex) >= targetList.size())
        return false;
    currentTarget = ParseIPv4HostOrder(targetList[static_cast<size_t>(targetIndex)]);
    return true;
}

bool DetectionLogic::SendDiscovery() {
    if (currentTarget == 0 && !NextTarget())
        return false;
    const uint32_t destination = HostToNetwork32(currentTarget);
    m_actions.SetDestination(slot, destination);
    expectedSender = destination;
    if (!m_actions.SendCommand(slot, CMD_DISCOVER, sequence, datagram.data())) {
        m_actions.ShowCommunicationError();
        return false;
    }
    currentTarget = 0; // this entry is used up
    return true;
}

void DetectionLogic::OnDiscoveryReply() {
    // A message may come from a socket closed since it was posted; with no
    // socket of our own there is nothing to read.
    if (detected || slot == 0)
        return;
    // From a cleared buffer: a short reply reads as zeros past its end, never
    // as bytes of an earlier datagram.
    datagram.fill(0);
    if (!m_actions.ReceiveDatagram(slot, datagram.data()))
        return;
    const DatagramHeader header = ReadHeader(datagram.data());
    if (RecordType(datagram.data()) != DISCOVERY_REPLY_RECORD_TYPE)
        return;
    if (header.command != CMD_DISCOVER || header.sequence != sequence || header.status != 0)
        return;
    uint32_t sender = 0;
    m_actions.GetLastSender(slot, &sender);
    if (expectedSender != kBroadcastAddress && sender != expectedSender)
        return;

    expectedSender = sender;
    deviceSummary.deviceAddress = sender;
    // The receiving socket was the last one bound, at bindPosition - 1.
    const int interfaceIndex = m_actions.BindPosition() - 1;
    m_actions.SetFoundInterface(interfaceIndex);
    deviceSummary.interfaceIndex = interfaceIndex;

    detected = true;
    m_actions.KillTimer(TIMER_RETRY);
    m_actions.KillTimer(TIMER_RESEND);
    m_actions.SetActionDone();
    std::memcpy(savedRecord.data(), datagram.data() + DATAGRAM_HEADER_SIZE, DEVICE_RECORD_SIZE);

    if (LanguageByte(savedRecord.data()) == 0) {
        // The router cannot take a language now: stays detected, no query.
        m_actions.ShowRetryMessage();
        return;
    }
    acknowledged = false;
    queryPhase = 1;
    m_actions.SetTimer(TIMER_START, kQueryDelayMs);
}

void DetectionLogic::SendQuery(int32_t selectedLanguage) {
    savedRecord[LANGUAGE_CODE_OFFSET] = static_cast<uint8_t>(selectedLanguage & 0xFF);
    datagram.fill(0);
    std::memcpy(datagram.data() + DATAGRAM_HEADER_SIZE, savedRecord.data(), DEVICE_RECORD_SIZE);
    m_actions.SetDestination(slot, kBroadcastAddress);
    expectedSender = kBroadcastAddress;
    if (!m_actions.SendCommand(slot, CMD_QUERY, sequence, datagram.data())) {
        m_actions.ShowCommunicationError();
        m_actions.SetActionDone();
    }
}

void DetectionLogic::OnQueryReply() {
    if (acknowledged || slot == 0)
        return;
    // The buffer still holds our own query: a one-byte datagram would read
    // as its header.
    datagram.fill(0);
    if (!m_actions.ReceiveDatagram(slot, datagram.data()))
        return;
    // Only the router that answered the discovery answers for itself.
    uint32_t sender = 0;
    if (!m_actions.GetLastSender(slot, &sender) || sender != deviceSummary.deviceAddress)
        return;
    const DatagramHeader header = ReadHeader(datagram.data());
    if (header.sequence != sequence || header.command != CMD_QUERY)
        return;
    sequence = 0; // no later copy of this reply can match
    if (header.status != 0) {
        m_actions.KillTimer(TIMER_RETRY);
        m_actions.SetActionDone();
        return;
    }
    expectedSender = sender;
    acknowledged = true;
    m_actions.KillTimer(TIMER_RETRY);
    m_actions.KillTimer(TIMER_RESEND);
    m_actions.SetActionDone();
}

std::string DetectionLogic::UploadPasswordText() const {
    return UploadPassword(savedRecord.data());
}
