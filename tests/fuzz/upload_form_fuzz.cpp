// Feeds arbitrary file names, file bytes, credentials, line lengths and
// buffer sizes to the formatters of what goes to the router: the Base64
// encoder, the multipart form body, the request header lines and the upload
// request block. Beyond the sanitizers (every output lies in a block of
// exactly the size the caller would give) it checks that
//  - Base64 decodes back to its input with a reference decoder, its length
//    and its line breaks are the ones the size formula gives;
//  - the form body has the length 304 + name + data and its rows in order,
//    and a frame refused for want of room writes nothing;
//  - a header line is written whole or not at all, never past its buffer;
//  - the upload request block takes every text whole or none.
#include "tests/fuzz/fuzz_input.h"
#include "net/base64.h"
#include "net/upload_form_body.h"
#include "net/upload_request.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

int DecodeChar(char c) {
    static const std::array<int8_t, 256> kValues = [] {
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::array<int8_t, 256> values;
        values.fill(-1);
        for (int i = 0; i < 64; ++i)
            values[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
        return values;
    }();
    return kValues[static_cast<unsigned char>(c)];
}

// Decodes text without line breaks; false for anything that is not Base64.
bool Decode(const std::string& text, std::string* out) {
    if (text.size() % 4 != 0)
        return false;
    out->clear();
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pads = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pads;
            } else if (pads != 0 || (v[k] = DecodeChar(c)) < 0) {
                return false;
            }
        }
        const uint32_t group = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out->push_back(static_cast<char>(group >> 16));
        if (pads < 2)
            out->push_back(static_cast<char>(group >> 8));
        if (pads < 1)
            out->push_back(static_cast<char>(group));
    }
    return true;
}

// Groups between line breaks: the first count of 4 * k that exceeds
// lineLength - 4, at least one.
long long GroupsPerLine(int lineLength) {
    const long long limit = static_cast<long long>(lineLength) - 4;
    return limit < 4 ? 1 : limit / 4 + 1;
}

void CheckBase64(const std::string& bytes, int lineLength) {
    const size_t size = Base64EncodedSize(bytes.size(), lineLength);
    std::unique_ptr<char[]> out(new char[size + 1]);
    const int written = Base64Encode(reinterpret_cast<const uint8_t*>(bytes.data()), out.get(),
                                     static_cast<int>(bytes.size()), lineLength);
    Check(written >= 0 && static_cast<size_t>(written) == size && out[size] == '\0');
    const std::string text(out.get(), size);
    Check(Base64EncodeToString(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                               lineLength) == text);

    // CR LF after every GroupsPerLine complete groups, nowhere else.
    const long long perLine = GroupsPerLine(lineLength);
    const size_t groups = bytes.size() / 3;
    std::string plain;
    size_t at = 0;
    for (size_t group = 1; group <= groups; ++group) {
        plain.append(text, at, 4);
        at += 4;
        if (group % perLine == 0) {
            Check(text.compare(at, 2, "\r\n") == 0);
            at += 2;
        }
    }
    plain.append(text, at, std::string::npos);
    Check(plain.find_first_of("\r\n") == std::string::npos);
    std::string decoded;
    Check(Decode(plain, &decoded) && decoded == bytes);
}

void CheckFormBody(const std::string& name, const std::string& data) {
    const std::vector<uint8_t> body =
        BuildUploadFormBody(name, reinterpret_cast<const uint8_t*>(data.data()), data.size());
    Check(body.size() == 304 + name.size() + data.size());
    Check(body.size() == UploadFormBodyLength(name.size(), data.size()));
    const std::string head =
        std::string(kFormDelimiterLine) + kFormFilePartPrefix + name + kFormFilePartSuffix;
    const std::string expected = head + data + kFormTrailer + std::string(1, '\0');
    Check(body.size() == expected.size() &&
          std::memcmp(body.data(), expected.data(), body.size()) == 0);

    // The frame alone, in a block of exactly its size, and refused in one
    // byte less without a byte written.
    const size_t total = body.size();
    std::unique_ptr<uint8_t[]> block(new uint8_t[total]);
    std::memset(block.get(), 0xA5, total);
    FormBodyLayout layout;
    Check(WriteUploadFormFrame(name, data.size(), block.get(), total, &layout));
    Check(layout.fileOffset == head.size() && layout.fileLength == data.size() &&
          layout.totalLength == total);
    Check(std::memcmp(block.get(), body.data(), head.size()) == 0);
    Check(std::memcmp(block.get() + head.size() + data.size(),
                      body.data() + head.size() + data.size(),
                      total - head.size() - data.size()) == 0);
    std::unique_ptr<uint8_t[]> small(new uint8_t[total - 1]);
    std::memset(small.get(), 0xA5, total - 1);
    Check(!WriteUploadFormFrame(name, data.size(), small.get(), total - 1, &layout));
    for (size_t i = 0; i < total - 1; ++i)
        Check(small[i] == 0xA5);
}

