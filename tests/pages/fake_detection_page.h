// The language-pack page's side of detection, faked: a socket table whose
// sockets queue the datagrams that arrive on them, timers on a fake clock,
// message boxes and the process-wide values, all recorded for the detection
// tests and the detection fuzzer to look at.
#pragma once

#include "pages/detection_logic.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <vector>

inline uint32_t Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    // Network byte order as it lies in memory, read back on this host.
    return HostToNetwork32((uint32_t{a} << 24) | (uint32_t{b} << 16) | (uint32_t{c} << 8) | d);
}

struct SentDatagram {
    uint64_t timeMs;
    int slot;
    int boundInterface; // -1: not bound
    uint32_t destination;
    std::vector<uint8_t> bytes;
};

struct ArrivedDatagram {
    std::vector<uint8_t> bytes;
    uint32_t sender = 0;
};

struct FakeSlot {
    unsigned message = 0;
    int boundInterface = -1;
    uint32_t destination = 0;
    std::vector<uint8_t> last;
    uint32_t lastSender = 0;
    std::vector<ArrivedDatagram> arrived; // waiting on the socket, in order
};

class FakePage : public DetectionActions {
public:
    // Set-up.
    int localAddresses = 2;
    bool failOpen = false;
    int failOpenFromCall = 0; // OpenSlot calls from this number on fail; 0: none
    bool failSend = false;
    int32_t language = 2;
    // Run while a message box is up: the box's own message loop still hands
    // the page its timers and socket messages.
    std::function<void()> whileMessageBoxUp;
    // Told of every SendCommand before it goes out.
    std::function<void(uint16_t command)> beforeSend;

    // Observations.
    uint64_t now = 0;
    std::vector<SentDatagram> sent;
    int communicationErrors = 0;
    int retryMessages = 0;
    bool actionDone = false;
    std::optional<uint64_t> actionDoneAt;
    bool perInterfaceBinding = false;
    int bindPosition = 0;
    int foundInterface = -7;
    std::map<int, FakeSlot> slots;
    int openCalls = 0;
    int badSlotCalls = 0; // calls naming a slot that is not open

    // A datagram for the next ReceiveDatagram on any open slot, ahead of
    // those queued on the slot's socket.
    std::vector<uint8_t> incoming;
    uint32_t incomingSender = 0;

    struct Timer {
        unsigned period;
        uint64_t due;
    };
    std::map<unsigned, Timer> timers;

