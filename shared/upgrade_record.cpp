#include "shared/upgrade_record.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace UpgradeRecord {

namespace {

std::atomic<Sink> g_sink{nullptr};

constexpr char kPrefix[] = "FirmwareUpdater-";
constexpr char kSuffix[] = ".log";
constexpr size_t kStampLength = 15; // YYYYMMDD-HHMMSS

bool IsRecordName(const std::string& name) {
    const size_t prefix = sizeof kPrefix - 1;
    const size_t suffix = sizeof kSuffix - 1;
    if (name.size() != prefix + kStampLength + suffix || name.compare(0, prefix, kPrefix) != 0 ||
        name.compare(prefix + kStampLength, suffix, kSuffix) != 0)
        return false;
    for (size_t i = 0; i < kStampLength; ++i) {
        const char c = name[prefix + i];
        if (i == 8 ? c != '-' : (c < '0' || c > '9'))
            return false;
    }
    return true;
}

// The commands of the discovery exchange (net/discovery_datagram.h).
const char* CommandName(uint16_t command) {
    switch (command) {
    case 0:
        return "discover";
    case 1:
        return "query";
    default:
        return "other";
    }
}

} // namespace

void SetSink(Sink sink) {
    g_sink = sink;
}

bool Kept() {
    return g_sink.load() != nullptr;
}

void Add(const std::string& text) {
    if (Sink sink = g_sink.load())
        sink(text);
}

void AddShown(const std::string& text) {
    AddMade([&] { return "shown to the user: \"" + text + "\""; });
}

std::string StampedLine(uint64_t msSinceStart, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%6" PRIu64 ".%03" PRIu64 "] ", msSinceStart / 1000,
                  msSinceStart % 1000);
    std::string line = stamp;
    // One event is one line: a message's own line breaks are shown as "\n".
    for (const char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line + "\r\n";
}

std::string FileName(int year, int month, int day, int hour, int minute, int second) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%04d%02d%02d-%02d%02d%02d%s", kPrefix, year, month, day,
                  hour, minute, second, kSuffix);
    return name;
}

std::vector<std::string> RecordsToDelete(std::vector<std::string> names, size_t keep) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& name) { return !IsRecordName(name); }),
                names.end());
    // The stamp sorts as text in the order of time.
    std::sort(names.begin(), names.end());
    if (names.size() <= keep)
        return {};
    names.resize(names.size() - keep);
    return names;
}

std::string DottedAddress(uint32_t networkOrder) {
    uint8_t b[4];
    std::memcpy(b, &networkOrder, sizeof b);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

std::string AddressesLine(const uint32_t* list, int count) {
    std::string line = "local addresses:";
    for (int i = 0; i < count; ++i)
        line += (i == 0 ? " " : ", ") + DottedAddress(list[i]);
    return count > 0 ? line : line + " none found";
}

std::string DatagramLine(const DatagramSeen& seen) {
    char text[256];
    int used = std::snprintf(
        text, sizeof text,
        "datagram %s %s: %s (command %u), status %u, sequence %u, body length %u", seen.direction,
        DottedAddress(seen.peerNetworkOrder).c_str(), CommandName(seen.command), seen.command,
        seen.status, seen.sequence, seen.bodyLength);
    if (seen.hasRecord && used > 0 && static_cast<size_t>(used) < sizeof text)
        std::snprintf(text + used, sizeof text - static_cast<size_t>(used),
                      ", record type %u, language byte %u", seen.recordType, seen.languageByte);
    return text;
}

std::string RequestLine(const RequestAccount& account) {
    char text[192];
    std::snprintf(text, sizeof text,
                  ": HTTP status %" PRIu32 ", %" PRIu64 " of %" PRIu64 " bytes sent in %" PRIu64
                  " ms, error %" PRIu32 ", ",
                  account.status, account.bytesSent, account.bytesTotal, account.durationMs,
                  account.error);
    return account.what + text + account.outcome;
}

} // namespace UpgradeRecord
