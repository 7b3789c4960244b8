// The login page's Next: what it stores, when it refuses and what it says.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "pages/login_page.h"
#include "shared/shared_values.h"
#include "pages/verify_page.h"
#include "tests/pages/page_test_support.h"

namespace {
constexpr char kFillIpText[] = "Please type the complete address of your router.";

class LoginPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteMsgIni(std::string("[MSG]\r\nFillIP=") + kFillIpText + "\r\n");
        std::strcpy(DeviceAddress, "");
        std::strcpy(AdminPassword, "");
        AdminUserName = "";
        m_host.AddPage(&m_login, m_login.m_pageId);
        m_host.AddPage(&m_verify, m_verify.m_pageId);
        ASSERT_TRUE(m_host.Open());
        ASSERT_TRUE(m_login.m_active);
        m_boxes.Clear();
    }
    void TearDown() override { ::DeleteFileA(MsgIniPath().c_str()); }

    static std::string MsgIniPath() { return ProgramFolder() + "MSG.ini"; }
    static void WriteMsgIni(const std::string& content) {
        std::ofstream out(MsgIniPath(), std::ios::binary | std::ios::trunc);
        out << content;
    }

    void Enter(const char* user, const std::string& password) {
        ::SetWindowTextA(m_login.m_userEdit, user);
        ::SetWindowTextA(m_login.m_passwordEdit, password.c_str());
    }
    // Blanks one of the four fields of the address control.
    void BlankOneField() {
        HWND field = ::GetWindow(m_login.m_address, GW_CHILD);
        ASSERT_NE(field, nullptr);
        ::SetWindowTextA(field, "");
    }
    // The main window's Next button, as the host does it.
    bool NextLeavesThePage() {
        m_host.OnNext();
        PumpMessages();
        return m_host.GetCurrentPage() != &m_login;
    }

    MessageBoxWatcher m_boxes;
    LoginPage m_login;
    VerifyPage m_verify;
    RecordingHost m_host;
};

TEST_F(LoginPageTest, ACompleteAddressIsStoredAndLeadsToTheVerifyPage) {
    const struct {
        BYTE fields[4];
        const char* text;
    } cases[] = {{{192, 168, 1, 1}, "192.168.1.1"},
                 {{0, 0, 0, 0}, "0.0.0.0"},
                 {{255, 255, 255, 255}, "255.255.255.255"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(m_host.ActivatePage(&m_login));
        m_login.m_address.SetAddress(c.fields[0], c.fields[1], c.fields[2], c.fields[3]);
        Enter("admin", "secret");
        EXPECT_TRUE(NextLeavesThePage()) << c.text;
        EXPECT_EQ(m_host.GetCurrentPage(), &m_verify);
        EXPECT_STREQ(DeviceAddress, c.text);
        EXPECT_EQ(m_verify.AddressLabel().GetWindowText().str(), c.text);
    }
    EXPECT_EQ(AdminUserName.str(), "admin");
    EXPECT_STREQ(AdminPassword, "secret");
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(LoginPageTest, AnIncompleteAddressShowsFillIpAndStaysButStoresTheCredentials) {
    std::strcpy(DeviceAddress, "10.0.0.1");
    Enter("root", "pw");
    EXPECT_FALSE(NextLeavesThePage()) << "blank address";
    m_login.m_address.SetAddress(192, 168, 1, 1);
    BlankOneField();
    Enter("user2", "pw2");
    EXPECT_FALSE(NextLeavesThePage()) << "one field blank";
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{kFillIpText, kFillIpText}));
    EXPECT_STREQ(DeviceAddress, "10.0.0.1") << "the old address stays";
    EXPECT_EQ(AdminUserName.str(), "user2");
    EXPECT_STREQ(AdminPassword, "pw2");
    EXPECT_TRUE(HasVisibleStyle(m_login));
}

TEST_F(LoginPageTest, WithoutMsgIniTheMessageBoxIsEmpty) {
    ::DeleteFileA(MsgIniPath().c_str());
    EXPECT_FALSE(NextLeavesThePage());
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{""}));
}

TEST_F(LoginPageTest, MsgIniIsReadAtEveryUse) {
    EXPECT_FALSE(NextLeavesThePage());
    WriteMsgIni("[MSG]\r\nFillIP=Changed text, a little longer than before.\r\n");
    EXPECT_FALSE(NextLeavesThePage());
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{
                                   kFillIpText, "Changed text, a little longer than before."}));
}

TEST_F(LoginPageTest, CredentialsThatDoNotFitAreRefusedWholeAndNothingIsStored) {
    const struct {
        const char* name;
        std::string user;
        std::string password;
        const char* message; // null: accepted
    } cases[] = {
        // The password is checked first; a password that fits its own field
        // can still make the credential text too long.
        {"128-character password", "", std::string(128, 'p'), kPasswordTooLongText},
        {"127-character password", "", std::string(127, 'p'), kCredentialTooLongText},
        {"77-character password alone", "", std::string(77, 'p'), nullptr},
        {"credential of 78 characters", std::string(40, 'u'), std::string(37, 'p'), nullptr},
        {"credential of 79 characters", std::string(40, 'u'), std::string(38, 'p'),
         kCredentialTooLongText},
        {"long user, empty password", std::string(78, 'u'), "", kCredentialTooLongText},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(m_host.ActivatePage(&m_login));
        std::strcpy(AdminPassword, "before");
        AdminUserName = "before";
        std::strcpy(DeviceAddress, "");
        m_boxes.Clear();
        m_login.m_address.SetAddress(192, 168, 1, 1);
        Enter(c.user.c_str(), c.password);
        const bool left = NextLeavesThePage();
        if (!c.message) {
            EXPECT_TRUE(left) << c.name;
            EXPECT_EQ(std::string(AdminPassword), c.password) << c.name;
            EXPECT_EQ(AdminUserName.str(), c.user) << c.name;
            EXPECT_STREQ(DeviceAddress, "192.168.1.1") << c.name;
            EXPECT_TRUE(m_boxes.Texts().empty()) << c.name;
        } else {
            EXPECT_FALSE(left) << c.name;
            EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{c.message})) << c.name;
            EXPECT_STREQ(AdminPassword, "before") << c.name;
            EXPECT_EQ(AdminUserName.str(), "before") << c.name;
            EXPECT_STREQ(DeviceAddress, "") << c.name;
        }
    }
}

TEST_F(LoginPageTest, EnterInAnEditNeitherLeavesNorHidesThePage) {
    ClickCommand(m_login, IDOK);
    PumpMessages();
    EXPECT_EQ(m_host.GetCurrentPage(), &m_login);
    EXPECT_TRUE(HasVisibleStyle(m_login));
    EXPECT_TRUE(m_host.m_navigations.empty());
}
} // namespace
