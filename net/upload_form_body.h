#pragma once
// The multipart form both HTTP clients post (firmware and language pack), and
// the request header lines that go with it. Byte-exact: the router's CGI
// parses these texts literally.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Boundary as written in the Content-Type header (27 hyphens) and as the
// delimiter lines of the body write it (29 hyphens).
constexpr const char kFormBoundary[] = "---------------------------7d53c8371101be";
constexpr const char kFormDelimiterLine[] = "-----------------------------7d53c8371101be\r\n";
constexpr const char kFormFilePartPrefix[] =
    "Content-Disposition: form-data; name=\"mtenFWUpload\"; filename=\"";
constexpr const char kFormFilePartSuffix[] = "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
constexpr const char kFormTrailer[] = "\r\n"
                                      "-----------------------------7d53c8371101be\r\n"
                                      "Content-Disposition: form-data; name=\"uploading\"\r\n\r\n"
                                      "no\r\n"
                                      "-----------------------------7d53c8371101be--\r\n";

// Fixed bytes of the body besides the file name and the file: the rows above
// plus the zero byte that ends the body (it is counted and sent).
constexpr size_t kFormFixedLength = 304;

// Every request header line is formatted into a buffer of this size.
constexpr size_t kHeaderLineSize = 128;

size_t UploadFormBodyLength(size_t fileNameLength, size_t dataLength);

// The whole body, with the file bytes copied in.
std::vector<uint8_t> BuildUploadFormBody(const std::string& fileName, const uint8_t* data,
                                         size_t length);

// Where the parts of a body lie inside its block.
struct FormBodyLayout {
    size_t fileOffset = 0; // first byte of the file data
    size_t fileLength = 0;
    size_t totalLength = 0; // Content-Length, trailing zero included
};

// Writes everything except the file bytes into block, so the caller can read
// the file straight into [fileOffset, fileOffset + dataLength). Fails (and
// writes nothing) when capacity is below the body length.
bool WriteUploadFormFrame(const std::string& fileName, size_t dataLength, uint8_t* block,
                          size_t capacity, FormBodyLayout* layout);

// Sizes of the successive writes of a body, 1460 bytes each but the last.
std::vector<size_t> ChunkPlan(size_t bodyLength, size_t chunk = 1460);

// "Content-Type: multipart/form-data; boundary=...\r\n"
const char* FormContentTypeHeader();

// Header line formatters: write the whole line and its terminator into out,
// or return false (out then holds "") when it does not fit in cap bytes.
bool FormatContentLengthHeader(char* out, size_t cap, uint64_t bodyLength);
bool FormatRefererHeader(char* out, size_t cap, const std::string& host);
bool FormatAuthorizationHeader(char* out, size_t cap, const std::string& base64Credential);
// Builds "user:password", encodes it (line length 128) and formats the line.
bool FormatBasicAuthorizationHeader(char* out, size_t cap, const std::string& user,
                                    const std::string& password);

// The credential text "user:password" must stay within 78 characters so that
// its Authorization line fits the 128-byte header buffer.
constexpr size_t kMaxCredentialLength = 78;
constexpr size_t kMaxPasswordLength = 127;
bool CredentialFits(const std::string& user, const std::string& password);
bool PasswordFits(const std::string& password);
