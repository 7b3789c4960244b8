#include "framework/profile_text.h"

#include <cstring>
#include <vector>

std::string ProfileBufferText(const char* buffer, size_t size, size_t reported) {
    if (buffer == nullptr || size == 0)
        return std::string();
    const size_t room = reported < size - 1 ? reported : size - 1;
    return std::string(buffer, strnlen(buffer, room));
}

std::string ReadCutProfileText(const ProfileRead& read) {
    char buffer[512] = {};
    const size_t declared = sizeof buffer - 1;
    return ProfileBufferText(buffer, declared, read(buffer, declared));
}

std::string ReadWholeProfileText(const ProfileRead& read, size_t* finalSize,
                                 const ProfileGrowth& growth) {
    const size_t step = growth.step > 1 ? growth.step : 2;
    std::vector<char> buffer(step, '\0');
    for (;;) {
        const size_t count = read(buffer.data(), buffer.size());
        if (count + 1 < buffer.size() || buffer.size() >= growth.limit) {
            if (finalSize)
                *finalSize = buffer.size();
            return ProfileBufferText(buffer.data(), buffer.size(), count);
        }
        buffer.assign(buffer.size() + step, '\0');
    }
}
