#pragma once
// FirmwareUploadWorker: the thread that posts the firmware image to the
// router's "/upgrade_flash.cgi" as a multipart form, with WinINet in
// asynchronous mode, and reports to the upload page by posted messages:
//   WM_UPLOAD_STATUS (n, 0)  more bytes went out, n of them the first (n is
//                            never 0); all of them are in TheUploadReports,
//                            and no second such message is posted before
//                            the page has taken them
//   WM_UPLOAD_STATUS (0, 0)  finished, (0, 1) failed, (0, 2) no connection
// Exactly one final report ends every run; it is also kept in
// TheUploadReports before the worker ends, in case its message is refused.
#include <windows.h>

#include <wininet.h>

constexpr UINT WM_UPLOAD_STATUS = WM_USER + 101;
constexpr LPARAM kUploadFinished = 0;
constexpr LPARAM kUploadFailed = 1;
constexpr LPARAM kUploadNoConnection = 2;

// The upload page's window; written before the worker starts.
extern HWND UploadStatusWindow;

// The worker keeps its small texts on its stack and the large buffers on
// the heap; this stack holds them with room to spare.
constexpr UINT kUploadWorkerStackSize = 20480;

// Thread procedure; request is the address of an UploadRequest.
UINT __cdecl FirmwareUploadWorker(LPVOID request);

// Installed on the root handle; runs on WinINet's own threads.
void CALLBACK UploadStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                   LPVOID information, DWORD informationLength);
