// Prints the position of a progress bar of the wizard: the caption of its
// top-level window and the bar's control id are the arguments. The bar
// keeps its position after its page was hidden, so the end-to-end tests can
// read where the upload left it.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (::GetDlgCtrlID(window) == search->id) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: progress_probe CAPTION CONTROL-ID\n");
        return 2;
    }
    HWND top = ::FindWindowA(nullptr, argv[1]);
    if (!top) {
        std::printf("no window\n");
        return 1;
    }
    Search search{std::atoi(argv[2]), nullptr};
    ::EnumChildWindows(top, &MatchId, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        std::printf("no control\n");
        return 1;
    }
    DWORD_PTR position = 0;
    if (!::SendMessageTimeoutA(search.found, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position)) {
        std::printf("no answer\n");
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(position));
    return 0;
}
