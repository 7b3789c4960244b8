// The wizard frame: page list, navigation rules, cancelling, dragging and
// control colours, with pages of the test's own in the real templates.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "controls/skinned_label.h"
#include "skin/skin_entries.h"
#include "wizard/wizard_host_dialog.h"
#include "res/resource.h"
#include "tests/support/import_hook.h"
#include "tests/support/message_pump.h"

namespace {

CWinApp g_app("FrameTest");

// A page whose answers the test sets, counting what the host asks of it.
class ProbePage : public WizardPage {
public:
    explicit ProbePage(UINT templateId = IDD_VERIFY) : WizardPage(templateId) {}
    BOOL OnPageCreate() override {
        ++creates;
        return createAnswer;
    }
    void OnPageDestroy() override { ++destroys; }
    BOOL OnKillActive() override {
        ++kills;
        return killAnswer;
    }
    void OnSetActive() override {
        ++activations;
        currentDuringSetActive = m_host ? m_host->GetCurrentPage() : nullptr;
    }
    BOOL OnQueryCancel() override {
        ++cancelQueries;
        return cancelAnswer;
    }
    int GetBackPageId() override { return backAnswer; }
    int GetNextPageId() override { return nextAnswer; }
    bool BuildsAhead() const override { return buildsAhead; }

    bool buildsAhead = false;
    SkinnedLabel label;
    BOOL createAnswer = TRUE, killAnswer = TRUE, cancelAnswer = TRUE;
    int backAnswer = 0, nextAnswer = 0;
    int creates = 0, destroys = 0, kills = 0, activations = 0, cancelQueries = 0;
    WizardPage* currentDuringSetActive = reinterpret_cast<WizardPage*>(1);
};

class Host : public WizardHostDialog {
public:
    Host() : WizardHostDialog(IDD_MAIN) {}
};

// A host window with four probe pages; a page's id is its template id.
constexpr int kIds[] = {IDD_LANGUAGE, IDD_WELCOME, IDD_VERIFY, IDD_FINISH};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i) {
            pages.push_back(std::make_unique<ProbePage>(kIds[i]));
            host.AddPage(pages.back().get(), kIds[i]);
        }
        host.SetPlaceholderId(IDC_PAGE_PLACEHOLDER);
    }
    void Open() {
        ASSERT_TRUE(host.Create(IDD_MAIN, nullptr));
        PumpMessages();
    }
    ProbePage& Page(int i) { return *pages[static_cast<size_t>(i)]; }

    std::vector<std::unique_ptr<ProbePage>> pages;
    Host host;
};

TEST_F(FrameTest, RegistryKeepsOrderAndIds) {
    EXPECT_EQ(host.GetPageIndex(&Page(2)), 2);
    EXPECT_EQ(host.FindPageById(kIds[2]), &Page(2));
    EXPECT_EQ(host.FindPageById(999), nullptr);
    ProbePage stranger;
    EXPECT_EQ(host.GetPageIndex(&stranger), -1);
    EXPECT_EQ(host.GetCurrentPageIndex(), -1);
    EXPECT_EQ(Page(3).m_pageId, kIds[3]);
}

TEST_F(FrameTest, OpeningShowsTheFirstPageAtThePlaceholder) {
    Open();
    EXPECT_EQ(host.GetCurrentPage(), &Page(0));
    EXPECT_TRUE(Page(0).IsWindowVisible());
    EXPECT_EQ(Page(0).m_host, &host);
    EXPECT_EQ(Page(0).creates, 1);
    EXPECT_EQ(Page(1).m_hWnd, nullptr) << "pages are created when first shown";
    RECT anchor, page;
    ::GetWindowRect(host.GetDlgItem(IDC_PAGE_PLACEHOLDER), &anchor);
    Page(0).GetWindowRect(&page);
    EXPECT_EQ(page.left, anchor.left);
    EXPECT_EQ(page.top, anchor.top);
    // No page is current while the new one prepares itself.
    EXPECT_EQ(Page(0).currentDuringSetActive, nullptr);
    EXPECT_TRUE(host.m_initialised);
}

TEST_F(FrameTest, NextAndBackWalkTheListAndReuseWindows) {
    Open();
    host.OnNext();
    host.OnNext();
    EXPECT_EQ(host.GetCurrentPageIndex(), 2);
    EXPECT_FALSE(Page(0).IsWindowVisible());
    host.OnBack();
    host.OnNext();
    EXPECT_EQ(host.GetCurrentPageIndex(), 2);
    EXPECT_EQ(Page(1).creates, 1) << "OnPageCreate runs once per run";
    EXPECT_EQ(Page(1).activations, 2) << "OnSetActive runs on every activation";
    EXPECT_EQ(Page(2).activations, 2);
}

