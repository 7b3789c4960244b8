// fwdriver.exe: drives the program under test the way a user would, for the
// end-to-end tests. Runs in the same Wine session; reads one command per line
// on stdin and answers "ok ..." or "err ..." on one line of stdout.
//
// Windows are found by exact caption among the other processes' top-level
// windows; controls by dialog id among all their descendants (visible first).
//   wait-window <caption> <ms>   -> ok <hwnd>       wait-gone <caption> <ms>
//   find <id> -> ok <hwnd> <class>                  text <id> -> ok <text>
//   click <id> (SendInput at the centre)            press <id> (BM_CLICK)
//   type <id> <text> (a click, then keys; replaces; IP control too)
//   select <combo-id> <entry>
//   key ESCAPE|RETURN|TAB|SPACE|ALT+F4|...          drag <x1> <y1> <x2> <y2>
//   visible|enabled|checked <id> -> ok 1|0          rect <id> -> ok l t r b
//   window-rect <caption> -> ok l t r b
//   region <caption> -> ok l t r b <(0,0) in> <(w/2,0) in> | ok none
//   msgbox <ms> -> ok <caption>\t<text>            dismiss, no-msgbox <ms>
//   shot <file.png> [caption] (once painted and still)  windows, quit
//   acc [<id>] -> ok <role> <name> (MSAA, of the focused window without id)
// Texts in replies are escaped (\\, \n, \r, \t).

#include <fcntl.h>
#include <io.h>

#include <objbase.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "tools/driver/driver_commands.h"

int main() {
    // Binary mode: replies end in "\n" only, as the Python client expects.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    // The accessible objects a window hands out through WM_GETOBJECT reach
    // us as COM proxies, which need an apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const fwdriver::Reply reply = fwdriver::RunCommand(line);
        std::string out = reply.ok ? "ok" : "err";
        if (!reply.text.empty())
            out += " " + reply.text;
        out += "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        if (reply.quit)
            break;
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}
