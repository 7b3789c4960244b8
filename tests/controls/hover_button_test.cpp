#include "controls/hover_button.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/controls/control_test_support.h"

using namespace controls_test;

namespace {

constexpr COLORREF kNormalFace = RGB(200, 0, 0);
constexpr COLORREF kPressedFace = RGB(0, 160, 0);
constexpr COLORREF kHoverFace = RGB(0, 0, 200);
constexpr COLORREF kNormalText = RGB(255, 255, 255);
constexpr COLORREF kActiveText = RGB(255, 255, 0);

std::string StripPath(int width, int height) {
    const std::string name =
        "strip" + std::to_string(width) + "x" + std::to_string(height) + ".bmp";
    const int third = width / 3;
    return WriteTempFile(
        name, MakeBmp24(width, height, [third](int x, int) {
            return x < third ? kNormalFace : x < 2 * third ? kPressedFace : kHoverFace;
        }));
}

struct ButtonFixture : ::testing::Test {
    TestHost host{320, 200};
    CHoverButtonEx button;
    void SetUp() override {
        HWND item = host.CreateChild("Button", "", BS_PUSHBUTTON, 20, 30, 75, 23, 300);
        ASSERT_TRUE(button.SubclassWindow(item));
    }
    SIZE WindowSize() const {
        RECT rect{};
        button.GetWindowRect(&rect);
        return SIZE{rect.right - rect.left, rect.bottom - rect.top};
    }
    void Configure(const char* text) {
        ASSERT_TRUE(button.LoadButtonBitmap(StripPath(300, 40).c_str()));
        button.SetTextColors(kActiveText, kNormalText);
        button.SetFontName("Liberation Sans", 0);
        button.SetFontExtent(0, -20);
        button.SetFontWeight(700);
        button.SetWindowText(text);
    }
    // The face the button shows for item state, drawn into a canvas.
    void DrawInto(Canvas& canvas, UINT itemState) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = 300;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = itemState;
        item.hwndItem = button;
        item.hDC = canvas.dc();
        item.rcItem = Rect(0, 0, 100, 40);
        button.DrawItem(&item);
    }
};

TEST_F(ButtonFixture, SubclassingMakesItOwnerDrawnAndTransparent) {
    EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    EXPECT_TRUE(button.GetExStyle() & WS_EX_TRANSPARENT);
    EXPECT_STREQ(button.GetRuntimeClassName(), "CHoverButtonEx");
}

TEST_F(ButtonFixture, TheButtonTakesTheSizeOfOneThirdOfItsStrip) {
    struct Case {
        int width, height;
    } cases[] = {{300, 40}, {302, 40}, {301, 40}};
    for (const auto& c : cases) {
        ASSERT_TRUE(button.LoadButtonBitmap(StripPath(c.width, c.height).c_str())) << c.width;
        const SIZE size = WindowSize();
        EXPECT_EQ(size.cx, 100) << c.width;
        EXPECT_EQ(size.cy, 40) << c.width;
        ASSERT_TRUE(button.GetStateImageSize());
        EXPECT_EQ(button.GetStateImageSize()->cx, 100);
    }
}

TEST_F(ButtonFixture, WithoutAStripTheButtonIsNeitherSizedNorDrawn) {
    EXPECT_FALSE(button.GetStateImageSize());
    EXPECT_FALSE(button.LoadButtonBitmap((TempFolder() + "\\no strip.bmp").c_str()));
    EXPECT_EQ(WindowSize().cx, 75);
    EXPECT_EQ(WindowSize().cy, 23);
    Canvas canvas(100, 40);
    canvas.Fill(RGB(1, 2, 3));
    DrawInto(canvas, 0);
    EXPECT_EQ(canvas.CountOf(RGB(1, 2, 3), Rect(0, 0, 100, 40)), 4000);
}

TEST_F(ButtonFixture, AFailedLoadKeepsThePreviousStripAndSize) {
    ASSERT_TRUE(button.LoadButtonBitmap(StripPath(300, 40).c_str()));
    EXPECT_FALSE(button.LoadButtonBitmap((TempFolder() + "\\no strip.bmp").c_str()));
    EXPECT_EQ(WindowSize().cx, 100);
    ASSERT_TRUE(button.GetStateImageSize());
}