TEST_F(FrameTest, NextAfterTheLastPageDoesNothing) {
    Open();
    for (int i = 0; i < 5; ++i)
        host.OnNext();
    EXPECT_EQ(host.GetCurrentPageIndex(), 3);
}

TEST_F(FrameTest, BackOnTheFirstPageDoesNothingWhateverItAnswers) {
    Open();
    Page(0).backAnswer = kIds[2];
    host.OnBack();
    EXPECT_EQ(host.GetCurrentPageIndex(), 0);
    EXPECT_EQ(Page(0).kills, 0) << "the first page is not even asked";
}

TEST_F(FrameTest, AnswersNameTheTargetPage) {
    Open();
    struct Case {
        const char* name;
        int answer;
        int expectedIndex;
    } cases[] = {
        {"minus one stays", -1, 0},
        {"an id not in the list stays", 999, 0},
        {"an id jumps to that page", kIds[3], 3},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(host.ActivatePage(&Page(0)));
        Page(0).nextAnswer = c.answer;
        host.OnNext();
        EXPECT_EQ(host.GetCurrentPageIndex(), c.expectedIndex) << c.name;
    }
    Page(3).backAnswer = kIds[1];
    host.OnBack();
    EXPECT_EQ(host.GetCurrentPageIndex(), 1) << "back to a named page";
}

TEST_F(FrameTest, StayingKeepsThePageAndWhatWasTyped) {
    Open();
    Page(0).nextAnswer = -1;
    ::SetWindowTextA(Page(0).GetDlgItem(IDC_LANGUAGE_LABEL1), "typed");
    host.OnNext();
    EXPECT_EQ(host.GetCurrentPage(), &Page(0));
    EXPECT_TRUE(Page(0).IsWindowVisible());
    char text[16] = {};
    ::GetWindowTextA(Page(0).GetDlgItem(IDC_LANGUAGE_LABEL1), text, sizeof text);
    EXPECT_STREQ(text, "typed");
}

TEST_F(FrameTest, ActivatingTheCurrentPageHidesAndShowsItAgain) {
    Open();
    ASSERT_TRUE(host.ActivatePage(&Page(0)));
    EXPECT_EQ(Page(0).kills, 1);
    EXPECT_EQ(Page(0).activations, 2);
    EXPECT_EQ(Page(0).creates, 1);
    EXPECT_EQ(host.GetCurrentPage(), &Page(0));
}

TEST_F(FrameTest, ARefusedActivationLeavesTheCurrentPageCurrent) {
    Open();
    Page(1).createAnswer = FALSE;
    EXPECT_FALSE(host.ActivatePage(&Page(1)));
    EXPECT_EQ(host.GetCurrentPage(), &Page(0));
    EXPECT_TRUE(Page(0).IsWindowVisible());
    EXPECT_TRUE(Page(1).m_created) << "the window stays, hidden";
    EXPECT_FALSE(Page(1).IsWindowVisible());
    // Created once: the next activation neither creates nor asks again.
    EXPECT_TRUE(host.ActivatePage(&Page(1)));
    EXPECT_EQ(Page(1).creates, 1);

    Page(1).killAnswer = FALSE;
    host.OnNext();
    EXPECT_EQ(host.GetCurrentPage(), &Page(1)) << "a page that refuses to go stays";
    EXPECT_EQ(Page(2).activations, 0);
}

TEST_F(FrameTest, DestroyingTheHostDestroysThePagesInOrder) {
    Open();
    host.OnNext();
    Page(2).buildsAhead = true;
    while (host.OnIdle(0)) {
    }
    host.DestroyWindow();
    EXPECT_EQ(Page(0).destroys, 1);
    EXPECT_EQ(Page(1).destroys, 1);
    EXPECT_EQ(Page(2).destroys + Page(2).kills, 0) << "built ahead, never shown";
    EXPECT_FALSE(::IsWindow(Page(2).m_hWnd));
    EXPECT_FALSE(Page(0).m_created);
}

std::vector<CString> g_told;
void Tell(const char* message) {
    g_told.emplace_back(message);
}

