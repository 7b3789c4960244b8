#include "controls/skinned_label.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "controls/skinned_bitmap.h"
#include "tests/controls/control_test_support.h"

using namespace controls_test;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

struct LabelFixture : ::testing::Test {
    TestHost host{320, 200};
    SkinnedLabel label;
    void SetUp() override {
        HWND item = host.CreateChild("Static", "", SS_LEFT, 10, 10, 120, 40, 200);
        ASSERT_TRUE(label.SubclassWindow(item));
        label.SetFontName("Liberation Sans", 0).SetFontExtent(0, -24).SetFontWeight(700);
    }
    // A fresh paint: FlashText itself repaints nothing.
    Canvas Shown() {
        label.Invalidate();
        ::UpdateWindow(label);
        Canvas shown(120, 40);
        shown.CopyFromWindow(label);
        return shown;
    }
};

TEST_F(LabelFixture, WithoutABackgroundColourTheButtonFaceIsPaintedBehindTheText) {
    label.SetTextColor(kRed).SetText("Hello");
    Canvas shown(120, 40);
    ::UpdateWindow(label);
    shown.CopyFromWindow(label);
    EXPECT_EQ(shown.Pixel(119, 39), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_GT(shown.CountOf(kRed, Rect(0, 0, 120, 40)), 20);
}

TEST_F(LabelFixture, SettingTheBackgroundTwiceKeepsOnlyTheSecondColour) {
    label.SetText("Hi").SetBkColor(kBlue, 0, 0);
    HBRUSH first = label.GetBackgroundBrush();
    label.SetBkColor(RGB(0, 128, 0), 0, 0);
    EXPECT_NE(label.GetBackgroundBrush(), nullptr);
    EXPECT_EQ(::GetObjectA(first, 0, nullptr), 0) << "the first brush is deleted";
    Canvas shown(120, 40);
    ::UpdateWindow(label);
    shown.CopyFromWindow(label);
    EXPECT_EQ(shown.Pixel(119, 39), RGB(0, 128, 0));
    EXPECT_EQ(shown.CountOf(kBlue, Rect(0, 0, 120, 40)), 0);
}

TEST_F(LabelFixture, ATransparentLabelLeavesThePictureBeneathAroundItsGlyphs) {
    SkinnedBitmap picture;
    ASSERT_TRUE(
        picture.SubclassWindow(host.CreateChild("Static", "", SS_LEFT, 0, 0, 320, 200, 201)));
    const std::string path =
        WriteTempFile("under_label.bmp",
                      MakeBmp24(32, 20, [](int x, int y) { return RGB(0, 100 + x, 100 + y); }));
    ASSERT_TRUE(picture.LoadBitmapFile(path.c_str()));
    label.SetTransparent(TRUE).SetTextColor(kRed).SetText("Hi");
    // The picture paints first, the label then draws only its glyphs.
    ::RedrawWindow(picture, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    ::RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Canvas shown(120, 40);
    shown.CopyFromWindow(label);
    int glyph = 0, picturePixels = 0, other = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const COLORREF c = shown.Pixel(x, y);
            if (c == kRed)
                ++glyph;
            else if (GetRValue(c) == 0 && GetGValue(c) >= 100)
                ++picturePixels;
            else
                ++other; // anti-aliased glyph edges
        }
    EXPECT_GT(glyph, 20);
    EXPECT_GT(picturePixels, 120 * 40 / 2);
    EXPECT_EQ(shown.CountOf(::GetSysColor(COLOR_BTNFACE), Rect(0, 0, 120, 40)), 0);
    // Around the text, exactly the picture's pixels under the label.
    EXPECT_EQ(shown.Pixel(119, 39), RGB(0, 100 + (10 + 119) / 10, 100 + (10 + 39) / 10));
}

TEST_F(LabelFixture, FlashingTextAlternatesBetweenItsColourAndTheBackground) {
    label.SetText("Flash").SetTextColor(kRed).SetBkColor(kBlue, 0, 0).FlashText(TRUE);
    EXPECT_EQ(label.GetFlashPhase(), 0);
    EXPECT_EQ(Shown().CountOf(kRed, Rect(0, 0, 120, 40)), 0)
        << "phase 0: text in the background colour";
    label.SendMessage(WM_TIMER, SkinnedLabel::kFlashTimerId);
    EXPECT_GT(Shown().CountOf(kRed, Rect(0, 0, 120, 40)), 20);
    label.SendMessage(WM_TIMER, SkinnedLabel::kFlashTimerId);
    EXPECT_EQ(Shown().CountOf(kRed, Rect(0, 0, 120, 40)), 0);
    EXPECT_EQ(Shown().CountOf(kBlue, Rect(0, 0, 120, 40)), 120 * 40);
    label.FlashText(FALSE);
}

TEST_F(LabelFixture, FlashingWithoutABackgroundBrushShowsBlackText) {
    label.SetText("Flash").SetTextColor(kRed).FlashText(TRUE);
    Canvas first = Shown();
    EXPECT_EQ(first.CountOf(kRed, Rect(0, 0, 120, 40)), 0);
    EXPECT_GT(first.CountOf(RGB(0, 0, 0), Rect(0, 0, 120, 40)), 20);
    label.SendMessage(WM_TIMER, SkinnedLabel::kFlashTimerId);
    EXPECT_GT(Shown().CountOf(kRed, Rect(0, 0, 120, 40)), 20);
    label.FlashText(FALSE);
}

TEST_F(LabelFixture, RaisedTextDrawsAHighlightCopyOffsetByOnePixel) {
    label.SetText("I").SetTextColor(kRed).SetBkColor(kBlue, 0, 0);
    const RECT plain = Shown().BoxNotOf(kBlue, Rect(0, 0, 120, 40));
    label.SetText3DHiliteColor(RGB(0, 255, 0)).SetText3D(TRUE, 1);
    const Canvas raised = Shown();
    const RECT box = raised.BoxNotOf(kBlue, Rect(0, 0, 120, 40));
    EXPECT_EQ(box.left, plain.left);
    EXPECT_EQ(box.right, plain.right + 1);
    EXPECT_EQ(box.bottom, plain.bottom + 1);
    EXPECT_GT(raised.CountOf(RGB(0, 255, 0), Rect(0, 0, 120, 40)), 10);
}

TEST_F(LabelFixture, CentreImageStyleCentresOneLineBothWays) {
    label.ModifyStyle(0, SS_CENTERIMAGE);
    label.SetText("I").SetTextColor(kRed).SetBkColor(kBlue, 0, 0);
    const RECT box = Shown().BoxNotOf(kBlue, Rect(0, 0, 120, 40));
    EXPECT_NEAR((box.left + box.right) / 2, 60, 2);
    EXPECT_NEAR((box.top + box.bottom) / 2, 20, 4);
}

TEST_F(LabelFixture, ARotatedLabelStartsItsBaselineAtTheCentre) {
    label.SetText("Rotate").SetTextColor(kRed).SetBkColor(kBlue, 0, 0).SetRotationAngle(90, TRUE);
    const RECT box = Shown().BoxNotOf(kBlue, Rect(0, 0, 120, 40));
    // Rotated by 90 degrees the text runs upwards from the centre.
    EXPECT_LE(box.bottom, 21);
    EXPECT_LT(box.right, 70);
    EXPECT_GT(box.right, 55);
}

TEST_F(LabelFixture, ALongFaceNameIsCutToThirtyOneCharacters) {
    const CString name = "An Extraordinarily Long Font Face Name Of Forty";
    label.SetFontName(name, 0);
    EXPECT_EQ(std::string(label.GetFontDescription().lfFaceName), std::string(name).substr(0, 31));
}

TEST_F(LabelFixture, PointSizeTakesThePointFontsHeight) {
    label.SetFontPointSize(12);
    CFont reference;
    reference.CreatePointFont(120, label.GetFontDescription().lfFaceName);
    LOGFONTA expected{};
    reference.GetLogFont(&expected);
    EXPECT_EQ(label.GetFontDescription().lfHeight, expected.lfHeight);
    EXPECT_NE(expected.lfHeight, 0);
}

TEST_F(LabelFixture, AnEnormousPointSizeIsClampedNotWrapped) {
    label.SetFontPointSize(1000);
    const LONG clamped = label.GetFontDescription().lfHeight;
    ASSERT_LT(clamped, -1000); // a thousand points are more than a thousand pixels
    for (int points : {1001, 300000000, INT_MAX}) {
        label.SetFontPointSize(points);
        EXPECT_EQ(label.GetFontDescription().lfHeight, clamped) << points;
    }
    label.SetFontPointSize(INT_MIN);
    EXPECT_EQ(label.GetFontDescription().lfHeight, clamped);
}

std::vector<std::pair<std::string, std::string>> g_opened;
void RecordOpen(const char* verb, const char* target) {
    g_opened.emplace_back(verb ? verb : "(default)", target ? target : "");
}

TEST_F(LabelFixture, ClicksOpenLinksOrNotifyTheParent) {
    SkinnedLabel::ShellOpen previous = SkinnedLabel::SetShellOpen(&RecordOpen);
    label.SetText("www.example.test");
    struct Case {
        const char* name;
        std::function<void(SkinnedLabel&)> setUp;
        std::vector<std::pair<std::string, std::string>> opened;
        std::vector<UINT> notified;
    } cases[] = {
        {"web link, no target: its own text",
         [](SkinnedLabel& l) { l.SetLinkURL("").SetLink(TRUE, FALSE); },
         {{"open", "www.example.test"}},
         {}},
        {"web link with a target",
         [](SkinnedLabel& l) { l.SetLinkURL("http://router.test/").SetLink(TRUE, FALSE); },
         {{"open", "http://router.test/"}},
         {}},
        {"mail link",
         [](SkinnedLabel& l) { l.SetMailLink(TRUE, FALSE); },
         {{"(default)", "mailto:www.example.test"}},
         {}},
        {"notify", [](SkinnedLabel& l) { l.SetLink(TRUE, TRUE); }, {}, {0x8200}},
        {"plain text", [](SkinnedLabel& l) { l.SetLink(FALSE, FALSE); }, {}, {}},
    };
    for (const auto& c : cases) {
        g_opened.clear();
        host.m_notifyCodes.clear();
        c.setUp(label);
        label.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        label.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(g_opened, c.opened) << c.name;
        EXPECT_EQ(host.m_notifyCodes, c.notified) << c.name;
    }
    SkinnedLabel::SetShellOpen(previous);
}

TEST_F(LabelFixture, LinksAddTheNotifyStyleAndPlainTextRemovesIt) {
    label.SetLink(TRUE, TRUE);
    EXPECT_TRUE(label.GetStyle() & SS_NOTIFY);
    label.SetLink(FALSE, TRUE);
    EXPECT_FALSE(label.GetStyle() & SS_NOTIFY);
}

TEST_F(LabelFixture, ALinkCursorIsShownOverTheLabel) {
    HCURSOR hand = ::LoadCursor(nullptr, IDC_HAND);
    label.SetLinkCursor(hand);
    EXPECT_EQ(label.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(label.m_hWnd),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), hand);
}