TEST_F(ButtonFixture, NormalHoverAndPressedShowTheirThirdsAndColours) {
    Configure("OK");
    // Normal, through the real paint path.
    button.Invalidate();
    ::UpdateWindow(button);
    Canvas normal(100, 40);
    normal.CopyFromWindow(button);
    EXPECT_EQ(normal.Pixel(1, 1), kNormalFace);
    EXPECT_GT(normal.CountOf(kNormalText, Rect(0, 0, 100, 40)), 20);
    EXPECT_EQ(normal.CountOf(kActiveText, Rect(0, 0, 100, 40)), 0);

    // Hover, as the system reports it after the mouse rested on the button.
    button.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(button.IsHovering());
    ::UpdateWindow(button);
    Canvas hover(100, 40);
    hover.CopyFromWindow(button);
    EXPECT_EQ(hover.Pixel(1, 1), kHoverFace);
    EXPECT_GT(hover.CountOf(kActiveText, Rect(0, 0, 100, 40)), 20);

    button.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(button.IsHovering());
    ::UpdateWindow(button);
    Canvas left(100, 40);
    left.CopyFromWindow(button);
    EXPECT_EQ(left.Pixel(1, 1), kNormalFace);

    // Pressed: the second third, the text moved by the default offset 2,2.
    Canvas pressed(100, 40);
    DrawInto(pressed, ODS_SELECTED);
    EXPECT_EQ(pressed.Pixel(1, 1), kPressedFace);
    EXPECT_GT(pressed.CountOf(kActiveText, Rect(0, 0, 100, 40)), 20);
    const RECT normalBox = normal.BoxNotOf(kNormalFace, Rect(0, 0, 100, 40));
    const RECT pressedBox = pressed.BoxNotOf(kPressedFace, Rect(0, 0, 100, 40));
    ASSERT_LT(normalBox.left, normalBox.right);
    EXPECT_EQ(pressedBox.left, normalBox.left + 2);
    EXPECT_EQ(pressedBox.top, normalBox.top + 2);
    EXPECT_EQ(pressedBox.right, normalBox.right + 2);
    EXPECT_EQ(pressedBox.bottom, normalBox.bottom + 2);
}

// The pixels of two canvases of the button's size that differ, as (x, y).
std::vector<POINT> Differences(const Canvas& a, const Canvas& b) {
    std::vector<POINT> points;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                points.push_back(POINT{x, y});
    return points;
}

// On the outline of the rectangle 3 pixels inside the 100 x 40 button.
bool OnFocusCue(const POINT& p) {
    return ((p.x == 3 || p.x == 96) && p.y >= 3 && p.y <= 36) ||
           ((p.y == 3 || p.y == 36) && p.x >= 3 && p.x <= 96);
}

size_t CountOnFocusCue(const std::vector<POINT>& points) {
    size_t count = 0;
    for (const POINT& p : points)
        count += OnFocusCue(p) ? 1 : 0;
    return count;
}

TEST_F(ButtonFixture, TheFocusedButtonShowsADottedRectangleUnlessCuesAreHidden) {
    Configure("OK");
    // The text is drawn onto the strip itself: each face from a clean strip.
    auto draw = [&](Canvas& canvas, UINT itemState) {
        ASSERT_TRUE(button.LoadButtonBitmap(StripPath(300, 40).c_str()));
        DrawInto(canvas, itemState);
    };
    for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED)}) {
        Canvas plain(100, 40), focused(100, 40), hidden(100, 40);
        draw(plain, state);
        draw(focused, state | ODS_FOCUS);
        draw(hidden, state | ODS_FOCUS | ODS_NOFOCUSRECT);
        EXPECT_TRUE(Differences(plain, hidden).empty()) << "cues hidden, state " << state;
        // The dots of the outline, and nothing else, change.
        const std::vector<POINT> changed = Differences(plain, focused);
        EXPECT_GT(changed.size(), 100u) << "state " << state;
        EXPECT_EQ(CountOnFocusCue(changed), changed.size()) << "state " << state;
    }
    // Through the real paint path: the system tells the button it has the
    // focus (the outline is the only part the face does not draw).
    ::SetFocus(button);
    button.Invalidate();
    ::UpdateWindow(button);
    Canvas shown(100, 40), plain(100, 40);
    shown.CopyFromWindow(button);
    draw(plain, 0);
    EXPECT_GT(CountOnFocusCue(Differences(plain, shown)), 100u) << "the focused button's cue";
}

TEST_F(ButtonFixture, TheClickOffsetMovesOnlyThePressedText) {
    Configure("OK");
    button.SetClickOffset(5, -3);
    Canvas normal(100, 40), pressed(100, 40);
    DrawInto(normal, 0);
    DrawInto(pressed, ODS_SELECTED);
    const RECT normalBox = normal.BoxNotOf(kNormalFace, Rect(0, 0, 100, 40));
    const RECT pressedBox = pressed.BoxNotOf(kPressedFace, Rect(0, 0, 100, 40));
    EXPECT_EQ(pressedBox.left - normalBox.left, 5);
    EXPECT_EQ(pressedBox.top - normalBox.top, -3);
}

