#pragma once
// The detection procedure's actions on a real window: the discovery socket
// table with the window as owner, the window's timers, the page's message
// boxes and the process-wide values shared with the socket table and the
// action popup.
#include "framework/afx.h"
#include "pages/detection_logic.h"

class WindowDetectionActions : public DetectionActions {
public:
    explicit WindowDetectionActions(CWnd& window) : m_window(window) {}

    bool StartNetworking() override;
    void ReadLocalAddresses() override;
    int OpenSlot(unsigned message) override;
    bool CloseSlot(int slot) override;
    int ReopenSlot(unsigned message, int oldSlot) override;
    bool SetDestination(int slot, uint32_t addressNetworkOrder) override;
    bool SendCommand(int slot, uint16_t command, uint16_t sequence, uint8_t* datagram) override;
    bool ResendLast(int slot) override;
    bool ReceiveDatagram(int slot, uint8_t* datagram) override;
    bool GetLastSender(int slot, uint32_t* addressNetworkOrder) override;

    void SetTimer(unsigned id, unsigned periodMs) override;
    void KillTimer(unsigned id) override;

    void ShowCommunicationError() override;
    void ShowRetryMessage() override;

    // Ends the wait of the popup shown for the search, unless the popup
    // shown now waits for the language pack's upload instead: the answer to
    // the language query may come while that popup is up, and must not end
    // it before the upload has.
    void SetActionDone() override;
    void SetUploadWaiting(bool waiting) { m_uploadWaiting = waiting; }
    void SetPerInterfaceBinding(bool on) override;
    int BindPosition() override;
    void SetBindPosition(int position) override;
    void SetFoundInterface(int index) override;
    int LocalAddressCount() override;
    int32_t SelectedLanguage() override;

private:
    CWnd& m_window;
    bool m_uploadWaiting = false;
    uint32_t m_destination = 0; // of the next send, for the upgrade record
};

// A message box owned by the window, captioned "Warning" (string 102), with
// the exclamation icon; usable from any thread.
void ShowPageWarning(HWND owner, const char* text);
