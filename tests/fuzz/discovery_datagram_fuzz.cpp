// Feeds arbitrary datagrams, as anyone on the LAN can send them, to the
// readers of the discovery wire format. Beyond the sanitizers it checks that
// a reply is read into the page's buffer as the page reads it (the bytes
// given, zeros after them), that the upload password never reaches past its
// room in the record (not into the language byte, not past the record), and
// that a request header written over the datagram reads back as written.
#include "tests/fuzz/fuzz_input.h"
#include "net/discovery_datagram.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

uint16_t Le16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

void CheckPassword(const uint8_t* record) {
    const std::string password = UploadPassword(record);
    const size_t room = LANGUAGE_CODE_OFFSET - UPLOAD_PASSWORD_OFFSET;
    Check(password.size() <= room);
    Check(std::memcmp(password.data(), record + UPLOAD_PASSWORD_OFFSET, password.size()) == 0);
    Check(password.find('\0') == std::string::npos);
    // It stops at the first NUL, or fills the room when there is none.
    Check(password.size() == room || record[UPLOAD_PASSWORD_OFFSET + password.size()] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A read fails for an empty datagram or one longer than the buffer.
    if (size == 0 || size > DATAGRAM_MAX_SIZE)
        return 0;

    // The page clears its buffer before each read; the bytes past a short
    // datagram read as zeros.
    std::array<uint8_t, DATAGRAM_MAX_SIZE> datagram{};
    std::copy(data, data + size, datagram.begin());
    auto at = [&](size_t i) -> uint8_t { return i < size ? data[i] : 0; };
    const uint8_t wire[8] = {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7)};

    const DatagramHeader header = ReadHeader(datagram.data());
    Check(header.command == Le16(wire + 0));
    Check(header.status == Le16(wire + 2));
    Check(header.sequence == Le16(wire + 4));
    Check(header.bodyLength == Le16(wire + 6));
    const uint8_t type[2] = {at(8), at(9)};
    Check(RecordType(datagram.data()) == Le16(type));

    // The record as the page keeps it, in a block of exactly its size so a
    // read past it trips the sanitizer.
    auto record = std::make_unique<uint8_t[]>(DEVICE_RECORD_SIZE);
    std::memcpy(record.get(), datagram.data() + DATAGRAM_HEADER_SIZE, DEVICE_RECORD_SIZE);
    Check(LanguageByte(record.get()) == at(DATAGRAM_HEADER_SIZE + LANGUAGE_CODE_OFFSET));
    CheckPassword(record.get());

    // The raw bytes as a record too, when there are enough of them.
    if (size >= DEVICE_RECORD_SIZE) {
        auto raw = std::make_unique<uint8_t[]>(DEVICE_RECORD_SIZE);
        std::memcpy(raw.get(), data + size - DEVICE_RECORD_SIZE, DEVICE_RECORD_SIZE);
        CheckPassword(raw.get());
    }

    // A request header over the received bytes: commands above 3 write
    // nothing, the others write 8 bytes and leave the body alone.
    const uint16_t command = Le16(wire + 0);
    const uint16_t sequence = Le16(wire + 4);
    std::array<uint8_t, DATAGRAM_MAX_SIZE> request = datagram;
    const size_t length = WriteHeader(request.data(), command, sequence);
    if (command > CMD_HIGHEST) {
        Check(length == 0);
        Check(request == datagram);
        return 0;
    }
    Check(length == (command == CMD_QUERY ? DATAGRAM_MAX_SIZE : DATAGRAM_HEADER_SIZE));
    Check(std::equal(request.begin() + DATAGRAM_HEADER_SIZE, request.end(),
                     datagram.begin() + DATAGRAM_HEADER_SIZE));
    const DatagramHeader written = ReadHeader(request.data());
    Check(written.command == command && written.status == 0 && written.sequence == sequence);
    Check(written.bodyLength == length - DATAGRAM_HEADER_SIZE);
    return 0;
}