TEST_F(ButtonFixture, TwoLinesAreCentredAsABlockWhenTheyFit) {
    Configure("One");
    Canvas one(100, 40);
    DrawInto(one, 0);
    const RECT single = one.BoxNotOf(kNormalFace, Rect(0, 0, 100, 40));
    button.LoadButtonBitmap(StripPath(300, 40).c_str()); // a clean strip
    button.SetWindowText("One\r\nOne");
    Canvas two(100, 40);
    DrawInto(two, 0);
    const RECT twoLines = two.BoxNotOf(kNormalFace, Rect(0, 0, 100, 40));
    EXPECT_GT(twoLines.bottom - twoLines.top, 2 * (single.bottom - single.top) - 2);
    EXPECT_LT(twoLines.top, single.top);

    // Taller than the image: drawn from the top.
    button.LoadButtonBitmap(StripPath(300, 40).c_str());
    button.SetWindowText("A\r\nB\r\nC");
    Canvas three(100, 40);
    DrawInto(three, 0);
    EXPECT_LE(three.BoxNotOf(kNormalFace, Rect(0, 0, 100, 40)).top, 4);
}

TEST_F(ButtonFixture, TheMouseRestingOnTheButtonLightsItUp) {
    Configure("OK");
    RECT rect{};
    button.GetWindowRect(&rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PumpMessages();
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    EXPECT_TRUE(PumpUntil([&] { return button.IsHovering(); }, 2000));
    ::SetCursorPos(300, 190);
    EXPECT_TRUE(PumpUntil([&] { return !button.IsHovering(); }, 2000));
}

std::string ToolText(CToolTipCtrl& tip, CWnd& owner) {
    char text[256] = {};
    TOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = owner;
    info.uId = 1;
    info.lpszText = text;
    tip.SendMessage(TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    return text;
}

TEST_F(ButtonFixture, SetToolTipTextTwiceKeepsOneToolWithTheNewText) {
    const CString first = "Back to the last page", second = "Next page";
    button.SetToolTipText(&first, TRUE);
    button.SetToolTipText(&second, TRUE);
    ASSERT_NE(button.GetToolTip().m_hWnd, nullptr);
    EXPECT_EQ(button.GetToolTip().GetToolCount(), 1);
    EXPECT_EQ(ToolText(button.GetToolTip(), button), "Next page");
}

// What a screen reader reads of the button (MSAA), asked as one would.
std::pair<long, std::wstring> ReadAloud(HWND window) {
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccessible* object = nullptr;
    std::pair<long, std::wstring> read{0, L"(none)"};
    if (SUCCEEDED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                               __uuidof(IAccessible),
                                               reinterpret_cast<void**>(&object)))) {
        VARIANT self{}, role{};
        self.vt = VT_I4; // CHILDID_SELF
        BSTR name = nullptr;
        if (object->get_accName(self, &name) == S_OK && object->get_accRole(self, &role) == S_OK)
            read = {role.lVal, std::wstring(name, ::SysStringLen(name))};
        ::SysFreeString(name);
        object->Release();
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return read;
}

TEST_F(ButtonFixture, APictureOnlyButtonIsReadByItsToolTipAndATextButtonOnOneLine) {
    const CString tip = "Next page";
    button.SetToolTipText(&tip, TRUE);
    EXPECT_EQ(ReadAloud(button),
              std::make_pair(long{ROLE_SYSTEM_PUSHBUTTON}, std::wstring(L"Next page")));
    button.SetWindowText("Go\r\non");
    EXPECT_EQ(ReadAloud(button).second, L"Go on");
}

TEST_F(ButtonFixture, AnEmptyToolTipStillAddsToolOne) {
    const CString empty;
    button.SetToolTipText(&empty, TRUE);
    EXPECT_EQ(button.GetToolTip().GetToolCount(), 1);
}

TEST_F(ButtonFixture, ANullToolTipTextChangesNothing) {
    button.SetToolTipText(nullptr, TRUE);
    EXPECT_EQ(button.GetToolTip().m_hWnd, nullptr);
    MSG message{button, WM_MOUSEMOVE, 0, 0, 0, {0, 0}};
    button.PreTranslateMessage(&message);
    ASSERT_NE(button.GetToolTip().m_hWnd, nullptr) << "created on the first relayed message";
    EXPECT_EQ(button.GetToolTip().GetToolCount(), 0);
}

} // namespace
