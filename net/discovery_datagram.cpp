#include "net/discovery_datagram.h"

#include <cstring>

namespace {

void PutLe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>(value >> 8);
}

uint16_t GetLe16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

} // namespace

size_t WriteHeader(uint8_t* buffer, uint16_t command, uint16_t sequence) {
    if (command > CMD_HIGHEST)
        return 0;
    const uint16_t bodyLength = command == CMD_QUERY ? DEVICE_RECORD_SIZE : 0;
    PutLe16(buffer + 0, command);
    PutLe16(buffer + 2, 0);
    PutLe16(buffer + 4, sequence);
    PutLe16(buffer + 6, bodyLength);
    return DATAGRAM_HEADER_SIZE + bodyLength;
}

DatagramHeader ReadHeader(const uint8_t* datagram) {
    DatagramHeader header;
    header.command = GetLe16(datagram + 0);
    header.status = GetLe16(datagram + 2);
    header.sequence = GetLe16(datagram + 4);
    header.bodyLength = GetLe16(datagram + 6);
    return header;
}

uint16_t RecordType(const uint8_t* datagram) {
    return GetLe16(datagram + DATAGRAM_HEADER_SIZE + RECORD_TYPE_OFFSET);
}

uint8_t LanguageByte(const uint8_t* record) {
    return record[LANGUAGE_CODE_OFFSET];
}

std::string UploadPassword(const uint8_t* record) {
    // The text may fill the record up to, not including, the language byte.
    const size_t room = LANGUAGE_CODE_OFFSET - UPLOAD_PASSWORD_OFFSET; // bytes 42 to 745
    const char* text = reinterpret_cast<const char*>(record + UPLOAD_PASSWORD_OFFSET);
    const void* nul = std::memchr(text, '\0', room);
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : room;
    return std::string(text, length);
}
