// How quickly the wizard's window answers while it uploads: waits until the
// control BAR-ID (the upload page's progress bar) shows in the top-level
// window CAPTION, then sends WM_NULL to that window every 10 ms until the bar
// is full or hidden again (or LIMIT seconds have passed) and times each
// answer. A
// user-interface thread that is busy, or blocked in a wait, answers late.
// Every sample also reads the bar's position, so that sampling stops with the
// bar full and the longest time the bar stood still shows too.
//
//   ui_probe CAPTION BAR-ID LIMIT-SECONDS
//
// Prints "samples=N late=L max_ms=X max_at_ms=T p99_ms=Y positions=P still_ms=S"
// (T: when the longest answer was asked for, from the first sample).
//
//   ui_probe --whole CAPTION LIMIT-SECONDS
//
// The whole wizard: from the moment the window CAPTION shows until it goes
// (or LIMIT seconds have passed), WM_NULL every 10 ms. Each answer later
// than 20 ms prints "stall at=U ms=X" (U: when it was asked for, in Unix
// seconds, so that the caller can set it beside its own clock), then
// "samples=N max_ms=X p99_ms=Y over20=A over50=B".
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/driver/window_finder.h"

namespace {

constexpr DWORD kPeriodMs = 10;
constexpr UINT kAnswerLimitMs = 1000; // an answer later than this counts as late
// The whole wizard's probe waits longer for one answer, so that a long
// stall shows as one sample of its true length.
constexpr UINT kWholeAnswerLimitMs = 10000;
constexpr double kStallMs = 20;
constexpr double kBudgetMs = 50; // the time an input may take to be handled

double Now(const LARGE_INTEGER& frequency) {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The wall clock in Unix seconds: the harness and the router keep theirs so.
double UnixSeconds() {
    FILETIME now;
    ::GetSystemTimePreciseAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr ULONGLONG kEpochTicks = 116444736000000000ull; // 1601 to 1970, in 100 ns
    return static_cast<double>(ticks - kEpochTicks) / 1e7;
}

double Percentile99(std::vector<double> answers) {
    std::sort(answers.begin(), answers.end());
    return answers[std::min(answers.size() - 1, answers.size() * 99 / 100)];
}

int ProbeWholeWizard(const char* caption, double limitSeconds) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    const double deadline = Now(frequency) + limitSeconds * 1000.0;
    HWND top = nullptr;
    while (!top && Now(frequency) < deadline) {
        top = fwdriver::FindTopLevel(fwdriver::FromUtf8(caption));
        if (!top)
            ::Sleep(kPeriodMs);
    }
    if (!top) {
        std::printf("no window\n");
        return 1;
    }
    std::vector<double> answers;
    unsigned over20 = 0;
    unsigned over50 = 0;
    while (Now(frequency) < deadline && ::IsWindow(top)) {
        DWORD_PTR result = 0;
        const double at = UnixSeconds();
        const double sent = Now(frequency);
        ::SendMessageTimeoutA(top, WM_NULL, 0, 0, SMTO_NORMAL, kWholeAnswerLimitMs, &result);
        const double took = Now(frequency) - sent;
        answers.push_back(took);
        if (took > kStallMs) {
            ++over20;
            over50 += took > kBudgetMs ? 1 : 0;
            std::printf("stall at=%.3f ms=%.1f\n", at, took);
            std::fflush(stdout);
        }
        ::Sleep(kPeriodMs);
    }
    if (answers.empty()) {
        std::printf("no samples\n");
        return 1;
    }
    std::printf("samples=%zu max_ms=%.1f p99_ms=%.1f over20=%u over50=%u\n", answers.size(),
                *std::max_element(answers.begin(), answers.end()), Percentile99(answers), over20,
                over50);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--whole") == 0)
        return ProbeWholeWizard(argv[2], std::atof(argv[3]));
    if (argc != 4) {
        std::fprintf(stderr, "usage: ui_probe CAPTION BAR-ID LIMIT-SECONDS\n"
                             "       ui_probe --whole CAPTION LIMIT-SECONDS\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    const double deadline = Now(frequency) + std::atof(argv[3]) * 1000.0;
    // The bar of the wizard's window (the driver's finder: the windows of
    // every process but this one).
    HWND top = nullptr;
    HWND bar = nullptr;
    while (Now(frequency) < deadline) {
        top = fwdriver::FindTopLevel(fwdriver::FromUtf8(argv[1]));
        bar = top ? fwdriver::FindControl(std::atoi(argv[2]), true) : nullptr;
        if (bar)
            break;
        ::Sleep(kPeriodMs);
    }
    if (!bar) {
        std::printf("no bar shown\n");
        return 1;
    }
    std::vector<double> answers;
    const double first = Now(frequency);
    double longestAt = 0;
    double longest = -1;
    unsigned late = 0;
    unsigned positions = 0;
    DWORD_PTR lastPosition = ~DWORD_PTR{0};
    double lastMove = Now(frequency);
    double longestStill = 0;
    bool full = false;
    for (unsigned n = 0; !full && Now(frequency) < deadline && ::IsWindowVisible(bar); ++n) {
        DWORD_PTR result = 0;
        const double sent = Now(frequency);
        if (!::SendMessageTimeoutA(top, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &result))
            ++late;
        const double answered = Now(frequency);
        answers.push_back(answered - sent);
        if (answered - sent > longest) {
            longest = answered - sent;
            longestAt = sent - first;
        }
        {
            DWORD_PTR position = 0;
            if (::SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, kAnswerLimitMs,
                                      &position) &&
                position != lastPosition) {
                if (lastPosition != ~DWORD_PTR{0} && position < 100)
                    longestStill = std::max(longestStill, answered - lastMove);
                lastPosition = position;
                lastMove = answered;
                ++positions;
            }
            full = position >= 100;
        }
        ::Sleep(kPeriodMs);
    }
    if (answers.empty()) {
        std::printf("no samples\n");
        return 1;
    }
    std::printf("samples=%zu late=%u max_ms=%.1f max_at_ms=%.0f p99_ms=%.1f positions=%u "
                "still_ms=%.0f\n",
                answers.size(), late, *std::max_element(answers.begin(), answers.end()), longestAt,
                Percentile99(answers), positions, longestStill);
    return 0;
}
