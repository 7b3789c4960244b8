// Feeds arbitrary MSG.ini bytes to the INI reader's reading of a value: the
// buffer starts at 512 characters and grows by 512 while the value may have
// been cut. The system's reader is modelled here over the file's bytes, and
// may overstate how much it wrote. Beyond the sanitizers (a count beyond the
// buffer must never be believed) it checks that every value comes back whole
// (or cut at the growth bound) and that the buffer grew exactly as often as
// the value's length asks.
#include "tests/fuzz/fuzz_input.h"
#include "framework/profile_text.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool SameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The value of key in section: "[section]" lines open a section, the first
// "key=value" line of the key counts, a value ends at CR, LF or NUL.
std::string Lookup(const std::string& file, const char* section, const char* key) {
    bool inSection = false;
    size_t start = 0;
    while (start < file.size()) {
        size_t end = file.find('\n', start);
        if (end == std::string::npos)
            end = file.size();
        const std::string line = file.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            const size_t close = line.find(']');
            inSection = close != std::string::npos && SameName(line.substr(1, close - 1), section);
            continue;
        }
        const size_t equals = line.find('=');
        if (inSection && equals != std::string::npos && SameName(line.substr(0, equals), key)) {
            const std::string value = line.substr(equals + 1);
            return value.substr(0, value.find_first_of(std::string("\r\0", 2)));
        }
    }
    return std::string();
}

const char* const kKeys[] = {"FillIP", "FW_FileName", "Retry", "Connection"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // Byte 0: how much the reader overstates (0: it tells the truth), and
    // whether the growth stops at a small bound.
    const uint8_t lie = data[0] & 0x3F;
    ProfileGrowth growth;
    if (lie != 0 || (data[0] & 0x40))
        growth.limit = 512 * (2 + (data[0] >> 6)); // a liar would grow it to the end
    const std::string file(reinterpret_cast<const char*>(data + 1), size - 1);

    for (const char* key : kKeys) {
        const std::string value = Lookup(file, "MSG", key);
        int reads = 0;
        const ProfileRead read = [&](char* buffer, size_t capacity) -> size_t {
            ++reads;
            const size_t count = value.size() < capacity - 1 ? value.size() : capacity - 1;
            std::memcpy(buffer, value.data(), count);
            buffer[count] = '\0';
            return lie == 0 ? count : lie == 1 ? SIZE_MAX : count + lie * 61u;
        };
        size_t finalSize = 0;
        const std::string got = ReadWholeProfileText(read, &finalSize, growth);

        // The smallest size that holds the value with its terminator, unless
        // the bound comes first.
        size_t expectedSize = growth.step;
        while (value.size() + 1 >= expectedSize && expectedSize < growth.limit)
            expectedSize += growth.step;
        if (lie == 0)
            Check(finalSize == expectedSize);
        Check(finalSize <= growth.limit + growth.step);
        Check(reads == static_cast<int>(finalSize / growth.step));
        const size_t kept = value.size() < finalSize - 1 ? value.size() : finalSize - 1;
        Check(got == value.substr(0, kept));
    }
    return 0;
}
