#include "pages/language_pack_page.h"

#include <cstring>
#include <new>

#include "wizard/wizard_messages.h"
#include "pages/action_popup.h"
#include "pages/language_pack_answers.h"
#include "shared/shared_values.h"
#include "shared/timings.h"
#include "shared/upgrade_record.h"

LanguageFileRead ReadLanguageFile(const std::string& path, LanguageUpload& upload) {
    upload.fileData.reset();
    upload.fileLength = 0;
    CFile file;
    if (!file.Open(path.c_str()))
        return LanguageFileRead::kMissing;
    const uint64_t length = file.GetLength();
    if (length > kMaxLanguageFileBytes)
        return LanguageFileRead::kFailed;
    const auto size = static_cast<uint32_t>(length);
    // One byte more, so that an empty file still has a block of its own.
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size + 1]());
    if (!data || file.Read(data.get(), size) != size)
        return LanguageFileRead::kFailed;
    upload.fileData = std::move(data);
    upload.fileLength = size;
    return LanguageFileRead::kRead;
}

LanguagePackPage::LanguagePackPage()
    : WizardPage(IDD), m_detectionActions(*this), m_detection(m_detectionActions) {
    m_controls = {{IDC_BACKGROUND, m_background, "UpgradeLang", "Background"},
                  {IDC_PACK_LABEL1, m_label1, "UpgradeLang", "Label1"},
                  {IDC_PACK_LABEL2, m_label2, "UpgradeLang", "Label2"},
                  {IDC_PACK_UPGRADE, m_upgrade, "UpgradeLang", "Upgrade"},
                  {IDC_PACK_EXIT, m_exit, "UpgradeLang", "Exit"},
                  {IDC_PACK_DETECT, m_detect, "UpgradeLang", "Detect"}};
}

LanguagePackPage::~LanguagePackPage() {
    // The worker uses the page's memory to its end; the poster's time-outs
    // bound the wait, which must not give up before it.
    WaitForWorker();
}

void LanguagePackPage::WaitForWorker() {
    if (!m_worker)
        return;
    m_worker->WaitForEnd();
    m_worker.reset();
}

BOOL LanguagePackPage::OnInitDialog() {
    WizardPage::OnInitDialog();
    SetTabOrder({IDC_PACK_UPGRADE, IDC_PACK_DETECT, IDC_PACK_EXIT});
    m_detect.ShowWindow(SW_SHOW);
    m_exit.ShowWindow(SW_HIDE);
    m_label1.ShowWindow(SW_HIDE);
    m_label2.ShowWindow(SW_SHOW);
    m_detection.StartDetection(TheTimings.languagePackInitialWaitMs);
    WaitInPopup(ActionPopup::kFindDevice);
    ApplyDetectionUpdate();
    return TRUE;
}

LRESULT LanguagePackPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case DISCOVERY_REPLY_MSG: // WM_DISCOVERY_REPLY on this window
        m_detection.OnDiscoveryReply();
        return 0;
    case QUERY_REPLY_MSG: // WM_QUERY_REPLY on this window
        m_detection.OnQueryReply();
        return 0;
    default:
        return WizardPage::WindowProc(message, wParam, lParam);
    }
}

BOOL LanguagePackPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_PACK_UPGRADE:
            OnUpgrade();
            return TRUE;
        case IDC_PACK_EXIT:
            OnExit();
            return TRUE;
        case IDC_PACK_DETECT:
            OnDetect();
            return TRUE;
        default:
            break;
        }
    }
    return WizardPage::OnCommand(wParam, lParam);
}

void LanguagePackPage::OnTimer(UINT_PTR id) {
    m_detection.OnTimer(static_cast<unsigned>(id));
}

void LanguagePackPage::WaitInPopup(int mode) {
    ActionPopup popup; // clears ActionDone and ActionCloseNow
    popup.m_mode = mode;
    popup.DoModal();
}

void LanguagePackPage::ApplyDetectionUpdate() {
    UpgradeRecord::Add(m_detection.detected ? "shown: router found, Upgrade offered"
                                            : "shown: router not found, Detect offered");
    if (m_detection.detected) {
        m_detect.ShowWindow(SW_HIDE);
        m_exit.ShowWindow(SW_HIDE);
        m_label1.ShowWindow(SW_SHOW);
        m_label2.ShowWindow(SW_HIDE);
    }
    Invalidate(true);
}

void LanguagePackPage::OnDetect() {
    if (m_detection.detected)
        return;
    m_detection.StartDetection(kDetectDelayMs);
    WaitInPopup(ActionPopup::kSetupDevice);
    ApplyDetectionUpdate();
}

void LanguagePackPage::OnExit() {
    NavigateWizard(NAVIGATE_CLOSE);
}

bool LanguagePackPage::ReadLanguageFileForUpload() {
    switch (ReadLanguageFile(m_upload.path, m_upload)) {
    case LanguageFileRead::kRead:
        return true;
    case LanguageFileRead::kMissing: {
        CString text;
        text.Format("%s file not found.", m_upload.path.c_str());
        ShowPageWarning(m_hWnd, text);
        NavigateWizard(NAVIGATE_CLOSE);
        return false;
    }
    case LanguageFileRead::kFailed:
        break;
    }
    // As after a failed post: the user may try again or leave.
    TellWizardWriting(WRITE_FAILED);
    ShowPageWarning(m_hWnd, kUploadFailedMessage);
    m_exit.ShowWindow(SW_SHOW);
    return false;
}

void LanguagePackPage::OnUpgrade() {
    if (!m_detection.detected) {
        AfxMessageBox("please click \"Detect\" to detect the device first!", MB_OK);
        return;
    }
    // A previous worker may still be letting go of its poster; nothing it
    // reads may change before it has ended.
    WaitForWorker();
    m_upload.uploadOk = false;
    m_upload.owner = m_hWnd;
    m_upload.url = LanguageUploadUrl(m_detection.deviceSummary.deviceAddress);
    const std::string password = m_detection.UploadPasswordText();
    // A router without an upload password takes no user name either.
    m_upload.user = password.empty() ? std::string() : std::string(AdminUserName.GetString());
    m_upload.password = password;
    m_upload.path = LanguageFilePath(SelectedLanguage, m_upload.path);
    if (!ReadLanguageFileForUpload())
        return;

    // The popup exists before the worker starts, so that its clearing of the
    // flags can never wipe out a result the worker has already set.
    ActionPopup popup;
    popup.m_mode = ActionPopup::kUpgrade;
    m_worker = AfxBeginThread(LanguageUploadWorker, &m_upload);
    if (!m_worker) {
        m_upload.fileData.reset();
        TellWizardWriting(WRITE_FAILED);
        ShowPageWarning(m_hWnd, kUploadFailedMessage);
        m_exit.ShowWindow(SW_SHOW);
        return;
    }
    // The search's language query may still be answered while the popup is
    // up: only the upload ends this popup.
    m_detectionActions.SetUploadWaiting(true);
    TellWizardWriting(WRITE_STARTED);
    popup.DoModal();
    m_detectionActions.SetUploadWaiting(false);
    // The worker is done: the router has answered, or the post failed.
    TellWizardWriting(m_upload.uploadOk ? WRITE_ENDED : WRITE_FAILED);
    if (m_upload.uploadOk)
        NavigateWizard(NAVIGATE_NEXT);
    else
        m_exit.ShowWindow(SW_SHOW);
}
