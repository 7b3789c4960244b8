#pragma once
// The block the upload page hands to the firmware upload worker: four fixed,
// zero-terminated texts. Filled on the user-interface thread before the
// worker starts, then only read by the worker.

#include <cstddef>

struct UploadRequest {
    char path[260] = {};     // firmware file path exactly as configured
    char host[128] = {};     // router address text
    char object[128] = {};   // request target
    char password[128] = {}; // administrator password
};

constexpr char kFirmwareUploadObject[] = "/upgrade_flash.cgi";

// The one block of the process; its address is the worker's start argument.
extern UploadRequest TheUploadRequest;

// Fills every field (object = kFirmwareUploadObject). A text that does not
// fit its field is refused, never cut: the block is then left all empty
// and false returned.
bool FillUploadRequest(UploadRequest* request, const char* path, const char* host,
                       const char* password);
