#pragma once
// The upgrade record: a plain-text account of one run of the wizard for the
// owner to send to a support desk. Each event adds one line as it happens.
// It never holds a password, nor anything a password is made from: only the
// texts and numbers the functions below take go in.
//
// This part is portable (the lines and the file names); the file itself is
// kept by shared/upgrade_record_file.cpp, which installs the sink.
#include <cstdint>
#include <string>
#include <vector>

namespace UpgradeRecord {

// Takes one finished line; called from any thread. Without a sink (tests,
// a record that could not be opened) lines are dropped.
using Sink = void (*)(const std::string& text);
void SetSink(Sink sink);
// A sink is installed: a line is worth making.
bool Kept();

// One event; the sink stamps it with the time since the start.
void Add(const std::string& text);
// A message the user was shown, quoted as shown.
void AddShown(const std::string& text);
// For a thread that no exception may end: the text is made and added, or
// dropped if it cannot be made.
// Nothing is made (a firmware image hashed) while no record is kept.
template <typename MakeText> void AddMade(MakeText makeText) noexcept {
    if (!Kept())
        return;
    try {
        Add(makeText());
    } catch (...) {
    }
}

// "[   12.345] text\r\n": seconds since the run started.
std::string StampedLine(uint64_t msSinceStart, const std::string& text);

// "FirmwareUpdater-20261208-061530.log" for that local time.
std::string FileName(int year, int month, int day, int hour, int minute, int second);
// Of the names in a record folder, the records to delete so that `keep` of
// them are left: the oldest first; names that are not records are left.
std::vector<std::string> RecordsToDelete(std::vector<std::string> names, size_t keep);

// "192.168.1.1" from an address in network byte order.
std::string DottedAddress(uint32_t networkOrder);
// "local addresses: 192.168.1.10, 10.0.0.2" (network byte order).
std::string AddressesLine(const uint32_t* list, int count);
// A discovery datagram sent or received, as the caller read its header and
// device record. The record's upload password is never among them.
struct DatagramSeen {
    const char* direction = "received from"; // or "sent to"
    uint32_t peerNetworkOrder = 0;
    uint16_t command = 0;
    uint16_t status = 0;
    uint16_t sequence = 0;
    uint16_t bodyLength = 0;
    bool hasRecord = false; // the next two are read from the device record
    uint16_t recordType = 0;
    uint8_t languageByte = 0;
};
std::string DatagramLine(const DatagramSeen& seen);

// How one HTTP request ended.
struct RequestAccount {
    std::string what;    // "firmware upload POST http://192.168.1.1/upgrade_flash.cgi"
    uint32_t status = 0; // HTTP status read back; 0 for none
    uint64_t bytesSent = 0;
    uint64_t bytesTotal = 0;
    uint64_t durationMs = 0;
    uint32_t error = 0;  // Windows' error code, 0 for none
    std::string outcome; // what the program made of it
};
std::string RequestLine(const RequestAccount& account);

} // namespace UpgradeRecord
