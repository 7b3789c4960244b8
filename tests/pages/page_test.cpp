// The language, welcome, verify and finish pages in a host that records
// what they ask of the main window.
#include <gtest/gtest.h>

#include <cstring>

#include "app/page_registry.h"
#include "wizard/wizard_messages.h"
#include "pages/finish_page.h"
#include "pages/language_page.h"
#include "pages/login_page.h"
#include "shared/shared_values.h"
#include "pages/verify_page.h"
#include "pages/welcome_page.h"
#include "tests/pages/page_test_support.h"

namespace {
// The page outlives the host, whose window destroys the page's.
template <class Page> class PageTest : public ::testing::Test {
protected:
    // The page becomes the host's first (and only) page and is shown.
    void Show() {
        m_host.AddPage(&page, page.m_pageId);
        ASSERT_TRUE(m_host.Open());
        ASSERT_TRUE(page.m_active);
        PumpMessages();
        m_host.m_navigations.clear();
    }
    void Click(int id) {
        ClickCommand(page, id);
        PumpMessages();
    }
    MessageBoxWatcher m_boxes;
    Page page;
    RecordingHost m_host;
};
using LanguagePageTest = PageTest<LanguagePage>;
using WelcomePageTest = PageTest<WelcomePage>;
using FinishPageTest = PageTest<FinishPage>;
using VerifyPageTest = PageTest<VerifyPage>;

TEST(LanguageCode, ExactCaseSensitiveCodesOnly) {
    const struct {
        const char* text;
        int value;
    } cases[] = {{"EN", 1}, {"FR", 2}, {"DE", 3},  {"en", 0},
                 {"De", 0}, {"", 0},   {"ENG", 0}, {" EN", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(LanguageCodeValue(c.text), c.value) << "'" << c.text << "'";
}

TEST_F(LanguagePageTest, LanguageListOffersTheThreeCodesWithEnglishSelected) {
    Show();
    ASSERT_EQ(page.m_languageList.GetCount(), 3);
    const char* expected[] = {"DE", "EN", "FR"};
    for (int i = 0; i < 3; ++i) {
        CString text;
        page.m_languageList.GetLBText(i, text);
        EXPECT_EQ(text.str(), expected[i]);
    }
    EXPECT_EQ(page.m_languageList.GetCurSel(), 1);
    EXPECT_TRUE(m_boxes.Texts().empty()) << "the skin loads without complaint";
}

TEST_F(LanguagePageTest, NextStoresTheChosenLanguageAndMovesOn) {
    Show();
    SelectedLanguage = 1;
    const struct {
        int index;
        int language;
    } choices[] = {{1, 1}, {0, 3}, {2, 2}};
    for (const auto& choice : choices) {
        page.m_languageList.SetCurSel(choice.index);
        Click(IDC_LANGUAGE_NEXT);
        EXPECT_EQ(SelectedLanguage, choice.language) << "list index " << choice.index;
        ASSERT_EQ(m_host.m_navigations.size(), 1u);
        EXPECT_EQ(m_host.m_navigations[0], 1u);
        m_host.m_navigations.clear();
    }
}

TEST_F(LanguagePageTest, LanguageExitClosesWithoutChangingTheLanguage) {
    Show();
    SelectedLanguage = 2;
    page.m_languageList.SetCurSel(0);
    Click(IDC_LANGUAGE_EXIT);
    EXPECT_EQ(SelectedLanguage, 2);
    ASSERT_EQ(m_host.m_navigations.size(), 1u);
    EXPECT_EQ(m_host.m_navigations[0], 2u);
}

TEST(PagesEnter, EnterPressesAFocusedButtonAndOtherwiseChangesNothing) {
    MessageBoxWatcher boxes;
    LanguagePage language;
    WelcomePage welcome;
    LoginPage login;
    VerifyPage verify;
    FinishPage finish;
    RecordingHost host;
    WizardPage* const pages[] = {&language, &welcome, &login, &verify, &finish};
    for (WizardPage* page : pages)
        host.AddPage(page, page->m_pageId);
    ASSERT_TRUE(host.Open());
    struct Case {
        WizardPage* page;
        int focus; // 0: the page itself
        std::vector<WPARAM> navigations;
    } cases[] = {
        {&language, IDC_LANGUAGE_LIST, {}}, {&language, 0, {}},
        {&welcome, IDC_WELCOME_LABEL1, {}}, {&welcome, IDC_WELCOME_START, {NAVIGATE_NEXT}},
        {&login, IDC_LOGIN_USER, {}},       {&verify, 0, {}},
        {&finish, IDC_FINISH_LABEL1, {}},   {&finish, IDC_FINISH_EXIT, {NAVIGATE_CLOSE}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(host.ActivatePage(c.page));
        PumpMessages();
        ::SetFocus(c.focus ? c.page->GetDlgItem(c.focus) : c.page->m_hWnd);
        host.m_navigations.clear();
        // What the dialog manager sends for Enter when no standard push
        // button has the focus (the skinned buttons are owner-drawn).
        c.page->SendMessage(WM_COMMAND, IDOK, 0);
        PumpMessages();
        EXPECT_TRUE(HasVisibleStyle(*c.page)) << c.page->m_pageId << "/" << c.focus;
        EXPECT_EQ(host.GetCurrentPage(), c.page) << c.page->m_pageId << "/" << c.focus;
        EXPECT_EQ(host.m_navigations, c.navigations) << c.page->m_pageId << "/" << c.focus;
    }
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(WelcomePageTest, WelcomeStartMovesOnAndExitCloses) {
    Show();
    Click(IDC_WELCOME_START);
    Click(IDC_WELCOME_EXIT);
    EXPECT_EQ(m_host.m_navigations, (std::vector<WPARAM>{1, 2}));
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(FinishPageTest, FinishExitClosesTheWizard) {
    Show();
    EXPECT_TRUE(SaveWindowShot(m_host, "finish"));
    Click(IDC_FINISH_EXIT);
    EXPECT_EQ(m_host.m_navigations, (std::vector<WPARAM>{2}));
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(VerifyPageTest, VerifyShowsTheAddressAtEveryActivation) {
    std::strcpy(DeviceAddress, "192.168.1.1");
    Show();
    EXPECT_EQ(page.AddressLabel().GetWindowText().str(), "192.168.1.1");
    std::strcpy(DeviceAddress, "10.0.0.1");
    ASSERT_TRUE(m_host.ActivatePage(&page));
    EXPECT_EQ(page.AddressLabel().GetWindowText().str(), "10.0.0.1");
    EXPECT_TRUE(m_boxes.Texts().empty());
}
} // namespace

namespace {
TEST(PageRegistry, TheSevenPagesJoinInWizardOrderUnderTheirTemplateIds) {
    WizardPages pages;
    RecordingHost host;
    pages.RegisterWith(host);
    // The language-pack page (135) stands before the finish page (134).
    const int order[] = {129, 130, 131, 132, 133, 135, 134};
    ASSERT_EQ(host.m_pageList.GetCount(), 7);
    for (int position = 0; position < 7; ++position) {
        WizardPage* page = host.FindPageById(order[position]);
        ASSERT_NE(page, nullptr) << order[position];
        EXPECT_EQ(host.GetPageIndex(page), position) << order[position];
    }
    EXPECT_EQ(host.FindPageById(129), &pages.language);
    EXPECT_EQ(host.FindPageById(134), &pages.finish);
}
} // namespace
