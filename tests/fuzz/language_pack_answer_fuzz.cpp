// Feeds arbitrary router answers to the language-pack upload's reading of
// them: the answer is assembled from pieces of arbitrary sizes, as the
// poster reads them, then searched for the refusal markers. Beyond the
// sanitizers (every piece sits in a block of exactly its size) it checks that
// the assembled text is the answer up to its first NUL byte, that an answer
// past the limit is refused whole, and that the first marker in the router's
// order decides, wherever it lies in the text.
#include "tests/fuzz/fuzz_input.h"
#include "net/response_text.h"
#include "pages/language_pack_answers.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// In the router's order: the first one found decides.
struct Refusal {
    const char* marker;
    const char* messageStart;
};
const Refusal kRefusals[] = {
    {"AutoUpgradeRet\"value=\"1", "Upgrade file is not the correct type"},
    {"AutoUpgradeRet\"value=\"2", "Firmware upgrade terminated due to insufficient resources"},
    {"AutoUpgradeRet\"value=\"3", "Cannot upload, please contact your administrator."},
};

bool Contains(const std::string& text, const char* marker) {
    const size_t length = std::strlen(marker);
    for (size_t at = 0; at + length <= text.size(); ++at)
        if (std::memcmp(text.data() + at, marker, length) == 0)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // Byte 0: the piece size; byte 1: a small limit, or 0 for the poster's.
    const size_t piece = 1 + data[0] % 64;
    const size_t limit = data[1] ? data[1] * 8u : size_t{1} << 20;
    const char* answer = reinterpret_cast<const char*>(data + 2);
    const size_t length = size - 2;

    ResponseText text(limit);
    size_t taken = 0;
    bool refused = false;
    while (taken < length) {
        const size_t count = length - taken < piece ? length - taken : piece;
        std::unique_ptr<char[]> block(new char[count]);
        std::memcpy(block.get(), answer + taken, count);
        if (!text.Append(block.get(), count)) {
            refused = true;
            break;
        }
        taken += count;
    }
    Check(text.Length() <= limit);
    Check(refused == (length > limit));
    Check(text.Length() == taken);
    if (refused)
        return 0;

    const std::string whole = text.Text();
    const void* nul = std::memchr(answer, '\0', length);
    const size_t expected =
        nul ? static_cast<size_t>(static_cast<const char*>(nul) - answer) : length;
    Check(whole.size() == expected && std::memcmp(whole.data(), answer, expected) == 0);

    const char* message = LanguagePackRefusal(whole);
    const Refusal* first = nullptr;
    for (const Refusal& refusal : kRefusals)
        if (!first && Contains(whole, refusal.marker))
            first = &refusal;
    if (!first)
        Check(message == nullptr);
    else
        Check(message != nullptr &&
              std::strncmp(message, first->messageStart, std::strlen(first->messageStart)) == 0);
    return 0;
}
