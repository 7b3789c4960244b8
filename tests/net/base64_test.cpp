#include "net/base64.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

std::string Encode(const std::string& text, int lineLength = 128) {
    return Base64EncodeToString(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                lineLength);
}

TEST(Base64Encode, MatchesTheStandardVectors) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"abc", "YWJj"},
        {"ab", "YWI="},
        {"a", "YQ=="},
        {"admin:password", "YWRtaW46cGFzc3dvcmQ="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Encode(c.in), c.out) << c.in;
}

TEST(Base64Encode, ReturnsCharacterCountAndTerminates) {
    char out[16];
    std::fill(std::begin(out), std::end(out), 'X');
    EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>("abc"), out, 3, 128), 4);
    EXPECT_STREQ(out, "YWJj");
    EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>(""), out, 0, 128), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>("x"), out, -3, 128), 0);
}

TEST(Base64Encode, BreaksLineAfter128CharactersEvenAtTheEnd) {
    std::vector<uint8_t> data(96, 0xA5);
    std::vector<char> out(200);
    ASSERT_EQ(Base64Encode(data.data(), out.data(), 96, 128), 130);
    EXPECT_EQ(std::string(out.data() + 128), "\r\n");

    // A padded last group never gets a line break after it.
    data.push_back(1);
    std::string text = Base64EncodeToString(data.data(), data.size(), 128);
    ASSERT_EQ(text.size(), 134u);
    EXPECT_EQ(text.substr(128, 2), "\r\n");
    EXPECT_EQ(text.back(), '=');
}

TEST(Base64EncodedSize, AgreesWithTheEncoderForManyLengths) {
    std::vector<uint8_t> data(400, 0x5A);
    std::vector<char> out(1024, 'X');
    for (int lineLength : {INT_MIN, -1, 0, 3, 4, 7, 8, 9, 16, 76, 128, INT_MAX}) {
        for (int length = 0; length <= 400; ++length) {
            const size_t expected = Base64EncodedSize(static_cast<size_t>(length), lineLength);
            ASSERT_LT(expected, out.size());
            out[expected + 1] = 'X';
            int written = Base64Encode(data.data(), out.data(), length, lineLength);
            ASSERT_EQ(static_cast<size_t>(written), expected)
                << "length " << length << " line " << lineLength;
            ASSERT_EQ(out[expected + 1], 'X') << "wrote past the terminator";
        }
    }
}

} // namespace
