#include "pages/upload_status.h"

UploadStatusStep HandleUploadStatus(UploadProgress& progress, uint64_t count, int64_t final) {
    UploadStatusStep step;
    if (count != 0) {
        step.position = progress.Add(count);
        return step;
    }
    switch (final) {
    case 0:
        step.position = 100;
        step.action = UploadStatusStep::kNextPage;
        break;
    case 1:
        step.action = UploadStatusStep::kShowRetry;
        break;
    case 2:
        step.action = UploadStatusStep::kShowConnection;
        break;
    default:
        break;
    }
    return step;
}
