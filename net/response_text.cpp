#include "net/response_text.h"

#include <cstring>

bool ResponseText::Append(const char* bytes, size_t count) {
    if (!Fits(count))
        return false;
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    return true;
}

std::string ResponseText::Text() const {
    const char* begin = m_bytes.data();
    const void* nul = m_bytes.empty() ? nullptr : std::memchr(begin, '\0', m_bytes.size());
    const size_t length =
        nul ? static_cast<size_t>(static_cast<const char*>(nul) - begin) : m_bytes.size();
    return std::string(begin, length);
}
