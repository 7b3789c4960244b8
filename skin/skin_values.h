#pragma once
// Conversions of the value forms used by the skin settings file. Pure text
// functions, so the skin reader and its tests share them without Windows.

#include <cstdint>
#include <string>

// The n-th comma-separated field of a value, counting from 1. Fields are not
// trimmed. n of 0 or less counts as 1; a value with fewer fields gives "".
std::string GetFieldText(const std::string& value, int n);

// Reads a number the way C atol does: leading white space, an optional sign,
// decimal digits; no digits give 0. Values beyond the range of a 32-bit long
// saturate at its bounds (the Windows long is 32 bits, and atol's own
// overflow is undefined, so we pick the deterministic answer).
long AtolLike(const std::string& text);

// "red,green,blue": each field AtolLike, cut to its low 8 bits; missing
// fields count as 0. Result is a COLORREF value (red in the low byte).
uint32_t ParseColour(const std::string& value);

struct PairValue {
    int a = -1;
    int b = -1;
};
// Field 1 and field 2, each AtolLike. An empty value is "not given": -1, -1.
PairValue ParsePair(const std::string& value);

// TRUE only for exactly "1".
bool ParseFlag(const std::string& value);

struct FontSizeValue {
    int points = -1;
    int width = -1;
    int height = -1;
};
// A font size entry: one number is a point size, two numbers are width and
// height. Not given: the common point size.
FontSizeValue ParseFontSize(const std::string& value, bool given, int commonSize);

// Button texts write line breaks as the two characters \r and \n.
std::string ReplaceButtonEscapes(std::string text);
