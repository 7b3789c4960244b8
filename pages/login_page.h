// LoginPage: the user types the router's address and the administrator's
// user name and password. Next stores them for the later pages and refuses
// to move on while the address is incomplete or the credentials too long.
#pragma once
#include "wizard/wizard_page.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "res/resource.h"

class LoginPage : public WizardPage {
public:
    enum { IDD = IDD_LOGIN };
    static constexpr int kLabelCount = 5;
    LoginPage();

    bool BuildsAhead() const override { return true; }
    // Names the address fields and the edits after their labels.
    void OnControlsSkinned() override;
    void DoDataExchange(CDataExchange* dx) override;
    // Stores the entries; -1 (stay) when they cannot be used, else 0.
    int GetNextPageId() override;

    SkinnedBitmap m_background;
    SkinnedLabel m_labels[kLabelCount];
    CIPAddressCtrl m_address;
    // The address control's own edit fields, bound only to be named.
    static constexpr int kAddressFields = 4;
    CWnd m_addressFields[kAddressFields];
    CEdit m_userEdit;
    CEdit m_passwordEdit;
    CString m_userName;

private:
    // Shows why the credentials are refused; false when they are refused.
    bool CredentialsFit(const CString& user, const CString& password) const;
    void StoreCredentials(const CString& user, const CString& password);
};

// The texts shown when the credentials do not fit what the upload sends.
extern const char kPasswordTooLongText[];
extern const char kCredentialTooLongText[];
