// The three controls together as a page shows them: a background picture, a
// transparent label over it and two buttons, one with the mouse resting on
// it. With FWU_CONTROLS_SCREENSHOT set to a file name the scene is saved
// there as a bitmap, for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>

#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "tests/controls/control_test_support.h"

using namespace controls_test;

namespace {

COLORREF Sky(int x, int y) {
    return RGB(20 + x, 60 + y, 160);
}

std::string StripFile() {
    return WriteTempFile(
        "showcase_strip.bmp", MakeBmp24(360, 36, [](int x, int y) {
            const int state = x / 120;
            const int shade = y < 2 || y > 33 ? 40 : 0;
            const COLORREF faces[3] = {RGB(70, 70, 90), RGB(40, 120, 60), RGB(230, 140, 30)};
            return RGB(GetRValue(faces[state]) - shade, GetGValue(faces[state]) - shade,
                       GetBValue(faces[state]) > shade ? GetBValue(faces[state]) - shade : 0);
        }));
}

TEST(Showcase, APageOfPictureLabelAndButtons) {
    TestHost host(360, 140);
    SkinnedBitmap background;
    SkinnedLabel title;
    CHoverButtonEx back, next;
    ASSERT_TRUE(background.SubclassWindow(host.CreateChild("Static", "", 0, 0, 0, 360, 140, 1)));
    ASSERT_TRUE(title.SubclassWindow(host.CreateChild("Static", "", 0, 20, 16, 320, 40, 2)));
    ASSERT_TRUE(back.SubclassWindow(host.CreateChild("Button", "", 0, 60, 84, 10, 10, 3)));
    ASSERT_TRUE(next.SubclassWindow(host.CreateChild("Button", "", 0, 200, 84, 10, 10, 4)));

    ASSERT_TRUE(background.LoadBitmapFile(
        WriteTempFile("showcase_sky.bmp", MakeBmp24(180, 70, Sky)).c_str()));
    title.SetFontName("Liberation Sans", 0).SetFontExtent(0, -28).SetFontWeight(700);
    title.SetTransparent(TRUE).SetTextColor(RGB(255, 255, 255)).SetText("Firmware Updater");
    for (CHoverButtonEx* button : {&back, &next}) {
        ASSERT_TRUE(button->LoadButtonBitmap(StripFile().c_str()));
        button->SetTextColors(RGB(255, 255, 255), RGB(200, 200, 210));
        button->SetFontName("Liberation Sans", 0);
        button->SetFontExtent(0, -16);
    }
    back.SetWindowText("Back");
    next.SetWindowText("Next");
    next.SendMessage(WM_MOUSEHOVER);

    // Bottom to top, as the system would for the transparent label.
    for (HWND window : {background.m_hWnd, title.m_hWnd, back.m_hWnd, next.m_hWnd})
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Canvas shown(360, 140);
    shown.CopyFromWindow(host);

    EXPECT_EQ(shown.Pixel(5, 5), Sky(2, 2));
    EXPECT_EQ(shown.Pixel(339, 55), Sky(169, 27)) << "picture around the label's glyphs";
    EXPECT_GT(shown.CountOf(RGB(255, 255, 255), Rect(20, 16, 340, 56)), 100);
    EXPECT_EQ(shown.Pixel(62, 100), RGB(70, 70, 90)) << "Back: normal face";
    EXPECT_EQ(shown.Pixel(202, 100), RGB(230, 140, 30)) << "Next: hover face";

    if (const char* path = std::getenv("FWU_CONTROLS_SCREENSHOT")) {
        EXPECT_TRUE(shown.SaveBmp(path));
    }
}

} // namespace
