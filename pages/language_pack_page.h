// LanguagePackPage: after the firmware upload, waits for the router to come
// back, finds it by broadcast, tells it the chosen language and uploads the
// matching language pack from a worker thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "wizard/wizard_page.h"
#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "pages/detection_logic.h"
#include "pages/language_pack_detection.h"
#include "pages/language_upload_worker.h"
#include "res/resource.h"

// The largest language file the page posts; packs are a few kilobytes.
constexpr uint64_t kMaxLanguageFileBytes = 64ull * 1024 * 1024;

enum class LanguageFileRead { kRead, kMissing, kFailed };
// Reads the whole file at path into upload's file data and length. kMissing
// when it cannot be opened; kFailed when it is larger than
// kMaxLanguageFileBytes, no memory is left or the read does not deliver
// every byte (zeros must never go out as a pack). The data is left empty
// unless the file was read.
LanguageFileRead ReadLanguageFile(const std::string& path, LanguageUpload& upload);

class LanguagePackPage : public WizardPage {
public:
    enum { IDD = IDD_LANGUAGE_PACK };
    // The first search waits TheTimings.languagePackInitialWaitMs for the
    // router to restart; Detect searches after this delay.
    static constexpr unsigned kDetectDelayMs = 500;

    LanguagePackPage();
    ~LanguagePackPage() override;

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CHoverButtonEx m_detect;
    SkinnedLabel m_label2;
    SkinnedLabel m_label1;
    CHoverButtonEx m_exit;
    CHoverButtonEx m_upgrade;
    SkinnedBitmap m_background;

    WindowDetectionActions m_detectionActions;
    DetectionLogic m_detection;
    LanguageUpload m_upload;
    // The last upload worker. It reads m_upload until it ends: the page
    // waits for it before it changes m_upload and before it goes.
    std::unique_ptr<CWinThread> m_worker;

private:
    void OnTimer(UINT_PTR id);
    void OnUpgrade();
    void OnExit();
    void OnDetect();
    // After each detection popup: the controls for a detected device.
    void ApplyDetectionUpdate();
    // Reads the language file into m_upload; false (and reported) when it
    // cannot be read whole.
    bool ReadLanguageFileForUpload();
    void WaitInPopup(int mode);
    void WaitForWorker();
};
