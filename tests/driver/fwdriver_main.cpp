// fwdriver.exe: drives the program under test the way a user would, for the
// end-to-end tests. Runs in the same Wine session; reads one command per line
// on stdin and answers "ok ..." or "err ..." on one line of stdout.

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "tests/driver/driver_commands.h"

int main() {
  // Binary mode: replies end in "\n" only, as the Python client expects.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const fwdriver::Reply reply = fwdriver::RunCommand(line);
    std::string out = reply.ok ? "ok" : "err";
    if (!reply.text.empty()) out += " " + reply.text;
    out += "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    if (reply.quit) break;
  }
  return 0;
}
