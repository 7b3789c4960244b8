#include "pages/upload_page.h"

#include <cstring>

#include "wizard/wizard_messages.h"
#include "net/firmware_upload_worker.h"
#include "net/upload_reports.h"
#include "net/upload_request.h"
#include "pages/ini_file.h"
#include "shared/shared_values.h"

UploadPage::UploadPage() : WizardPage(IDD) {
    m_controls = {{IDC_BACKGROUND, m_background, "Upload", "Background"},
                  {IDC_UPLOAD_LABEL1, m_label1, "Upload", "Label1"},
                  {IDC_UPLOAD_LABEL2, m_label2, "Upload", "Label2"},
                  {IDC_UPLOAD_PROGRESS, m_progress}};
}

BOOL UploadPage::OnInitDialog() {
    WizardPage::OnInitDialog();
    m_progress.SetRange(0, 100);
    m_progress.SetPos(0);
    SetTimer(kStartTimerId, kStartTimerMs);
    UploadStatusWindow = m_hWnd;
    return TRUE;
}

BOOL UploadPage::OnQueryCancel() {
    return UploadRunning() ? FALSE : TRUE;
}

bool UploadPage::UploadRunning() const {
    return m_worker && m_worker->Handle() &&
           ::WaitForSingleObject(m_worker->Handle(), 0) == WAIT_TIMEOUT;
}

LRESULT UploadPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        OnTimer(wParam);
        return WizardPage::WindowProc(message, wParam, lParam);
    case WM_UPLOAD_STATUS:
        OnUploadStatus(wParam, lParam);
        return 0;
    default:
        return WizardPage::WindowProc(message, wParam, lParam);
    }
}

void UploadPage::OnTimer(UINT_PTR id) {
    if (id == kWatchTimerId) {
        OnWatchTick();
        return;
    }
    KillTimer(kStartTimerId);
    // A tick already queued behind the first one must not start a second run.
    if (m_started)
        return;
    m_started = true;
    StartUpload();
}

void UploadPage::StartUpload() {
    const CString name = ReadMsgText("FW_FileName");
    CFileFind find;
    // A name too long for the request's path field is treated as not
    // found: the box shows it whole, nothing is cut.
    if (name.GetLength() >= kPathSize || !find.FindFile(name)) {
        RefuseImage(name);
        return;
    }
    find.Close();
    std::memcpy(m_filePath, name.GetString(), static_cast<size_t>(name.GetLength()) + 1);

    CFile file;
    if (!file.Open(m_filePath, CFile::modeRead)) {
        // There but not readable (locked, a folder, no rights): the upload
        // cannot start, and the user must not be left at an empty bar.
        ShowMessageAndClose("Retry");
        return;
    }
    m_total.fileSize = file.GetLength();
    file.Close();
    // An empty image is no firmware: refused as a missing one, before
    // anything is sent.
    if (m_total.fileSize == 0) {
        RefuseImage(name);
        return;
    }

    if (!FillUploadRequest(&TheUploadRequest, m_filePath, DeviceAddress, AdminPassword)) {
        ShowMessageAndClose("Retry");
        return;
    }
    m_worker = AfxBeginThread(&FirmwareUploadWorker, &TheUploadRequest, THREAD_PRIORITY_NORMAL,
                              kUploadWorkerStackSize);
    if (!m_worker) {
        ShowMessageAndClose("Retry");
        return;
    }
    TellWizardWriting(WRITE_STARTED);
    SetTimer(kWatchTimerId, kWatchTimerMs);
}

// The box shows the name as configured, and the wizard closes.
void UploadPage::RefuseImage(const CString& name) {
    AfxMessageBox(name);
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_WIZARD_NAVIGATE, NAVIGATE_CLOSE, 0);
}

void UploadPage::OnUploadStatus(WPARAM count, LPARAM final) {
    // A progress message stands for every byte counted since the bar last
    // took them, its own count among them.
    if (count != 0)
        MoveBar(TheUploadReports.TakeSent());
    else
        EndUpload(final);
}

void UploadPage::OnWatchTick() {
    MoveBar(TheUploadReports.TakeSent());
    // Ended, and its final message handled already or refused: a timer
    // tick comes only once no posted message is waiting.
    if (!m_ended && !UploadRunning()) {
        const int64_t kept = TheUploadReports.Final();
        EndUpload(kept == UploadReports::kNoFinal ? kUploadFailed : static_cast<LPARAM>(kept));
    }
}

void UploadPage::MoveBar(uint64_t sent) {
    if (sent != 0 && !m_ended)
        Apply(HandleUploadStatus(m_total, sent, 0));
}

// Once, from the final message or from the worker's kept report.
void UploadPage::EndUpload(LPARAM final) {
    if (m_ended)
        return;
    m_ended = true;
    KillTimer(kWatchTimerId);
    Apply(HandleUploadStatus(m_total, 0, final));
}

void UploadPage::Apply(const UploadStatusStep& step) {
    // Thousands of reports a second move the bar a hundred times in all:
    // the bar hears only of a new position.
    if (step.position >= 0 && step.position != m_shownPosition) {
        m_shownPosition = step.position;
        m_progress.SetPos(step.position);
    }
    // The final report: the write has ended, before any message shows.
    if (step.action != UploadStatusStep::kNone)
        TellWizardWriting(step.action == UploadStatusStep::kNextPage ? WRITE_ENDED : WRITE_FAILED);
    switch (step.action) {
    case UploadStatusStep::kNextPage:
        NavigateWizard(NAVIGATE_NEXT);
        break;
    case UploadStatusStep::kShowRetry:
        ShowMessageAndClose("Retry");
        break;
    case UploadStatusStep::kShowConnection:
        ShowMessageAndClose("Connection");
        break;
    case UploadStatusStep::kNone:
        break;
    }
}

void UploadPage::ShowMessageAndClose(const char* key) {
    AfxMessageBox(ReadMsgText(key));
    NavigateWizard(NAVIGATE_CLOSE);
}