    bool StartNetworking() override { return true; }
    void ReadLocalAddresses() override {}
    int OpenSlot(unsigned message) override {
        ++openCalls;
        if (failOpen || (failOpenFromCall > 0 && openCalls >= failOpenFromCall))
            return 0;
        int number = 1;
        while (slots.count(number))
            ++number;
        FakeSlot slot;
        slot.message = message;
        if (perInterfaceBinding && bindPosition < localAddresses &&
            (message == DISCOVERY_REPLY_MSG || message == QUERY_REPLY_MSG))
            slot.boundInterface = bindPosition++;
        slots[number] = slot;
        return number;
    }
    // The open slot, or null (counted) as the real table refuses it.
    FakeSlot* Find(int slot) {
        auto it = slots.find(slot);
        if (it == slots.end()) {
            ++badSlotCalls;
            return nullptr;
        }
        return &it->second;
    }
    bool CloseSlot(int slot) override { return Find(slot) && slots.erase(slot) == 1; }
    int ReopenSlot(unsigned message, int oldSlot) override {
        const FakeSlot* old = Find(oldSlot);
        if (!old)
            return 0;
        FakeSlot kept = *old;
        CloseSlot(oldSlot);
        int number = OpenSlot(message);
        if (number != 0) {
            slots[number].destination = kept.destination;
            slots[number].last = kept.last;
        }
        return number;
    }
    bool SetDestination(int slot, uint32_t address) override {
        FakeSlot* s = Find(slot);
        if (!s)
            return false;
        s->destination = address;
        if (address == kBroadcastAddress && !perInterfaceBinding)
            s->boundInterface = foundInterface; // the socket is re-created there
        return true;
    }
    bool SendCommand(int slot, uint16_t command, uint16_t sequence, uint8_t* datagram) override {
        FakeSlot* s = Find(slot);
        if (!s)
            return false;
        if (beforeSend)
            beforeSend(command);
        size_t length = WriteHeader(datagram, command, sequence);
        if (failSend || length == 0)
            return false;
        s->last.assign(datagram, datagram + length);
        sent.push_back({now, slot, s->boundInterface, s->destination, s->last});
        return true;
    }
    bool ResendLast(int slot) override {
        FakeSlot* s = Find(slot);
        if (!s)
            return false;
        sent.push_back({now, slot, s->boundInterface, s->destination, s->last});
        return true;
    }
    bool ReceiveDatagram(int slot, uint8_t* datagram) override {
        FakeSlot* s = Find(slot);
        if (!s)
            return false;
        ArrivedDatagram next;
        if (!incoming.empty()) {
            next.bytes.swap(incoming);
            next.sender = incomingSender;
        } else if (!s->arrived.empty()) {
            next = std::move(s->arrived.front());
            s->arrived.erase(s->arrived.begin());
        } else {
            return false; // nothing waiting: the read would block
        }
        // Longer than the buffer: the read fails and the datagram is gone.
        if (next.bytes.empty() || next.bytes.size() > DATAGRAM_MAX_SIZE)
            return false;
        std::copy(next.bytes.begin(), next.bytes.end(), datagram); // leaves the rest as it was
        s->lastSender = next.sender;
        return true;
    }
    bool GetLastSender(int slot, uint32_t* address) override {
        const FakeSlot* s = Find(slot);
        if (!s)
            return false;
        *address = s->lastSender;
        return true;
    }
    void SetTimer(unsigned id, unsigned periodMs) override {
        timers[id] = {periodMs, now + periodMs};
    }
    void KillTimer(unsigned id) override { timers.erase(id); }
    void ShowCommunicationError() override {
        ++communicationErrors;
        if (whileMessageBoxUp)
            whileMessageBoxUp();
    }
    void ShowRetryMessage() override {
        ++retryMessages;
        if (whileMessageBoxUp)
            whileMessageBoxUp();
    }
    void SetActionDone() override {
        actionDone = true;
        if (!actionDoneAt)
            actionDoneAt = now;
    }
    void SetPerInterfaceBinding(bool on) override { perInterfaceBinding = on; }
    int BindPosition() override { return bindPosition; }
    void SetBindPosition(int position) override { bindPosition = position; }
    void SetFoundInterface(int index) override { foundInterface = index; }
    int LocalAddressCount() override { return localAddresses; }
    int32_t SelectedLanguage() override { return language; }

    // The timer due first, or null when none runs.
    const unsigned* NextTimer() const {
        auto next = timers.end();
        for (auto it = timers.begin(); it != timers.end(); ++it)
            if (next == timers.end() || it->second.due < next->second.due)
                next = it;
        return next == timers.end() ? nullptr : &next->first;
    }
    // Fires the timer due first, as the window would; false when none runs.
    bool FireNextTimer(DetectionLogic& logic) {
        const unsigned* id = NextTimer();
        if (!id)
            return false;
        const unsigned timer = *id;
        Timer& due = timers.at(timer);
        now = std::max(now, due.due);
        due.due = now + due.period;
        logic.OnTimer(timer);
        return true;
    }
    // Fires due timers in time order up to `until`.
    void RunUntil(DetectionLogic& logic, uint64_t until) {
        for (;;) {
            const unsigned* id = NextTimer();
            if (!id || timers.at(*id).due > until)
                break;
            FireNextTimer(logic);
        }
        now = std::max(now, until);
    }
};
