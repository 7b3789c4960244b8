#pragma once
// Wire format of the router discovery exchange on UDP port 916: an 8-byte
// little-endian header, followed in query requests and discovery replies by
// the router's 747-byte device record.

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint16_t DISCOVERY_PORT = 916;

constexpr uint16_t CMD_DISCOVER = 0;
constexpr uint16_t CMD_QUERY = 1;
constexpr uint16_t CMD_HIGHEST = 3; // commands 2 and 3 exist but carry no body

constexpr size_t DATAGRAM_HEADER_SIZE = 8;
constexpr size_t DEVICE_RECORD_SIZE = 747;
constexpr size_t DATAGRAM_MAX_SIZE = DATAGRAM_HEADER_SIZE + DEVICE_RECORD_SIZE; // 755

// Offsets inside the device record (add DATAGRAM_HEADER_SIZE for the datagram).
constexpr size_t RECORD_TYPE_OFFSET = 0;
constexpr size_t UPLOAD_PASSWORD_OFFSET = 42;
constexpr size_t LANGUAGE_CODE_OFFSET = 746;
constexpr uint16_t DISCOVERY_REPLY_RECORD_TYPE = 4;

// Window messages that announce a datagram on the discovery and the query
// socket of the language-pack page.
constexpr unsigned DISCOVERY_REPLY_MSG = 1124;
constexpr unsigned QUERY_REPLY_MSG = 1125;

// Failures of the socket table, kept in its last-error value beside the
// Winsock codes (which are all positive).
constexpr int DD_ERR_NOT_STARTED = -100;
constexpr int DD_ERR_BAD_SLOT = -102;
constexpr int DD_ERR_NO_FREE_SLOT = -103;
constexpr int DD_ERR_NO_MEMORY = -104;

struct DatagramHeader {
    uint16_t command = 0;
    uint16_t status = 0;
    uint16_t sequence = 0;
    uint16_t bodyLength = 0;
};

// Writes a request header (status 0, body length 747 for a query, else 0)
// into the first 8 bytes of a DATAGRAM_MAX_SIZE buffer and returns the bytes
// to send: 755 for a query, 8 otherwise, 0 (nothing written) for a command
// above CMD_HIGHEST.
size_t WriteHeader(uint8_t* buffer, uint16_t command, uint16_t sequence);

// Reads the header of a datagram of at least 8 bytes.
DatagramHeader ReadHeader(const uint8_t* datagram);

// Record type of the record carried by a DATAGRAM_MAX_SIZE buffer.
uint16_t RecordType(const uint8_t* datagram);

// The language byte of a DEVICE_RECORD_SIZE record.
uint8_t LanguageByte(const uint8_t* record);

// The upload password text of a record: from offset 42 to the first NUL, or
// up to and including offset 745 when there is none (never the language
// byte, never past the record).
std::string UploadPassword(const uint8_t* record);
