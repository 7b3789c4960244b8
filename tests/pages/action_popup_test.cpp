// The action popup's animation and the ticks on which it ends by mode.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "pages/action_popup.h"
#include "shared/timings.h"
#include "tests/pages/page_test_support.h"

namespace {
int VisibleFrame(ActionPopup& popup) {
    int visible = -1;
    for (int i = 0; i < ActionPopup::kFrameCount; ++i) {
        if (HasVisibleStyle(popup.m_frames[i])) {
            if (visible != -1)
                return -2; // more than one
            visible = i;
        }
    }
    return visible;
}

// Ticks until the popup ends, at most limit; limit + 1 when it never did.
int TicksToEnd(ActionPopup& popup, int limit) {
    for (int tick = 1; tick <= limit; ++tick) {
        if (popup.OnTick())
            return tick;
    }
    return limit + 1;
}

class ActionPopupTest : public ::testing::Test {
protected:
    // A modeless popup whose ticks the test gives itself.
    void Open(int mode) {
        m_popup.m_mode = mode;
        ASSERT_TRUE(m_popup.Create(IDD_ACTION, nullptr));
    }
    MessageBoxWatcher m_boxes;
    ActionPopup m_popup;
};

TEST(ActionFlags, ConstructionClearsAFlagSetBefore) {
    ActionDone = 1;
    ActionCloseNow = 1;
    ActionPopup popup;
    EXPECT_EQ(ActionDone.load(), 0);
    EXPECT_EQ(ActionCloseNow.load(), 0);
}

TEST_F(ActionPopupTest, FramesCycleFromTheFirstPicture) {
    Open(ActionPopup::kFindDevice);
    EXPECT_EQ(VisibleFrame(m_popup), 0);
    const int expected[] = {1, 2, 3, 0, 1, 2};
    for (int frame : expected) {
        EXPECT_FALSE(m_popup.OnTick());
        EXPECT_EQ(VisibleFrame(m_popup), frame);
    }
    EXPECT_EQ(m_popup.m_caption.GetWindowText().str(), "Searching for the router...");
    m_popup.ShowWindow(SW_SHOW);
    EXPECT_TRUE(SaveWindowShot(m_popup, "action-find-device"));
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(ActionPopupTest, WithoutTheFlagNoModeEnds) {
    Open(ActionPopup::kSetupDevice);
    ActionCloseNow = 1;
    EXPECT_EQ(TicksToEnd(m_popup, 40), 41);
}

struct EndCase {
    const char* name;
    int mode;
    bool closeNow;
    int ticks; // ticks after ActionDone up to the end; 0 = never
};

class ActionPopupEndTest : public ActionPopupTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ActionPopupEndTest, EndsOnTheTickOfItsMode) {
    const EndCase& c = GetParam();
    Open(c.mode);
    // Some ticks before the operation ends count for nothing.
    EXPECT_EQ(TicksToEnd(m_popup, 3), 4);
    ActionDone = 1;
    ActionCloseNow = c.closeNow ? 1 : 0;
    const int limit = 40;
    EXPECT_EQ(TicksToEnd(m_popup, limit), c.ticks ? c.ticks : limit + 1) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Modes, ActionPopupEndTest,
                         ::testing::Values(EndCase{"find device", 0, false, 1},
                                           EndCase{"set up device", 1, false, 16},
                                           EndCase{"set up device ignores close-now", 1, true, 16},
                                           EndCase{"check Internet", 2, false, 1},
                                           EndCase{"find again", 3, false, 1},
                                           EndCase{"upgrade lingers", 0x1111, false, 6},
                                           EndCase{"upgrade failed closes now", 0x1111, true, 1},
                                           EndCase{"unknown mode never", 7, false, 0}),
                         [](const ::testing::TestParamInfo<EndCase>& info) {
                             return "Case" + std::to_string(info.index);
                         });

// Runs one step per tick of a thread timer while a modal loop runs.
struct TimedSteps {
    static TimedSteps* current;
    std::vector<std::function<void()>> steps;
    size_t next = 0;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (current && current->next < current->steps.size())
            current->steps[current->next++]();
    }
};
TimedSteps* TimedSteps::current = nullptr;

TEST(ActionPopupModal, EnterDoesNotEndThePopupWhileItsOperationRuns) {
    MessageBoxWatcher boxes;
    const UINT saved = TheTimings.actionTickPeriodMs;
    TheTimings.actionTickPeriodMs = 20;
    ActionPopup popup;
    popup.m_mode = ActionPopup::kUpgrade;
    bool shownAfterEnter = false;
    TimedSteps steps;
    steps.steps = {
        [&] {
            popup.PostMessage(WM_KEYDOWN, VK_RETURN, 1);
            popup.PostMessage(WM_KEYUP, VK_RETURN, 0xC0000001);
        },
        [&] {
            shownAfterEnter = popup.IsWindowVisible();
            ActionDone = 1;
            ActionCloseNow = 1;
        },
    };
    TimedSteps::current = &steps;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, &TimedSteps::Tick);
    const INT_PTR result = popup.DoModal();
    ::KillTimer(nullptr, timer);
    TimedSteps::current = nullptr;
    TheTimings.actionTickPeriodMs = saved;
    EXPECT_TRUE(shownAfterEnter);
    EXPECT_EQ(result, 0) << "ended by its timer, not by Enter";
    EXPECT_EQ(steps.next, 2u);
}

TEST(ActionPopupModal, TheTimerEndsTheModalRunWithResultZero) {
    MessageBoxWatcher boxes;
    const UINT saved = TheTimings.actionTickPeriodMs;
    TheTimings.actionTickPeriodMs = 20;
    ActionPopup popup;
    popup.m_mode = ActionPopup::kUpgrade;
    // The operation ends on another thread once the popup's modal run has
    // begun (the thread timer fires only inside it).
    std::thread worker;
    TimedSteps steps;
    steps.steps = {[&] { worker = std::thread([] { ActionDone = 1; }); }};
    TimedSteps::current = &steps;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &TimedSteps::Tick);
    const DWORD started = ::GetTickCount();
    const INT_PTR result = popup.DoModal();
    const DWORD elapsed = ::GetTickCount() - started;
    ::KillTimer(nullptr, timer);
    TimedSteps::current = nullptr;
    ASSERT_EQ(steps.next, 1u) << "the popup ended before its operation";
    worker.join();
    TheTimings.actionTickPeriodMs = saved;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(popup.m_ticksAfterEnd, 6);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_TRUE(boxes.Texts().empty());
}
} // namespace
