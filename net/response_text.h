#pragma once
// The router's answer to a post as it comes in, piece by piece: kept whole up
// to a limit, and read as text up to its first NUL byte.

#include <cstddef>
#include <string>
#include <vector>

class ResponseText {
public:
    explicit ResponseText(size_t limit) : m_limit(limit) {}

    // Starts a new answer.
    void Clear() { m_bytes.clear(); }
    // Whether count more bytes stay within the limit.
    bool Fits(size_t count) const { return count <= m_limit - m_bytes.size(); }
    // Appends count bytes; an answer that would pass the limit keeps none of
    // them and gives false.
    bool Append(const char* bytes, size_t count);

    size_t Length() const { return m_bytes.size(); }
    // The answer up to, not including, its first NUL byte.
    std::string Text() const;

private:
    std::vector<char> m_bytes;
    size_t m_limit;
};
