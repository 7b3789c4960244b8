#include "net/upload_reports.h"

UploadReports TheUploadReports;

void UploadReports::Reset() {
    m_sent = 0;
    m_progressWaiting = false;
    m_final = kNoFinal;
}

bool UploadReports::AddSent(uint64_t bytes) {
    m_sent += bytes;
    return !m_progressWaiting.exchange(true);
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
