// The main window: its shape, its caption, the ways the wizard ends, and the
// frame changes by the position of the current page, in the shipped skin.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/firmware_updater_app.h"
#include "app/page_registry.h"
#include "app/wizard_main_dialog.h"
#include "wizard/wizard_messages.h"
#include "tests/support/import_hook.h"

#include <commctrl.h>

namespace {

FirmwareUpdaterApp g_app;

// The program's DeleteObject, recorded, so that a test sees which handles
// the program deletes itself.
ImportHook* g_deleteHook = nullptr;
std::mutex g_deletedMutex;
std::vector<HGDIOBJ> g_deleted;
BOOL WINAPI RecordDeletion(HGDIOBJ object) {
    {
        std::lock_guard<std::mutex> lock(g_deletedMutex);
        g_deleted.push_back(object);
    }
    return g_deleteHook->Original<decltype(&::DeleteObject)>()(object);
}
int Deletions(HGDIOBJ object) {
    std::lock_guard<std::mutex> lock(g_deletedMutex);
    return static_cast<int>(std::count(g_deleted.begin(), g_deleted.end(), object));
}

class VetoPage : public WizardPage {
public:
    explicit VetoPage(UINT templateId) : WizardPage(templateId) {}
    BOOL OnQueryCancel() override {
        ++cancelQueries;
        return FALSE;
    }
    int cancelQueries = 0;
};

// The real page templates in list order, each with a page that refuses to
// let the wizard be cancelled.
constexpr UINT kTemplates[] = {IDD_LANGUAGE, IDD_WELCOME,       IDD_LOGIN, IDD_VERIFY,
                               IDD_UPLOAD,   IDD_LANGUAGE_PACK, IDD_FINISH};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_app.m_skin.m_moduleDir = FWU_DIST_DIR;
        g_app.m_skin.m_iniPath = CString(FWU_DIST_DIR) + "English.ini";
        g_app.m_skin.LoadCommonSection();
        for (UINT id : kTemplates) {
            pages.push_back(std::make_unique<VetoPage>(id));
            main.AddPage(pages.back().get(), static_cast<int>(id));
        }
        g_app.m_pMainWnd = &main;
    }
    void TearDown() override { g_app.m_pMainWnd = nullptr; }

    // Runs the wizard modally; each step runs on its own timer tick.
    INT_PTR RunModal(std::vector<std::function<void()>> steps) { return RunModal(main, steps); }
    INT_PTR RunModal(CDialog& dialog, std::vector<std::function<void()>> steps) {
        script = std::move(steps);
        next = 0;
        current = this;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 150, &Tick);
        const INT_PTR result = dialog.DoModal();
        ::KillTimer(nullptr, timer);
        current = nullptr;
        return result;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (current && current->next < current->script.size())
            current->script[current->next++]();
    }
    void Click(int id) {
        main.PostMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(main.GetDlgItem(id)));
    }
    bool Visible(int id) { return ::IsWindowVisible(main.GetDlgItem(id)) != FALSE; }
    CString Text(int id) {
        char text[64] = {};
        ::GetWindowTextA(main.GetDlgItem(id), text, sizeof text);
        return text;
    }

    static MainWindowTest* current;
    std::vector<std::function<void()>> script;
    size_t next = 0;
    std::vector<std::unique_ptr<VetoPage>> pages;
    WizardMainDialog main;
};
MainWindowTest* MainWindowTest::current = nullptr;

// Steps of a test without the fixture, one per timer tick.
std::vector<std::function<void()>> script;
size_t next = 0;
void CALLBACK RunStep(HWND, UINT, UINT_PTR, DWORD) {
    if (next < script.size())
        script[next++]();
}

TEST_F(MainWindowTest, TheExitButtonEndsTheWizardWithoutAskingThePages) {
    const INT_PTR result = RunModal({[&] { Click(IDC_MAIN_EXIT); }, [&] { main.EndDialog(-5); }});
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(pages[0]->cancelQueries, 0);
}

