#pragma once
// What the firmware upload worker leaves for the upload page beside its
// messages. Windows holds at most 10,000 messages posted to a thread and
// refuses more, so the worker adds the bytes that went out to a count the
// page takes whole, and posts a progress message only while none is
// waiting, and not sooner than kProgressIntervalMs after the last (the bar
// still moves 50 times a second, where a message per 1,460-byte write woke
// the page thousands of times); the final report is kept as well, for the
// page to find should its message not be posted.
#include <atomic>
#include <cstdint>

class UploadReports {
public:
    static constexpr int64_t kNoFinal = -1;
    static constexpr uint64_t kProgressIntervalMs = 20;

    // The worker, before it starts.
    void Reset();
    // The worker's callback: adds bytes that went out at nowMs (a
    // millisecond clock); true when the caller is to post a progress message.
    bool AddSent(uint64_t bytes, uint64_t nowMs);
    // That message could not be posted: the next bytes try again.
    void ProgressNotPosted();
    void KeepFinal(int64_t final);

    // The page: every byte counted since it last took them. Once it has
    // taken them, the next bytes post a message again.
    uint64_t TakeSent();
    // The kept final report, or kNoFinal.
    int64_t Final() const;

private:
    std::atomic<uint64_t> m_sent{0};
    std::atomic<bool> m_progressWaiting{false};
    std::atomic<uint64_t> m_lastPostMs{0};
    std::atomic<int64_t> m_final{kNoFinal};
};

// The one upload of the process.
extern UploadReports TheUploadReports;
