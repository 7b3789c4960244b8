#pragma once
// Base64 (RFC 4648 alphabet, "=" padding) with the line breaking the router's
// Basic authorisation has always used: CR LF once a line passes
// lineLength - 4 characters, checked after each complete 3-byte group.

#include <cstddef>
#include <cstdint>
#include <string>

// Writes the encoding of length bytes of src and a trailing zero to dst;
// returns the characters written (CR LF included, zero excluded). dst must
// hold Base64EncodedSize(length, lineLength) + 1 bytes. A negative length
// encodes nothing.
int Base64Encode(const uint8_t* src, char* dst, int length, int lineLength);

// Characters Base64Encode produces for length bytes (terminator excluded).
size_t Base64EncodedSize(size_t length, int lineLength);

std::string Base64EncodeToString(const uint8_t* src, size_t length, int lineLength);