TEST_F(MainWindowTest, NavigateTwoClosesAtOnceAndOtherValuesAreIgnored) {
    int indexAfterNext = -1, indexAfterOdd = -1;
    const INT_PTR result = RunModal({
        [&] { main.PostMessage(WM_WIZARD_NAVIGATE, NAVIGATE_NEXT, 0); },
        [&] {
            indexAfterNext = main.GetCurrentPageIndex();
            main.PostMessage(WM_WIZARD_NAVIGATE, 7, 0);
        },
        [&] {
            indexAfterOdd = main.GetCurrentPageIndex();
            main.PostMessage(WM_WIZARD_NAVIGATE, NAVIGATE_CLOSE, 0);
        },
        [&] { main.EndDialog(-5); },
    });
    EXPECT_EQ(indexAfterNext, 1);
    EXPECT_EQ(indexAfterOdd, 1);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(pages[0]->cancelQueries, 0);
}

TEST_F(MainWindowTest, EnterEscapeAndClosingAreRefusedWhereExitIsNot) {
    // As while the firmware is written: a page refuses to be cancelled.
    struct Attempt {
        const char* name;
        std::function<void()> make;
        bool openAfter = false;
    };
    auto keyAt = [&](int id, WPARAM key) {
        HWND button = main.GetDlgItem(id);
        ::PostMessageA(button, WM_KEYDOWN, key, 1);
        ::PostMessageA(button, WM_KEYUP, key, 0xC0000001);
    };
    auto key = [&](WPARAM key) { keyAt(IDC_MAIN_NEXT, key); };
    Attempt attempts[] = {
        {"Enter", [&] { key(VK_RETURN); }},
        {"Escape", [&] { key(VK_ESCAPE); }},
        {"Alt+F4 / task bar Close", [&] { main.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [&] { main.PostMessage(WM_CLOSE); }},
    };
    // On the login page, which shows the frame buttons.
    std::vector<std::function<void()>> steps = {[&] {
        main.OnNext();
        main.OnNext();
    }};
    for (size_t i = 0; i < std::size(attempts); ++i) {
        steps.push_back([&, i] {
            if (i > 0)
                attempts[i - 1].openAfter = ::IsWindowVisible(main.m_hWnd) != FALSE;
            attempts[i].make();
        });
    }
    // Enter on a button that holds the focus presses that button, once: the
    // repeats of a held Enter press nothing.
    int pageAfterRepeat = -1, pageAfterEnterOnBack = -1;
    steps.push_back([&] {
        attempts[std::size(attempts) - 1].openAfter = ::IsWindowVisible(main.m_hWnd) != FALSE;
        ::SetFocus(main.GetDlgItem(IDC_MAIN_BACK));
        ::PostMessageA(main.GetDlgItem(IDC_MAIN_BACK), WM_KEYDOWN, VK_RETURN, 1 | (1 << 30));
    });
    steps.push_back([&] {
        pageAfterRepeat = main.GetCurrentPageIndex();
        keyAt(IDC_MAIN_BACK, VK_RETURN);
    });
    steps.push_back([&] {
        pageAfterEnterOnBack = main.GetCurrentPageIndex();
        Click(IDC_MAIN_EXIT);
    });
    steps.push_back([&] { main.EndDialog(-5); });
    const INT_PTR result = RunModal(steps);
    EXPECT_EQ(pageAfterRepeat, 2) << "a repeat of a held Enter presses nothing";
    EXPECT_EQ(pageAfterEnterOnBack, 1) << "Enter on the focused Back button goes back";
    for (const Attempt& attempt : attempts)
        EXPECT_TRUE(attempt.openAfter) << attempt.name;
    EXPECT_EQ(pages[0]->cancelQueries, 3) << "Escape and both closings ask, Enter does not";
    EXPECT_EQ(result, IDOK);
}

TEST_F(MainWindowTest, ASystemColourChangeReloadsTheBackgroundPicture) {
    HBITMAP before = nullptr, after = nullptr;
    RunModal({
        [&] {
            before = main.m_background.GetBitmapHandle();
            main.SendMessage(WM_SYSCOLORCHANGE);
            after = main.m_background.GetBitmapHandle();
        },
        [&] { main.EndDialog(IDOK); },
    });
    ASSERT_NE(before, nullptr);
    EXPECT_NE(after, nullptr);
    EXPECT_NE(after, before) << "read again from its file";
}

TEST_F(MainWindowTest, TheWindowRegionIsNeverDeletedByTheProgram) {
    ImportHook spy("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&RecordDeletion));
    ASSERT_TRUE(spy.Installed());
    g_deleteHook = &spy;
    std::vector<HGDIOBJ> regions;
    {
        // A main window of its own, so that its destruction is inside the test.
        WizardMainDialog window;
        VetoPage page(IDD_LANGUAGE);
        window.AddPage(&page, IDD_LANGUAGE);
        g_app.m_pMainWnd = &window;
        RunModal(window, {
                             [&] {
                                 regions.push_back(window.m_windowRegion.GetSafeHandle());
                                 window.SetWindowPos(nullptr, 0, 0, 300, 200,
                                                     SWP_NOMOVE | SWP_NOZORDER);
                             },
                             [&] {
                                 regions.push_back(window.m_windowRegion.GetSafeHandle());
                                 window.EndDialog(IDOK);
                             },
                         });
        g_app.m_pMainWnd = &main;
    }
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_NE(regions[0], regions[1]) << "a new region for the new size";
    for (HGDIOBJ region : regions) {
        ASSERT_NE(region, nullptr);
        EXPECT_EQ(Deletions(region), 0) << "the window system owns it";
    }
}

// Windows lets the PC sleep unless a thread asks it to stay awake; this
// stand-in only counts the asking and the letting go.
std::pair<int, int> g_awake; // asked, let go
EXECUTION_STATE WINAPI CountAwake(EXECUTION_STATE flags) {
    ++(flags == (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) ? g_awake.first : g_awake.second);
    return ES_CONTINUOUS; // the state before, as documented
}

TEST_F(MainWindowTest, ThePcStaysAwakeFromTheUpgradeClickUntilTheFinishPageOrTheEnd) {
    ImportHook hook("kernel32.dll", "SetThreadExecutionState",
                    reinterpret_cast<void*>(&CountAwake));
    EXPECT_TRUE(hook.Installed());
    std::vector<std::pair<int, int>> seen; // after each move, then at the end
    auto move = [&](int pages) {
        for (; pages > 0; --pages)
            main.OnNext();
        for (; pages < 0; ++pages)
            main.OnBack();
        seen.push_back(g_awake);
    };
    RunModal({[&] {
                  move(3);  // to the verify page
                  move(1);  // Upgrade
                  move(2);  // to the finish page
                  move(-3); // back to the verify page
                  move(1);  // Upgrade again, then the wizard ends early
              },
              [&] { main.EndDialog(IDOK); }});
    seen.push_back(g_awake);
    EXPECT_EQ(seen,
              (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {1, 1}, {1, 1}, {2, 1}, {2, 2}}));
}

TEST_F(MainWindowTest, CaptionAndRoundedCornersAtEverySize) {
    struct Shape {
        bool isRegion;
        RECT box;
        bool corner, topMiddle, farCorner;
    };
    auto measure = [&] {
        Shape shape{};
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        shape.isRegion = ::GetWindowRgn(main.m_hWnd, region) != ERROR;
        ::GetRgnBox(region, &shape.box);
        shape.corner = ::PtInRegion(region, 0, 0) != FALSE;
        shape.topMiddle = ::PtInRegion(region, shape.box.right / 2, 0) != FALSE;
        shape.farCorner = ::PtInRegion(region, shape.box.right - 1, shape.box.bottom - 1) != FALSE;
        ::DeleteObject(region);
        return shape;
    };
    Shape first{}, resized{};
    RECT window{};
    CString caption;
    RunModal({
        [&] {
            main.GetWindowRect(&window);
            caption = main.GetWindowText();
            first = measure();
            main.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
        },
        [&] {
            resized = measure();
            main.EndDialog(IDOK);
        },
    });
    EXPECT_EQ(caption, "Firmware Upgrade Utility");
    ASSERT_TRUE(first.isRegion);
    // A round-rectangle region leaves out its last column and row.
    EXPECT_NEAR(first.box.right, window.right - window.left, 1);
    EXPECT_NEAR(first.box.bottom, window.bottom - window.top, 1);
    EXPECT_FALSE(first.corner);
    EXPECT_TRUE(first.topMiddle);
    EXPECT_FALSE(first.farCorner);
    ASSERT_TRUE(resized.isRegion);
    EXPECT_NEAR(resized.box.right, 300, 1);
    EXPECT_NEAR(resized.box.bottom, 200, 1);
    EXPECT_FALSE(resized.corner);
    EXPECT_FALSE(resized.farCorner);
}

TEST_F(MainWindowTest, TheFrameFollowsThePagePosition) {
    struct Seen {
        bool buttons, label1;
        CString next;
    };
    auto look = [&] {
        return Seen{Visible(IDC_MAIN_NEXT) && Visible(IDC_MAIN_BACK) && Visible(IDC_MAIN_EXIT),
                    Visible(IDC_MAIN_LABEL1), Text(IDC_MAIN_NEXT)};
    };
    Seen language{}, login{}, verify{}, backAtLogin{}, upload{}, finish{}, backAtWelcome{};
    RunModal({
        [&] { language = look(); },
        [&] {
            main.OnNext();
            main.OnNext();
            login = look();
        },
        [&] {
            main.OnNext();
            verify = look();
        },
        [&] {
            main.OnBack();
            backAtLogin = look();
        },
        [&] {
            main.OnBack();
            backAtWelcome = look();
        },
        [&] {
            main.OnNext();
            main.OnNext();
            main.OnNext();
            upload = look();
        },
        [&] {
            main.OnNext();
            main.OnNext();
            finish = look();
        },
        [&] { main.EndDialog(IDOK); },
    });
    EXPECT_FALSE(language.buttons);
    EXPECT_TRUE(login.buttons);
    EXPECT_FALSE(login.label1);
    EXPECT_EQ(verify.next, "Upgrade") << "the Next button wears its Upgrade look";
    EXPECT_EQ(backAtLogin.next, "Next");
    EXPECT_FALSE(backAtWelcome.buttons);
    EXPECT_TRUE(backAtWelcome.label1);
    EXPECT_FALSE(upload.buttons);
    EXPECT_FALSE(finish.buttons);
    EXPECT_TRUE(finish.label1);
}

// Keys read from the skin file by the program (the UI thread only).
ImportHook* g_profileHook = nullptr;
int g_profileReads = 0;
DWORD WINAPI CountProfileRead(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out, DWORD size,
                              LPCSTR file) {
    ++g_profileReads;
    return g_profileHook->Original<decltype(&::GetPrivateProfileStringA)>()(section, key, fallback,
                                                                            out, size, file);
}

// The control that holds the keyboard focus, as the dialog sees it: the
// address control for one of its fields; 0 for none or a dialog itself.
int FocusedControl() {
    HWND focus = ::GetFocus();
    char name[16] = {};
    for (HWND parent = focus ? ::GetParent(focus) : nullptr; parent; parent = ::GetParent(focus)) {
        ::GetClassNameA(parent, name, sizeof name);
        if (::lstrcmpA(name, "#32770") == 0)
            break;
        focus = parent;
    }
    ::GetClassNameA(focus, name, sizeof name);
    return focus && ::lstrcmpA(name, "#32770") != 0 ? ::GetDlgCtrlID(focus) : 0;
}

// A key pressed and released where the focus stands, through the message
// loop as a typed key goes.
void PostKey(WPARAM key) {
    HWND target = ::GetFocus();
    ::PostMessageA(target, WM_KEYDOWN, key, 1);
    ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// The real pages in the real main window: where the focus stands when a page
// shows, and where each Tab takes it. Every page's controls come first, then
// the main window's Next, Back and Exit, and round again.
TEST(KeyboardTest, TabWalksEveryPageInOrderAndTheFocusStartsOnThePage) {
    g_app.m_skin.m_moduleDir = FWU_DIST_DIR;
    g_app.m_skin.m_iniPath = CString(FWU_DIST_DIR) + "English.ini";
    g_app.m_skin.LoadCommonSection();
    WizardMainDialog main;
    WizardPages pages;
    pages.RegisterWith(main);
    g_app.m_pMainWnd = &main;

    struct Walk {
        const char* page;
        int tabs;
        std::vector<int> seen; // the focus first, then after every Tab
        int readsAtNext = 0;   // keys read from the skin by the Next click
    };
    std::vector<Walk> walks = {
        {"language", 3, {}}, {"welcome", 2, {}}, {"login", 6, {}}, {"verify", 3, {}}};
    std::vector<std::function<void()>> steps;
    for (size_t w = 0; w < walks.size(); ++w) {
        if (w > 0) {
            // The user reads the page for as long as the next one takes to be
            // built (a bounded wait: an unbuilt page is found out below).
            steps.push_back([&, wait = 0]() mutable {
                if (!main.FindPageById(static_cast<int>(kTemplates[w]))->Built() && ++wait < 50)
                    --next;
            });
            steps.push_back([&, w] {
                if (w == 3) // an address the login page accepts
                    pages.login.m_address.SendMessage(IPM_SETADDRESS, 0,
                                                      MAKEIPADDRESS(192, 168, 1, 1));
                const int before = g_profileReads;
                main.OnNext();
                walks[w].readsAtNext = g_profileReads - before;
            });
        }
        steps.push_back([&, w] { walks[w].seen.push_back(FocusedControl()); });
        for (int t = 0; t < walks[w].tabs; ++t) {
            steps.push_back([] { PostKey(VK_TAB); });
            steps.push_back([&, w] { walks[w].seen.push_back(FocusedControl()); });
        }
    }
    steps.push_back([&] { main.EndDialog(IDOK); });

    script = std::move(steps);
    next = 0;
    ImportHook reads("kernel32.dll", "GetPrivateProfileStringA",
                     reinterpret_cast<void*>(&CountProfileRead));
    ASSERT_TRUE(reads.Installed());
    g_profileHook = &reads;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &RunStep);
    main.DoModal();
    ::KillTimer(nullptr, timer);
    g_app.m_pMainWnd = nullptr;

    const std::vector<int> expected[] = {
        {IDC_LANGUAGE_LIST, IDC_LANGUAGE_NEXT, IDC_LANGUAGE_EXIT, IDC_LANGUAGE_LIST},
        {IDC_WELCOME_START, IDC_WELCOME_EXIT, IDC_WELCOME_START},
        {IDC_LOGIN_ADDRESS, IDC_LOGIN_USER, IDC_LOGIN_PASSWORD, IDC_MAIN_NEXT, IDC_MAIN_BACK,
         IDC_MAIN_EXIT, IDC_LOGIN_ADDRESS},
        {IDC_MAIN_NEXT, IDC_MAIN_BACK, IDC_MAIN_EXIT, IDC_MAIN_NEXT},
    };
    for (size_t w = 0; w < walks.size(); ++w)
        EXPECT_EQ(walks[w].seen, expected[w]) << walks[w].page << " page";
    // Each page was built while the one before it was read: Next reads only
    // the frame's own entries (DialogMain background_nothing's four keys at
    // the login page, the Upgrade button's eleven at the verify page).
    EXPECT_EQ(walks[1].readsAtNext, 0);
    EXPECT_EQ(walks[2].readsAtNext, 4);
    EXPECT_EQ(walks[3].readsAtNext, 11);
}

} // namespace
