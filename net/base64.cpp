#include "net/base64.h"

#include <vector>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Complete groups between two line breaks: the first count of 4 * k that
// exceeds lineLength - 4.
size_t GroupsPerLine(int lineLength) {
    const long long limit = static_cast<long long>(lineLength) - 4;
    if (limit < 4)
        return 1;
    return static_cast<size_t>(limit / 4 + 1);
}

} // namespace

int Base64Encode(const uint8_t* src, char* dst, int length, int lineLength) {
    if (length < 0)
        length = 0;
    // Wider than int: lineLength - 4 must not overflow for the smallest
    // line lengths.
    const long long lineLimit = static_cast<long long>(lineLength) - 4;
    int written = 0;
    int lineCount = 0;
    int i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint8_t b0 = src[i], b1 = src[i + 1], b2 = src[i + 2];
        dst[written++] = kAlphabet[b0 >> 2];
        dst[written++] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        dst[written++] = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        dst[written++] = kAlphabet[b2 & 63];
        lineCount += 4;
        if (lineCount > lineLimit) {
            dst[written++] = '\r';
            dst[written++] = '\n';
            lineCount = 0;
        }
    }
    const int left = length - i;
    if (left == 1) {
        const uint8_t b0 = src[i];
        dst[written++] = kAlphabet[b0 >> 2];
        dst[written++] = kAlphabet[(b0 & 3) << 4];
        dst[written++] = '=';
        dst[written++] = '=';
    } else if (left == 2) {
        const uint8_t b0 = src[i], b1 = src[i + 1];
        dst[written++] = kAlphabet[b0 >> 2];
        dst[written++] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        dst[written++] = kAlphabet[(b1 & 15) << 2];
        dst[written++] = '=';
    }
    dst[written] = '\0';
    return written;
}

size_t Base64EncodedSize(size_t length, int lineLength) {
    const size_t groups = length / 3;
    const size_t padded = length % 3 != 0 ? 4 : 0;
    return groups * 4 + padded + 2 * (groups / GroupsPerLine(lineLength));
}

std::string Base64EncodeToString(const uint8_t* src, size_t length, int lineLength) {
    // Base64Encode counts in int; larger inputs are not ours to send.
    if (length > static_cast<size_t>(INT32_MAX / 2))
        return std::string();
    std::vector<char> buffer(Base64EncodedSize(length, lineLength) + 1);
    int written = Base64Encode(src, buffer.data(), static_cast<int>(length), lineLength);
    return std::string(buffer.data(), static_cast<size_t>(written));
}
