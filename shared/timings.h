// The waits and time-outs of the program that tests shorten, so that a
// test need not wait a minute for what the program waits a minute for. The
// program itself never changes them.
#pragma once
#include <cstdint>

struct Timings {
    // The language-pack page's first search: the router restarts after the
    // firmware upload.
    uint32_t languagePackInitialWaitMs = 60000;
    // The action popup's animation step and end test.
    uint32_t actionTickPeriodMs = 2000;
    // The firmware upload's send and receive time-out: how long the router
    // may take to accept more of the body, and to answer once the request
    // was ended. Reading the answer takes no longer than this in all.
    uint32_t uploadReceiveTimeoutMs = 30000;
    // The longest the upload worker waits for any one asynchronous
    // operation; it backs up the time-out above.
    uint32_t uploadWaitLimitMs = 180000;
    // The longest one 1,460-byte write of the firmware may take in all,
    // however the router trickles.
    uint32_t uploadWriteLimitMs = 60000;
};

extern Timings TheTimings;
