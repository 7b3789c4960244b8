// What every fuzz target shares: a property check that stops the run, and a
// reader that takes the fuzzer's bytes in order and gives zeros once they
// are spent, so any input drives a whole run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

inline void Check(bool ok) {
    if (!ok)
        abort();
}

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_size == 0; }
    uint8_t Byte() {
        if (m_size == 0)
            return 0;
        --m_size;
        return *m_data++;
    }
    uint16_t Word() {
        const uint8_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    uint32_t Word32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t{Byte()} << (8 * i);
        return value;
    }
    std::string Text(size_t length) {
        std::string text;
        while (length-- > 0 && m_size > 0)
            text += static_cast<char>(Byte());
        return text;
    }
    std::string Rest() { return Text(m_size); }

private:
    const uint8_t* m_data;
    size_t m_size;
};
