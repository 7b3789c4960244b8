#pragma once
// LanguageUploadWorker: posts the language file to the router on its own
// thread while the user-interface thread waits in the action popup, and
// reports through uploadOk, ActionDone and ActionCloseNow.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "net/http_poster.h"

// Everything the worker reads, written by the page before the thread starts
// and not touched by it again until the popup has closed.
struct LanguageUpload {
    HWND owner = nullptr; // the page: owner of the worker's message boxes
    std::string url;
    std::string user;
    std::string password;
    std::string path;                    // also the form's file name, backslashes and all
    std::unique_ptr<uint8_t[]> fileData; // freed by the worker
    uint32_t fileLength = 0;
    std::atomic<bool> uploadOk{false};
    // The poster's pause after sending and its time-out; shortened by tests.
    DWORD pauseAfterSendMs = HttpPoster::kPauseAfterSendMs;
    DWORD timeoutMs = HttpPoster::kTimeoutMs;
};

// Thread procedure; param is the page's LanguageUpload. 1 when the router
// accepted the pack, 0 otherwise. Nothing it meets, not even a failed
// allocation, escapes the thread: any failure is reported as a failed post.
UINT __cdecl LanguageUploadWorker(LPVOID param);
