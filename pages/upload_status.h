#pragma once
// What the upload page does with one WM_UPLOAD_STATUS report: progress
// moves the bar; a final status fills the bar and asks for the next page,
// or names the message the user sees before the wizard closes.

#include <cstdint>

#include "pages/upload_progress.h"

struct UploadStatusStep {
    enum Action { kNone, kNextPage, kShowRetry, kShowConnection };
    int position = -1; // new bar position, -1 = leave the bar as it is
    Action action = kNone;
};

// count and final are the message's two parameters.
UploadStatusStep HandleUploadStatus(UploadProgress& progress, uint64_t count, int64_t final);
