#include "skin/skin_values.h"

#include <climits>

std::string GetFieldText(const std::string& value, int n) {
    if (n < 1)
        n = 1;
    size_t start = 0;
    int counter = 1;
    while (counter < n) {
        size_t comma = value.find(',', start);
        if (comma == std::string::npos)
            return std::string();
        start = comma + 1;
        ++counter;
    }
    size_t end = value.find(',', start);
    return value.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

long AtolLike(const std::string& text) {
    // Always the 32-bit range, so both builds (LP64 and LLP64) agree.
    constexpr int64_t kMax = INT32_MAX;
    constexpr int64_t kMin = INT32_MIN;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kMax + 1) // stop growing well before int64 overflow
            magnitude = kMax + 1;
    }
    int64_t result = negative ? -magnitude : magnitude;
    if (result > kMax)
        result = kMax;
    if (result < kMin)
        result = kMin;
    return static_cast<long>(result);
}

namespace {
uint32_t LowByte(long v) {
    return static_cast<uint32_t>(v) & 0xFFu;
}
} // namespace

uint32_t ParseColour(const std::string& value) {
    uint32_t red = LowByte(AtolLike(GetFieldText(value, 1)));
    uint32_t green = LowByte(AtolLike(GetFieldText(value, 2)));
    uint32_t blue = LowByte(AtolLike(GetFieldText(value, 3)));
    return red | (green << 8) | (blue << 16);
}

PairValue ParsePair(const std::string& value) {
    PairValue pair;
    if (value.empty())
        return pair;
    pair.a = static_cast<int>(AtolLike(GetFieldText(value, 1)));
    pair.b = static_cast<int>(AtolLike(GetFieldText(value, 2)));
    return pair;
}

bool ParseFlag(const std::string& value) {
    return value == "1";
}

FontSizeValue ParseFontSize(const std::string& value, bool given, int commonSize) {
    FontSizeValue size;
    if (!given) {
        size.points = commonSize;
        return size;
    }
    std::string second = GetFieldText(value, 2);
    if (second.empty()) {
        size.points = static_cast<int>(AtolLike(value));
        return size;
    }
    size.width = static_cast<int>(AtolLike(GetFieldText(value, 1)));
    size.height = static_cast<int>(AtolLike(second));
    return size;
}

namespace {
void ReplaceAll(std::string& text, const std::string& from, char to) {
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), 1, to);
        ++pos;
    }
}
} // namespace

std::string ReplaceButtonEscapes(std::string text) {
    ReplaceAll(text, "\\r", '\r');
    ReplaceAll(text, "\\n", '\n');
    return text;
}
