#include "net/upload_form_body.h"

#include "net/base64.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t Len(const char* text) {
    return std::char_traits<char>::length(text);
}

constexpr size_t kHeadFixed =
    Len(kFormDelimiterLine) + Len(kFormFilePartPrefix) + Len(kFormFilePartSuffix);
static_assert(kHeadFixed + Len(kFormTrailer) + 1 == kFormFixedLength,
              "form rows must add up to the fixed length");

constexpr char kContentTypeHeader[] =
    "Content-Type: multipart/form-data; boundary=---------------------------7d53c8371101be\r\n";

uint8_t* Append(uint8_t* at, const void* bytes, size_t count) {
    if (count != 0)
        std::memcpy(at, bytes, count);
    return at + count;
}

bool FormatLine(char* out, size_t cap, const char* format, ...) {
    if (out == nullptr || cap == 0)
        return false;
    va_list args;
    va_start(args, format);
    const int needed = std::vsnprintf(out, cap, format, args);
    va_end(args);
    if (needed < 0 || static_cast<size_t>(needed) >= cap) {
        out[0] = '\0'; // never leave a cut header line behind
        return false;
    }
    return true;
}

} // namespace

size_t UploadFormBodyLength(size_t fileNameLength, size_t dataLength) {
    return kFormFixedLength + fileNameLength + dataLength;
}

bool WriteUploadFormFrame(const std::string& fileName, size_t dataLength, uint8_t* block,
                          size_t capacity, FormBodyLayout* layout) {
    const size_t total = UploadFormBodyLength(fileName.size(), dataLength);
    if (block == nullptr || capacity < total)
        return false;
    uint8_t* at = block;
    at = Append(at, kFormDelimiterLine, Len(kFormDelimiterLine));
    at = Append(at, kFormFilePartPrefix, Len(kFormFilePartPrefix));
    at = Append(at, fileName.data(), fileName.size());
    at = Append(at, kFormFilePartSuffix, Len(kFormFilePartSuffix));
    const size_t fileOffset = static_cast<size_t>(at - block);
    at += dataLength;
    at = Append(at, kFormTrailer, Len(kFormTrailer));
    *at = 0;
    if (layout != nullptr) {
        layout->fileOffset = fileOffset;
        layout->fileLength = dataLength;
        layout->totalLength = total;
    }
    return true;
}

std::vector<uint8_t> BuildUploadFormBody(const std::string& fileName, const uint8_t* data,
                                         size_t length) {
    std::vector<uint8_t> body(UploadFormBodyLength(fileName.size(), length));
    FormBodyLayout layout;
    WriteUploadFormFrame(fileName, length, body.data(), body.size(), &layout);
    if (length != 0)
        std::memcpy(body.data() + layout.fileOffset, data, length);
    return body;
}

std::vector<size_t> ChunkPlan(size_t bodyLength, size_t chunk) {
    std::vector<size_t> sizes;
    if (chunk == 0)
        return sizes;
    while (bodyLength > chunk) {
        sizes.push_back(chunk);
        bodyLength -= chunk;
    }
    if (bodyLength != 0)
        sizes.push_back(bodyLength);
    return sizes;
}

const char* FormContentTypeHeader() {
    return kContentTypeHeader;
}

bool FormatContentLengthHeader(char* out, size_t cap, uint64_t bodyLength) {
    return FormatLine(out, cap, "Content-Length: %llu\r\n",
                      static_cast<unsigned long long>(bodyLength));
}

bool FormatRefererHeader(char* out, size_t cap, const std::string& host) {
    return FormatLine(out, cap, "Referer: http://%s/setup.cgi?next_file=FirmwareUpgrade.htm\r\n",
                      host.c_str());
}

bool FormatAuthorizationHeader(char* out, size_t cap, const std::string& base64Credential) {
    return FormatLine(out, cap, "Authorization: Basic %s\r\n", base64Credential.c_str());
}

bool FormatBasicAuthorizationHeader(char* out, size_t cap, const std::string& user,
                                    const std::string& password) {
    if (!CredentialFits(user, password)) {
        if (out != nullptr && cap != 0)
            out[0] = '\0';
        return false;
    }
    const std::string credential = user + ":" + password;
    const std::string encoded = Base64EncodeToString(
        reinterpret_cast<const uint8_t*>(credential.data()), credential.size(), 128);
    return FormatAuthorizationHeader(out, cap, encoded);
}

bool CredentialFits(const std::string& user, const std::string& password) {
    return user.size() + 1 + password.size() <= kMaxCredentialLength;
}

bool PasswordFits(const std::string& password) {
    return password.size() <= kMaxPasswordLength;
}
