// Feeds arbitrary skin file text to the skin's value conversions: the input
// is one value for the field splitter, numbers, colours, pairs, flags, font
// sizes and button texts, and also a whole Common section read through the
// skin reader's 510-character cut, by a reader that may misreport how much it
// wrote. Beyond the sanitizers each result is compared with a plain
// reference, and values must stay in their ranges: colours in 24 bits, font
// point sizes within the clamp, texts within the cut.
#include "tests/fuzz/fuzz_input.h"
#include "controls/font_points.h"
#include "framework/profile_text.h"
#include "skin/common_section.h"
#include "skin/skin_values.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& value) {
    std::vector<std::string> fields(1);
    for (char c : value) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

std::string Field(const std::string& value, int n) {
    const std::vector<std::string> fields = Split(value);
    const size_t index = n < 1 ? 0 : static_cast<size_t>(n - 1);
    return index < fields.size() ? fields[index] : std::string();
}

long Number(const std::string& text) {
    // strtoll stops at the first NUL as AtolLike stops at any non-digit.
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<long>(value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value);
}

uint32_t Colour(const std::string& value) {
    uint32_t colour = 0;
    for (int n = 1; n <= 3; ++n)
        colour |= (static_cast<uint32_t>(Number(Field(value, n))) & 0xFF) << (8 * (n - 1));
    return colour;
}

std::string Unescape(const std::string& text, char letter, char to) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == letter) {
            out += to;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void CheckValue(const std::string& value, int n, bool given, int commonSize) {
    const std::vector<std::string> fields = Split(value);
    auto FieldOf = [&](int k) {
        const size_t index = k < 1 ? 0 : static_cast<size_t>(k - 1);
        return index < fields.size() ? fields[index] : std::string();
    };
    Check(GetFieldText(value, n) == FieldOf(n));
    Check(AtolLike(value) == Number(value));
    const uint32_t colour = ParseColour(value);
    uint32_t expected = 0;
    for (int k = 1; k <= 3; ++k)
        expected |= (static_cast<uint32_t>(Number(FieldOf(k))) & 0xFF) << (8 * (k - 1));
    Check(colour <= 0xFFFFFF && colour == expected);

    const PairValue pair = ParsePair(value);
    if (value.empty())
        Check(pair.a == -1 && pair.b == -1);
    else
        Check(pair.a == Number(FieldOf(1)) && pair.b == Number(FieldOf(2)));
    Check(ParseFlag(value) == (value == "1"));

    const FontSizeValue size = ParseFontSize(value, given, commonSize);
    if (!given)
        Check(size.points == commonSize && size.width == -1 && size.height == -1);
    else if (FieldOf(2).empty())
        Check(size.points == Number(value) && size.width == -1 && size.height == -1);
    else
        Check(size.points == -1 && size.width == Number(FieldOf(1)) &&
              size.height == Number(FieldOf(2)));
    const int points = ClampFontPoints(size.points);
    Check(points >= -kMaxFontPoints && points <= kMaxFontPoints);
    Check(points == size.points || std::abs(static_cast<long long>(size.points)) > kMaxFontPoints);

    Check(ReplaceButtonEscapes(value) == Unescape(Unescape(value, 'r', '\r'), 'n', '\n'));
}

// The section as the system's reader would see it: "key=value" lines, key
// names without regard to case, the first line of a key counts.
struct SectionText {
    std::vector<std::pair<std::string, std::string>> lines;

    explicit SectionText(const std::string& text) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(start, end - start);
            const size_t equals = line.find('=');
            if (equals != std::string::npos) {
                std::string value = line.substr(equals + 1);
                value = value.substr(0, value.find('\0')); // a text ends at NUL
                lines.emplace_back(line.substr(0, equals), value);
            }
            start = end + 1;
        }
    }

    const std::string* Find(const char* key) const {
        for (const auto& line : lines)
            if (line.first.size() == std::strlen(key) &&
                std::equal(line.first.begin(), line.first.end(), key, [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                }))
                return &line.second;
        return nullptr;
    }
};

void CheckCommonSection(const std::string& text, uint8_t lie) {
    const SectionText section(text);
    const SkinValueRead read = [&](const char* key, std::string* value) {
        const std::string* stored = section.Find(key);
        // The system's reader: at most size - 1 characters and a
        // terminator, and the count, which a lying reader overstates.
        *value = ReadCutProfileText([&](char* buffer, size_t size) -> size_t {
            const std::string held = stored ? *stored : std::string();
            const size_t count = held.size() < size - 1 ? held.size() : size - 1;
            std::memcpy(buffer, held.data(), count);
            buffer[count] = '\0';
            return lie ? count + lie * 97u : count;
        });
        return !value->empty();
    };
    CommonSection common;
    ReadCommonSection(read, &common);

    // Each key's value as the skin reader gets it: cut to 510 characters.
    auto given = [&](const char* key, std::string* value) {
        const std::string* stored = section.Find(key);
        *value = stored ? stored->substr(0, 510) : std::string();
        return !value->empty();
    };
    const CommonSection defaults;
    std::string value;
    Check(common.textColor == (given("TextColor", &value) ? Colour(value) : defaults.textColor));
    Check(common.fontName == (given("FontName", &value) ? value : defaults.fontName));
    Check(common.fontName.size() <= 510);
    Check(common.fontSize == (given("FontSize", &value) ? Number(value) : defaults.fontSize));
    Check(common.fontWeight == (given("FontWeight", &value) ? Number(value) : defaults.fontWeight));
    Check(common.transparent == (given("Transparent", &value) ? value == "1" : true));
    Check(common.bkColor == (given("BkColor", &value) ? Colour(value) : defaults.bkColor));
    Check(common.activeColor ==
          (given("ActiveColor", &value) ? Colour(value) : defaults.activeColor));
    Check(common.noActiveColor ==
          (given("NoActiveColor", &value) ? Colour(value) : defaults.noActiveColor));
    if (given("ClickOffset", &value))
        Check(common.clickOffsetX == Number(Field(value, 1)) &&
              common.clickOffsetY == Number(Field(value, 2)));
    else
        Check(common.clickOffsetX == 2 && common.clickOffsetY == 2);
    for (uint32_t colour :
         {common.textColor, common.bkColor, common.activeColor, common.noActiveColor})
        Check(colour <= 0xFFFFFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // Byte 0: the field number (signed); byte 1: whether a font size is
    // given, the common size and how much the reader overstates.
    const int n = static_cast<int8_t>(data[0]);
    const bool given = (data[1] & 1) != 0;
    const int commonSize = (data[1] & 2) ? INT_MAX : data[1] >> 2;
    const uint8_t lie = data[1] >> 5;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    CheckValue(text, n, given, commonSize);
    CheckCommonSection(text, lie);
    return 0;
}
