#include "net/upload_reports.h"

UploadReports TheUploadReports;

void UploadReports::Reset() {
    m_sent = 0;
    m_progressWaiting = false;
    m_lastPostMs = 0;
    m_final = kNoFinal;
}

bool UploadReports::AddSent(uint64_t bytes, uint64_t nowMs) {
    m_sent += bytes;
    // Bytes not posted now wait in the count for the next message or for the
    // page's own look at it.
    if (nowMs - m_lastPostMs.load() < kProgressIntervalMs || m_progressWaiting.exchange(true))
        return false;
    m_lastPostMs = nowMs;
    return true;
}

void UploadReports::ProgressNotPosted() {
    m_progressWaiting = false;
}

void UploadReports::KeepFinal(int64_t final) {
    m_final = final;
}

uint64_t UploadReports::TakeSent() {
    // Cleared before the take: bytes added in between post a message of
    // their own (which then finds them taken), rather than wait unseen.
    m_progressWaiting = false;
    return m_sent.exchange(0);
}

int64_t UploadReports::Final() const {
    return m_final;
}