// The next page is built while the user reads this one; its skin's problems
// are told when the user moves to it, before it shows, as they were when it
// was built there and then.
TEST_F(FrameTest, APageBuiltAheadTellsItsProblemsWhenItIsFirstShown) {
    const SkinReporter previous = SetSkinReporter(&Tell);
    Page(1).buildsAhead = true;
    Page(1).m_controls = {{IDC_WELCOME_LABEL1, Page(1).label, "Nowhere", "Label1"}};
    Open();
    const HWND focus = ::GetFocus();
    while (host.OnIdle(0)) {
    }
    EXPECT_TRUE(Page(1).Built());
    EXPECT_FALSE(Page(1).IsWindowVisible());
    EXPECT_EQ(Page(1).creates, 0);
    EXPECT_TRUE(g_told.empty());
    EXPECT_EQ(::GetFocus(), focus) << "the focus stays on the page the user sees";
    host.OnNext();
    SetSkinReporter(previous);
    EXPECT_EQ(host.GetCurrentPage(), &Page(1));
    EXPECT_EQ(Page(1).creates, 1);
    ASSERT_EQ(g_told.size(), 1u);
    EXPECT_NE(g_told[0].Find("Label1.Type"), -1) << g_told[0].GetString();
}

// On Windows an input method can make the thread's default IME window inside
// the first dialog's creation, before the dialog; Wine makes none there.
// This stand-in for CreateDialogParamA makes one first, as Windows may.
ImportHook* g_createDialog = nullptr;
HWND g_imeWindow = nullptr;
HWND WINAPI CreateAfterAnImeWindow(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc,
                                   LPARAM param) {
    if (!g_imeWindow) // one for the thread
        g_imeWindow = ::CreateWindowExA(0, "IME", "Default IME", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, nullptr, nullptr);
    return g_createDialog->Original<decltype(&::CreateDialogParamA)>()(instance, name, parent, proc,
                                                                       param);
}

TEST_F(FrameTest, AnImeWindowMadeFirstDoesNotTakeTheDialogsPlace) {
    ImportHook hook("user32.dll", "CreateDialogParamA",
                    reinterpret_cast<void*>(&CreateAfterAnImeWindow));
    ASSERT_TRUE(hook.Installed());
    g_createDialog = &hook;
    Open(); // the object is bound to the window that Create returned
    ASSERT_NE(g_imeWindow, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(g_imeWindow), nullptr);
    ::DestroyWindow(g_imeWindow);
    EXPECT_TRUE(host.m_initialised) << "OnInitDialog ran";
}

// Runs the host modally while steps run from a timer, one per tick.
struct ModalScript {
    static ModalScript* current;
    std::vector<std::function<void()>> steps;
    size_t next = 0;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (current && current->next < current->steps.size())
            current->steps[current->next++]();
    }
};
ModalScript* ModalScript::current = nullptr;

void PressKey(HWND window, WPARAM key) {
    ::PostMessageA(window, WM_KEYDOWN, key, 1);
    ::PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

TEST_F(FrameTest, EscapeAsksThePagesAndAVetoKeepsTheWizardOpen) {
    Page(1).cancelAnswer = FALSE;
    Page(3).cancelAnswer = FALSE;
    bool openAfterVeto = false;
    ModalScript script;
    script.steps = {
        [&] { host.OnNext(); }, [&] { PressKey(host.GetDlgItem(IDC_MAIN_EXIT), VK_ESCAPE); },
        [&] {
            openAfterVeto = ::IsWindow(host.m_hWnd) && host.IsWindowVisible();
            Page(1).cancelAnswer = TRUE;
            // Escape where the focus mostly is, in the page, asks the same.
            PressKey(Page(1).m_hWnd, VK_ESCAPE);
        },
        [&] { host.EndDialog(-5); }, // only reached if Escape failed
    };
    ModalScript::current = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &ModalScript::Tick);
    const INT_PTR result = host.DoModal();
    ::KillTimer(nullptr, timer);
    ModalScript::current = nullptr;
    EXPECT_TRUE(openAfterVeto);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Page(0).cancelQueries, 2);
    EXPECT_EQ(Page(1).cancelQueries, 2);
    EXPECT_EQ(Page(3).cancelQueries, 0) << "a page never created is not asked";
}

