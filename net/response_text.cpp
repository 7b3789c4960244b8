#include "net/response_text.h"

#include <cstring>

bool ResponseText::Append(const char* bytes, size_t count) {
    if (!Fits(count))
        return false;
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    return true;
}

std::string ResponseText::Text() const {
    if (m_bytes.empty())
        return std::string();
    return std::string(m_bytes.data(), strnlen(m_bytes.data(), m_bytes.size()));
}