void CheckChunkPlan(size_t length, size_t chunk) {
    const std::vector<size_t> plan = ChunkPlan(length, chunk);
    size_t sum = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        Check(plan[i] > 0 && plan[i] <= chunk);
        Check(i + 1 == plan.size() || plan[i] == chunk);
        sum += plan[i];
    }
    Check(sum == length);
}

// A header line into a block of exactly cap bytes: whole, or "" and false.
template <class Format> void CheckLine(size_t cap, const std::string& expected, Format format) {
    std::unique_ptr<char[]> out(new char[cap ? cap : 1]);
    std::memset(out.get(), 'X', cap ? cap : 1);
    const bool ok = format(cap ? out.get() : nullptr, cap);
    const bool fits = expected.size() < cap;
    Check(ok == fits);
    if (ok)
        Check(std::strcmp(out.get(), expected.c_str()) == 0);
    else if (cap != 0)
        Check(out[0] == '\0');
}

void CheckHeaders(size_t cap, uint64_t length, const std::string& host, const std::string& user,
                  const std::string& password) {
    CheckLine(cap, "Content-Length: " + std::to_string(length) + "\r\n",
              [&](char* out, size_t c) { return FormatContentLengthHeader(out, c, length); });
    // The texts go through %s: they end at their first NUL.
    const std::string hostText = host.c_str();
    CheckLine(cap, "Referer: http://" + hostText + "/setup.cgi?next_file=FirmwareUpgrade.htm\r\n",
              [&](char* out, size_t c) { return FormatRefererHeader(out, c, host); });

    std::unique_ptr<char[]> out(new char[cap ? cap : 1]);
    const bool ok = FormatBasicAuthorizationHeader(cap ? out.get() : nullptr, cap, user, password);
    const std::string credential = user + ":" + password;
    Check(!ok || CredentialFits(user, password));
    if (!CredentialFits(user, password)) {
        Check(credential.size() > kMaxCredentialLength);
        return;
    }
    const std::string encoded = Base64EncodeToString(
        reinterpret_cast<const uint8_t*>(credential.data()), credential.size(), 128);
    CheckLine(cap, "Authorization: Basic " + encoded + "\r\n", [&](char* o, size_t c) {
        return FormatBasicAuthorizationHeader(o, c, user, password);
    });
    if (ok) {
        // It decodes back to the credential: what the router's server reads.
        const std::string line(out.get());
        const std::string prefix = "Authorization: Basic ";
        Check(line.compare(0, prefix.size(), prefix) == 0);
        std::string decoded;
        Check(Decode(line.substr(prefix.size(), line.size() - prefix.size() - 2), &decoded));
        Check(decoded == credential);
    }
}

void CheckUploadRequest(const std::string& path, const std::string& host,
                        const std::string& password) {
    UploadRequest request;
    std::memset(&request, 'X', sizeof request);
    const bool ok = FillUploadRequest(&request, path.c_str(), host.c_str(), password.c_str());
    const std::string p = path.c_str(), h = host.c_str(), w = password.c_str();
    Check(ok == (p.size() < sizeof request.path && h.size() < sizeof request.host &&
                 w.size() < sizeof request.password));
    if (ok) {
        Check(p == request.path && h == request.host && w == request.password);
        Check(std::strcmp(request.object, kFirmwareUploadObject) == 0);
    } else {
        const UploadRequest empty{};
        Check(std::memcmp(&request, &empty, sizeof request) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    // Line length: small, negative and extreme values are all allowed.
    const int lineLength = static_cast<int>(in.Word32());
    const size_t cap = in.Byte() | (static_cast<size_t>(in.Byte() & 1) << 8);
    const uint64_t contentLength = uint64_t{in.Word32()} << (in.Byte() & 31);
    const size_t nameLength = in.Byte();
    const size_t userLength = in.Byte() % 96;
    const size_t chunk = 1 + in.Byte() % 32;
    const std::string name = in.Text(nameLength);
    const std::string user = in.Text(userLength);
    const std::string rest = in.Rest();

    CheckBase64(rest, lineLength);
    CheckFormBody(name, rest);
    CheckChunkPlan(UploadFormBodyLength(name.size(), rest.size()), chunk);
    CheckHeaders(cap, contentLength, name, user, rest.substr(0, 128));
    CheckUploadRequest(rest, name, user + user + user);
    return 0;
}
