#include "pages/login_page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "net/upload_form_body.h"
#include "pages/ini_file.h"
#include "shared/shared_values.h"
#include "shared/upgrade_record.h"

const char kPasswordTooLongText[] = "The password is too long: at most 127 characters.";
const char kCredentialTooLongText[] =
    "The user name and password together are too long: at most 77 characters plus the colon.";

namespace {
// Label1 .. Label5 of section "Login", in skin order.
constexpr int kLabelIds[LoginPage::kLabelCount] = {
    IDC_LOGIN_LABEL1, IDC_LOGIN_LABEL2, IDC_LOGIN_LABEL3, IDC_LOGIN_LABEL4, IDC_LOGIN_LABEL5};
// Label3 to Label5 name the address, the user name and the password.
constexpr int kAddressLabel = 2;
constexpr int kUserLabel = 3;
constexpr int kPasswordLabel = 4;
constexpr int kStay = -1;
constexpr int kNextInList = 0;
} // namespace

LoginPage::LoginPage() : WizardPage(IDD) {
    m_controls = {{IDC_BACKGROUND, m_background, "Login", "Background"}};
    AddLabelRows(m_controls, "Login", kLabelIds, m_labels, kLabelCount);
    m_controls.insert(m_controls.end(), {{IDC_LOGIN_ADDRESS, m_address},
                                         {IDC_LOGIN_USER, m_userEdit},
                                         {IDC_LOGIN_PASSWORD, m_passwordEdit}});
}

void LoginPage::OnControlsSkinned() {
    // The focus lands in the address control's fields, which the system
    // would name after nothing: each is named after the address label.
    int field = 0;
    for (HWND child = ::GetWindow(m_address, GW_CHILD); child && field < kAddressFields;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (m_addressFields[field].SubclassWindow(child))
            NameAfterLabel(m_addressFields[field++], m_labels[kAddressLabel], ROLE_SYSTEM_TEXT);
    }
    NameAfterLabel(m_userEdit, m_labels[kUserLabel], ROLE_SYSTEM_TEXT);
    NameAfterLabel(m_passwordEdit, m_labels[kPasswordLabel], ROLE_SYSTEM_TEXT);
}

void LoginPage::DoDataExchange(CDataExchange* dx) {
    WizardPage::DoDataExchange(dx);
    DDX_Text(dx, IDC_LOGIN_USER, m_userName);
}

bool LoginPage::CredentialsFit(const CString& user, const CString& password) const {
    // Refused whole rather than stored cut: a cut password would only fail
    // at the router, after the upload has started.
    if (!PasswordFits(password.str())) {
        AfxMessageBox(kPasswordTooLongText);
        return false;
    }
    if (!CredentialFits(user.str(), password.str())) {
        AfxMessageBox(kCredentialTooLongText);
        return false;
    }
    return true;
}

void LoginPage::StoreCredentials(const CString& user, const CString& password) {
    // Fits: checked by CredentialsFit.
    std::memset(AdminPassword, 0, sizeof AdminPassword);
    std::memcpy(AdminPassword, password.GetString(),
                std::min(static_cast<size_t>(password.GetLength()), sizeof AdminPassword - 1));
    AdminUserName = user;
}

int LoginPage::GetNextPageId() {
    const CString password = m_passwordEdit.GetWindowText();
    UpdateData(true); // the user name edit into m_userName
    if (!CredentialsFit(m_userName, password))
        return kStay;
    StoreCredentials(m_userName, password);

    BYTE fields[kAddressFields] = {};
    const int filled = m_address.GetAddress(fields[0], fields[1], fields[2], fields[3]);
    if (m_address.IsBlank() || filled < kAddressFields) {
        AfxMessageBox(ReadMsgText("FillIP"));
        return kStay;
    }
    std::snprintf(DeviceAddress, sizeof DeviceAddress, "%d.%d.%d.%d", fields[0], fields[1],
                  fields[2], fields[3]);
    UpgradeRecord::Add(std::string("router address typed: ") + DeviceAddress);
    return kNextInList;
}