TEST_F(FrameTest, EnterNeitherHidesAPageNorEndsTheWizard) {
    bool pageShownAfterEnter = false, currentAfterEnter = false, openAfterEnter = false;
    ModalScript script;
    script.steps = {
        // A button of the page has no Enter of its own: the page gets IDOK.
        [&] { PressKey(Page(0).GetDlgItem(IDC_LANGUAGE_NEXT), VK_RETURN); },
        [&] {
            pageShownAfterEnter = Page(0).IsWindowVisible();
            currentAfterEnter = host.GetCurrentPage() == &Page(0);
            // At the host's own button the host gets it.
            PressKey(host.GetDlgItem(IDC_MAIN_EXIT), VK_RETURN);
        },
        [&] {
            openAfterEnter = ::IsWindow(host.m_hWnd) && host.IsWindowVisible();
            host.EndDialog(-5);
        },
    };
    ModalScript::current = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &ModalScript::Tick);
    const INT_PTR result = host.DoModal();
    ::KillTimer(nullptr, timer);
    ModalScript::current = nullptr;
    EXPECT_TRUE(pageShownAfterEnter);
    EXPECT_TRUE(currentAfterEnter);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(result, -5);
    EXPECT_EQ(Page(0).cancelQueries, 0) << "Enter is no cancel either";
}

TEST_F(FrameTest, ClosingTheWindowAsksThePagesLikeEscape) {
    Page(1).cancelAnswer = FALSE;
    bool openAfterSysClose = false, openAfterClose = false;
    ModalScript script;
    script.steps = {
        [&] { host.OnNext(); },
        // The task bar's Close and Alt+F4 arrive as SC_CLOSE.
        [&] { host.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); },
        [&] {
            openAfterSysClose = ::IsWindow(host.m_hWnd) && host.IsWindowVisible();
            host.PostMessage(WM_CLOSE);
        },
        [&] {
            openAfterClose = ::IsWindow(host.m_hWnd) && host.IsWindowVisible();
            Page(1).cancelAnswer = TRUE;
            host.PostMessage(WM_CLOSE);
        },
        [&] { host.EndDialog(-5); }, // only reached if closing failed
    };
    ModalScript::current = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &ModalScript::Tick);
    const INT_PTR result = host.DoModal();
    ::KillTimer(nullptr, timer);
    ModalScript::current = nullptr;
    EXPECT_TRUE(openAfterSysClose);
    EXPECT_TRUE(openAfterClose);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Page(1).cancelQueries, 3);
}

TEST_F(FrameTest, TheEndOfTheModalRunDestroysThePagesThroughTheHost) {
    ModalScript script;
    script.steps = {
        [&] { host.OnNext(); },
        [&] { host.EndDialog(IDOK); },
    };
    ModalScript::current = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &ModalScript::Tick);
    host.DoModal();
    ::KillTimer(nullptr, timer);
    ModalScript::current = nullptr;
    for (int i : {0, 1}) {
        EXPECT_EQ(Page(i).destroys, 1) << "page " << i;
        EXPECT_FALSE(Page(i).m_created) << "page " << i;
        EXPECT_EQ(Page(i).m_hWnd, nullptr) << "page " << i;
    }
    EXPECT_EQ(Page(1).kills, 1) << "the current page is asked before it goes";
    EXPECT_EQ(Page(2).destroys, 0) << "never created";
}

// Counts one message at the window it is bound to.
class MessageCounter : public CWnd {
public:
    explicit MessageCounter(UINT watched) : m_watched(watched) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == m_watched)
            ++count;
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int count = 0;

private:
    UINT m_watched;
};

TEST_F(FrameTest, ASystemColourChangeReachesEveryControlOnce) {
    Open();
    MessageCounter hostControl(WM_SYSCOLORCHANGE), pageControl(WM_SYSCOLORCHANGE);
    ASSERT_TRUE(hostControl.SubclassDlgItem(IDC_BACKGROUND, &host));
    ASSERT_TRUE(pageControl.SubclassDlgItem(IDC_LANGUAGE_LABEL1, &Page(0)));
    // The system tells the top-level window only.
    host.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(hostControl.count, 1);
    EXPECT_EQ(pageControl.count, 1) << "a control of a page, two levels down";
    pageControl.UnsubclassWindow();
    hostControl.UnsubclassWindow();
}

