// The driver's command set: one line in, one reply out.
#pragma once

#include <string>

namespace fwdriver {

struct Reply {
    bool ok = false;
    std::string text; // escaped: no newline inside
    bool quit = false;
};

Reply RunCommand(const std::string& line);

// Backslash escapes so that any text fits on one reply line.
std::string Escape(const std::string& text);

} // namespace fwdriver