TEST(SkinnedLabelWithoutWindow, SetTextDoesNothing) {
    SkinnedLabel label;
    label.SetText("kept nowhere").SetTextColor(kRed).SetBkColor(kBlue, 0, 0);
    EXPECT_EQ(label.m_hWnd, nullptr);
}

TEST(DrawGradient, FiftyPixelsWithAHundredBandsGiveFiftyOnePixelBands) {
    Canvas canvas(50, 10);
    canvas.Fill(RGB(1, 2, 3));
    SkinnedLabel::DrawGradient(canvas.dc(), Rect(0, 0, 50, 10), RGB(0, 0, 0), RGB(250, 100, 50),
                               100);
    for (int x = 0; x < 50; ++x)
        ASSERT_EQ(canvas.Pixel(x, 4), RGB(5 * x, 2 * x, x)) << "column " << x;
}

TEST(DrawGradient, BandsSplitTheWidthAndTheLastTakesTheRest) {
    struct Case {
        const char* name;
        int width, bands;
        COLORREF start, end;
        std::vector<COLORREF> columns; // expected colour of each column
    } cases[] = {
        {"3 bands over 10 px",
         10,
         3,
         RGB(0, 0, 0),
         RGB(90, 0, 0),
         {RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0), RGB(30, 0, 0), RGB(30, 0, 0), RGB(30, 0, 0),
          RGB(60, 0, 0), RGB(60, 0, 0), RGB(60, 0, 0), RGB(60, 0, 0)}},
        {"falling colour",
         4,
         4,
         RGB(0, 200, 0),
         RGB(0, 0, 0),
         {RGB(0, 200, 0), RGB(0, 150, 0), RGB(0, 100, 0), RGB(0, 50, 0)}},
        {"one band",
         3,
         1,
         RGB(10, 20, 30),
         RGB(250, 250, 250),
         {RGB(10, 20, 30), RGB(10, 20, 30), RGB(10, 20, 30)}},
        {"no width", 0, 100, RGB(9, 9, 9), RGB(9, 9, 9), {}},
    };
    for (const auto& c : cases) {
        Canvas canvas(12, 6);
        canvas.Fill(RGB(1, 2, 3));
        SkinnedLabel::DrawGradient(canvas.dc(), Rect(1, 0, 1 + c.width, 6), c.start, c.end,
                                   c.bands);
        EXPECT_EQ(canvas.Pixel(0, 2), RGB(1, 2, 3)) << c.name;
        for (size_t x = 0; x < c.columns.size(); ++x)
            EXPECT_EQ(canvas.Pixel(1 + static_cast<int>(x), 2), c.columns[x])
                << c.name << " column " << x;
        EXPECT_EQ(canvas.Pixel(1 + c.width, 2), RGB(1, 2, 3))
            << c.name << ": nothing past the right edge";
    }
}

TEST_F(LabelFixture, AGradientBackgroundIsPaintedBehindTheText) {
    label.SetBkColor(RGB(0, 0, 0), RGB(0, 0, 200), 1);
    EXPECT_EQ(label.GetBackgroundBrush(), nullptr);
    const Canvas shown = Shown();
    EXPECT_EQ(shown.Pixel(0, 20), RGB(0, 0, 0));
    EXPECT_EQ(shown.Pixel(60, 20), RGB(0, 0, 120));  // 100 bands of 1 px, 2 steps each
    EXPECT_EQ(shown.Pixel(119, 20), RGB(0, 0, 198)); // the last band takes the rest
}

} // namespace
