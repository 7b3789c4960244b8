// UploadPage: shown while the firmware goes to the router. It has no
// buttons: its first timer tick starts the upload worker, the worker's
// reports move the progress bar, and the final report either moves the
// wizard on or shows a message and closes it.
#pragma once
#include <memory>

#include "wizard/wizard_page.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "pages/upload_progress.h"
#include "pages/upload_status.h"
#include "res/resource.h"

class UploadPage : public WizardPage {
public:
    enum { IDD = IDD_UPLOAD };
    static constexpr UINT_PTR kStartTimerId = 1;
    static constexpr UINT kStartTimerMs = 10;
    // While the worker runs: the bar takes the bytes sent even when no
    // message could be posted, and the worker's end is seen by its thread.
    static constexpr UINT_PTR kWatchTimerId = 2;
    static constexpr UINT kWatchTimerMs = 100;
    static constexpr int kPathSize = 260;

    UploadPage();

    BOOL OnInitDialog() override;
    // Refused while the worker runs: closing then would leave the router
    // with part of an image.
    BOOL OnQueryCancel() override;
    bool UploadRunning() const;

    SkinnedLabel m_label1;
    SkinnedLabel m_label2;
    CProgressCtrl m_progress;
    SkinnedBitmap m_background;
    char m_filePath[kPathSize] = {};
    UploadProgress m_total; // bytes reported so far and the file's size
    // Never waited on: the worker ends by itself. Asked whether it still runs.
    std::unique_ptr<CWinThread> m_worker;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnTimer(UINT_PTR id);
    void OnUploadStatus(WPARAM count, LPARAM final);
    void OnWatchTick();
    void StartUpload();
    void RefuseImage(const CString& name);
    void MoveBar(uint64_t sent);
    void EndUpload(LPARAM final);
    void Apply(const UploadStatusStep& step);
    void ShowMessageAndClose(const char* key);

    bool m_started = false;
    bool m_ended = false;    // the final report was acted on
    int m_shownPosition = 0; // where the bar stands
};
