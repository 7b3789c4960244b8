#include "net/discovery_datagram.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

using Datagram = std::array<uint8_t, DATAGRAM_MAX_SIZE>;

TEST(DiscoveryDatagram, RequestHeadersAreLittleEndian) {
    struct Case {
        uint16_t command;
        uint16_t sequence;
        size_t sent;
        std::array<uint8_t, 8> bytes;
    } cases[] = {
        {CMD_DISCOVER, 0x1234, 8, {0x00, 0x00, 0x00, 0x00, 0x34, 0x12, 0x00, 0x00}},
        {CMD_QUERY, 10000, 755, {0x01, 0x00, 0x00, 0x00, 0x10, 0x27, 0xEB, 0x02}},
        {2, 1, 8, {0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}},
        {3, 0xFFFF, 8, {0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        Datagram buffer;
        buffer.fill(0xAA);
        ASSERT_EQ(WriteHeader(buffer.data(), c.command, c.sequence), c.sent) << c.command;
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), buffer.begin())) << c.command;
        EXPECT_EQ(buffer[8], 0xAA) << "the body is the caller's";
        DatagramHeader header = ReadHeader(buffer.data());
        EXPECT_EQ(header.command, c.command);
        EXPECT_EQ(header.status, 0);
        EXPECT_EQ(header.sequence, c.sequence);
    }
}

TEST(DiscoveryDatagram, CommandAboveThreeIsRefusedAndNothingWritten) {
    Datagram buffer;
    buffer.fill(0xAA);
    EXPECT_EQ(WriteHeader(buffer.data(), 4, 7), 0u);
    EXPECT_EQ(buffer[0], 0xAA);
}

TEST(DiscoveryDatagram, ReadsReplyFields) {
    Datagram reply{};
    const uint8_t head[] = {0x00, 0x00, 0x01, 0x00, 0xE8, 0x03, 0xEB, 0x02, 0x04, 0x00};
    std::copy(std::begin(head), std::end(head), reply.begin());
    reply[8 + LANGUAGE_CODE_OFFSET] = 2;
    DatagramHeader header = ReadHeader(reply.data());
    EXPECT_EQ(header.status, 1);
    EXPECT_EQ(header.sequence, 1000);
    EXPECT_EQ(header.bodyLength, 747);
    EXPECT_EQ(RecordType(reply.data()), DISCOVERY_REPLY_RECORD_TYPE);
    EXPECT_EQ(LanguageByte(reply.data() + 8), 2);
}

TEST(DiscoveryDatagram, PasswordEndsAtNulOrBeforeTheLanguageByte) {
    std::array<uint8_t, DEVICE_RECORD_SIZE> record{};
    const std::string secret = "s3cret";
    std::copy(secret.begin(), secret.end(), record.begin() + UPLOAD_PASSWORD_OFFSET);
    EXPECT_EQ(UploadPassword(record.data()), "s3cret");

    record.fill(0);
    EXPECT_EQ(UploadPassword(record.data()), "");

    // No NUL anywhere: the text runs to offset 745 and stops. The record sits
    // in an exactly sized heap block so a read past it trips the sanitizer.
    auto exact = std::make_unique<uint8_t[]>(DEVICE_RECORD_SIZE);
    std::fill(exact.get(), exact.get() + DEVICE_RECORD_SIZE, uint8_t{'p'});
    exact[LANGUAGE_CODE_OFFSET] = 'L';
    const std::string text = UploadPassword(exact.get());
    EXPECT_EQ(text, std::string(704, 'p'));
}

} // namespace