TEST_F(FrameTest, LeftClickOnTheFreeSurfaceStartsAWindowDrag) {
    Open();
    MSG message;
    while (::PeekMessageA(&message, host.m_hWnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
    }
    const LPARAM point = MAKELPARAM(500, 380);
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, point);
    ASSERT_TRUE(
        ::PeekMessageA(&message, host.m_hWnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(message.lParam, point);

    // A click inside a page goes to the page, which starts nothing.
    Page(0).SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_FALSE(
        ::PeekMessageA(&message, host.m_hWnd, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    // The bottom strip (outside the page area) lets the click through.
    RECT client;
    host.GetClientRect(&client);
    POINT strip{10, client.bottom - 5};
    HWND under = ::ChildWindowFromPointEx(host.m_hWnd, strip, CWP_SKIPINVISIBLE);
    EXPECT_TRUE(under == host.m_hWnd ||
                ::SendMessageA(under, WM_NCHITTEST, 0, 0) == HTTRANSPARENT ||
                under == host.GetDlgItem(IDC_BACKGROUND));
}

struct ColourCase {
    const char* name;
    UINT message;
    COLORREF text;
    COLORREF background;
};

COLORREF Unset() {
    return RGB(1, 2, 3);
}

TEST_F(FrameTest, HostAndPageAnswerControlColoursByKind) {
    Open();
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HWND someControl = Page(0).GetDlgItem(IDC_LANGUAGE_LABEL1);
    const ColourCase hostCases[] = {
        {"static", WM_CTLCOLORSTATIC, RGB(205, 205, 238), RGB(102, 102, 204)},
        {"edit", WM_CTLCOLOREDIT, RGB(255, 255, 255), RGB(102, 102, 204)},
        {"list box", WM_CTLCOLORLISTBOX, RGB(255, 255, 255), RGB(102, 102, 204)},
        {"button", WM_CTLCOLORBTN, RGB(255, 255, 255), RGB(102, 102, 204)},
        {"scroll bar", WM_CTLCOLORSCROLLBAR, RGB(255, 255, 255), RGB(102, 102, 204)},
        {"dialog", WM_CTLCOLORDLG, Unset(), Unset()},
    };
    for (const ColourCase& c : hostCases) {
        ::SetTextColor(dc, Unset());
        ::SetBkColor(dc, Unset());
        const LRESULT brush = host.SendMessage(c.message, reinterpret_cast<WPARAM>(dc),
                                               reinterpret_cast<LPARAM>(someControl));
        EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(host.m_backgroundBrush))
            << c.name;
        EXPECT_EQ(::GetTextColor(dc), c.text) << c.name;
        EXPECT_EQ(::GetBkColor(dc), c.background) << c.name;
    }
    LOGBRUSH hostBrush{};
    ::GetObjectA(host.m_backgroundBrush.GetSafeHandle(), sizeof hostBrush, &hostBrush);
    EXPECT_EQ(hostBrush.lbColor, RGB(103, 125, 210));

    const ColourCase pageCases[] = {
        {"static", WM_CTLCOLORSTATIC, RGB(0, 0, 0), RGB(255, 255, 255)},
        {"edit", WM_CTLCOLOREDIT, RGB(0, 0, 0), RGB(255, 255, 255)},
        {"button", WM_CTLCOLORBTN, RGB(0, 0, 0), RGB(255, 255, 255)},
        {"dialog", WM_CTLCOLORDLG, Unset(), Unset()},
    };
    for (const ColourCase& c : pageCases) {
        ::SetTextColor(dc, Unset());
        ::SetBkColor(dc, Unset());
        const LRESULT brush = Page(0).SendMessage(c.message, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(someControl));
        EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(Page(0).m_brush)) << c.name;
        EXPECT_EQ(::GetTextColor(dc), c.text) << c.name;
        EXPECT_EQ(::GetBkColor(dc), c.background) << c.name;
    }
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
}

} // namespace

namespace {

// Counts what reaches the object: proof that the window is still routed to it.
class CountingWnd : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP)
            ++seen;
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int seen = 0;
};

HWND NewStatic() {
    return ::CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                           nullptr);
}

} // namespace

// The framework finds the object of a window from its own table (a window
// property would cost a trip to the window server on every message): one
// object per window, found from any thread, and forgotten when either the
// window or the object goes, so that a handle the system hands out again
// never leads to an object of the past.
TEST(WindowBinding, LastsAsLongAsBothTheWindowAndTheObject) {
    HWND window = NewStatic();
    ASSERT_NE(window, nullptr);
    {
        CountingWnd first;
        ASSERT_TRUE(first.SubclassWindow(window));
        EXPECT_EQ(CWnd::FromHandlePermanent(window), &first);
        CountingWnd second;
        EXPECT_FALSE(second.SubclassWindow(window)) << "two objects bound to one window";
        CWnd* seenByWorker = nullptr;
        std::thread([&] { seenByWorker = CWnd::FromHandlePermanent(window); }).join();
        EXPECT_EQ(seenByWorker, &first);
        ::SendMessageA(window, WM_APP, 0, 0);
        EXPECT_EQ(first.seen, 1);
    }
    // The object went first: the window lives on, unbound, with its own procedure.
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
    EXPECT_EQ(::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0), 0);
    CountingWnd again;
    EXPECT_TRUE(again.SubclassWindow(window));
    // The window goes first: the object lets go of it.
    ::DestroyWindow(window);
    EXPECT_EQ(again.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
}
