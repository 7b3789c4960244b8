#include "pages/language_upload_worker.h"

#include "pages/language_pack_answers.h"
#include "pages/language_pack_detection.h"
#include "shared/shared_values.h"
#include "shared/upgrade_record.h"

namespace {

// The message for the user, or null when the router accepted the pack. Any
// failure of the post, an exception included, counts as a failed upload.
const char* PostLanguagePack(const LanguageUpload& upload) noexcept {
    try {
        HttpPoster poster(upload.pauseAfterSendMs, upload.timeoutMs);
        std::string response;
        const ULONGLONG started = ::GetTickCount64();
        const bool posted = poster.PostAndRead(&response, upload.url.c_str(), upload.fileData.get(),
                                               upload.fileLength, upload.user.c_str(),
                                               upload.password.c_str(), upload.path.c_str());
        const char* refusal = posted ? LanguagePackRefusal(response) : kUploadFailedMessage;
        UpgradeRecord::AddMade([&] {
            return UpgradeRecord::RequestLine(
                {"language pack " + upload.path + " POST " + upload.url, poster.HttpStatus(),
                 poster.BytesSent(), poster.BodyLength(), ::GetTickCount64() - started,
                 poster.LastError(), refusal ? "refused or failed" : "accepted"});
        });
        return refusal;
    } catch (...) {
        // Out of memory, most likely: the post did not happen as it should.
        return kUploadFailedMessage;
    }
}

} // namespace

UINT __cdecl LanguageUploadWorker(LPVOID param) {
    LanguageUpload& upload = *static_cast<LanguageUpload*>(param);
    const char* message = PostLanguagePack(upload);
    if (message)
        ShowPageWarning(upload.owner, message);
    // The hand-over: the file data was the page's, the worker frees it.
    upload.fileData.reset();
    upload.fileLength = 0;
    if (!message) {
        upload.uploadOk = true;
        ActionDone = 1; // the popup lingers a few ticks (ActionCloseNow stays 0)
        return 1;
    }
    ActionCloseNow = 1;
    ActionDone = 1;
    return 0; // nothing of the page is touched after the flags
}
