#include "pages/language_upload_worker.h"

#include "net/http_poster.h"
#include "pages/language_pack_answers.h"
#include "pages/language_pack_detection.h"
#include "pages/shared_values.h"

UINT __cdecl LanguageUploadWorker(LPVOID param) {
    LanguageUpload& upload = *static_cast<LanguageUpload*>(param);
    bool accepted = false;
    {
        HttpPoster poster;
        std::string response;
        if (!poster.PostAndRead(&response, upload.url.c_str(), upload.fileData.get(),
                                upload.fileLength, upload.user.c_str(), upload.password.c_str(),
                                upload.path.c_str())) {
            ShowPageWarning(upload.owner, kUploadFailedMessage);
        } else if (const char* refusal = LanguagePackRefusal(response)) {
            ShowPageWarning(upload.owner, refusal);
        } else {
            accepted = true;
        }
        // The hand-over: the file data was the page's, the worker frees it.
        upload.fileData.reset();
        upload.fileLength = 0;
        if (accepted) {
            upload.uploadOk = true;
            ActionDone = 1; // the popup lingers a few ticks (ActionCloseNow stays 0)
        } else {
            ActionCloseNow = 1;
            ActionDone = 1;
        }
    } // the poster is destroyed after the flags; nothing of the page is touched after them
    return accepted ? 1 : 0;
}
