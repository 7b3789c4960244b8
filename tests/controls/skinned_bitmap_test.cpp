#include "controls/skinned_bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/controls/control_test_support.h"

using namespace controls_test;

namespace {

// Every pixel of the 100x50 picture says where it is.
COLORREF PicturePixel(int x, int y) {
    return RGB(x * 2, y * 4, 128);
}

std::string PicturePath() {
    static const std::string path =
        WriteTempFile("picture100x50.bmp", MakeBmp24(100, 50, PicturePixel));
    return path;
}

struct PictureFixture : ::testing::Test {
    TestHost host{320, 200};
    SkinnedBitmap picture;
    void SetUp() override {
        HWND item = host.CreateChild("Static", "", SS_LEFT, 0, 0, 200, 100, 100);
        ASSERT_TRUE(picture.SubclassWindow(item));
    }
};

TEST_F(PictureFixture, SubclassingMakesTheStaticOwnerDrawn) {
    EXPECT_EQ(picture.GetStyle() & SS_TYPEMASK, static_cast<DWORD>(SS_OWNERDRAW));
}

TEST_F(PictureFixture, APictureIsStretchedOverTheWholeClientArea) {
    ASSERT_TRUE(picture.LoadBitmapFile(PicturePath().c_str()));
    ::UpdateWindow(picture);
    Canvas shown(200, 100);
    shown.CopyFromWindow(picture);
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 200; x += 9)
            ASSERT_EQ(shown.Pixel(x, y), PicturePixel(x / 2, y / 2)) << x << "," << y;
    EXPECT_EQ(shown.Pixel(199, 99), PicturePixel(99, 49));
}

TEST_F(PictureFixture, RepaintingTheRightHalfCopiesOnlyTheRightHalfOfThePicture) {
    ASSERT_TRUE(picture.LoadBitmapFile(PicturePath().c_str()));
    Canvas target(200, 100);
    const COLORREF untouched = RGB(255, 0, 255);
    target.Fill(untouched);
    ::IntersectClipRect(target.dc(), 100, 0, 200, 100);
    EXPECT_TRUE(picture.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(target.dc())));
    EXPECT_EQ(target.CountOf(untouched, Rect(0, 0, 100, 100)), 100 * 100);
    EXPECT_EQ(target.Pixel(100, 0), PicturePixel(50, 0));
    EXPECT_EQ(target.Pixel(150, 60), PicturePixel(75, 30));
    EXPECT_EQ(target.Pixel(199, 99), PicturePixel(99, 49));
}

TEST_F(PictureFixture, WithoutAPictureTheButtonFaceColourIsPainted) {
    Canvas target(200, 100);
    target.Fill(RGB(1, 2, 3));
    picture.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(target.dc()));
    EXPECT_EQ(target.CountOf(::GetSysColor(COLOR_BTNFACE), Rect(0, 0, 200, 100)), 200 * 100);
}

TEST_F(PictureFixture, AnEmptyClientAreaDrawsNothing) {
    ASSERT_TRUE(picture.LoadBitmapFile(PicturePath().c_str()));
    picture.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
    Canvas target(20, 20);
    target.Fill(RGB(1, 2, 3));
    picture.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(target.dc()));
    EXPECT_EQ(target.CountOf(RGB(1, 2, 3), Rect(0, 0, 20, 20)), 400);
}

TEST_F(PictureFixture, AFailedReadKeepsThePictureAndItsPath) {
    ASSERT_TRUE(picture.LoadBitmapFile(PicturePath().c_str()));
    HBITMAP before = picture.GetBitmapHandle();
    EXPECT_FALSE(picture.LoadBitmapFile((TempFolder() + "\\missing.bmp").c_str()));
    EXPECT_EQ(picture.GetBitmapHandle(), before);
    EXPECT_EQ(picture.GetFilePath(), CString(PicturePath().c_str()));
}

TEST_F(PictureFixture, AColourChangeReadsTheRememberedFileAgain) {
    // Without a source nothing changes.
    picture.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(picture.GetBitmapHandle(), nullptr);

    const std::string path =
        WriteTempFile("reloaded.bmp", MakeBmp24(4, 4, [](int, int) { return RGB(10, 20, 30); }));
    ASSERT_TRUE(picture.LoadBitmapFile(path.c_str()));
    // The file changes on disk; the colour change picks the new one up.
    WriteTempFile("reloaded.bmp", MakeBmp24(4, 4, [](int, int) { return RGB(90, 80, 70); }));
    picture.SendMessage(WM_SYSCOLORCHANGE);
    ::UpdateWindow(picture);
    Canvas shown(200, 100);
    shown.CopyFromWindow(picture);
    EXPECT_EQ(shown.Pixel(100, 50), RGB(90, 80, 70));
}

TEST_F(PictureFixture, AResourceThatDoesNotLoadKeepsThePicture) {
    ASSERT_TRUE(picture.LoadBitmapFile(PicturePath().c_str()));
    HBITMAP before = picture.GetBitmapHandle();
    EXPECT_FALSE(picture.LoadBitmapResource(0x7F00));
    EXPECT_EQ(picture.GetBitmapHandle(), before);
}

TEST_F(PictureFixture, SetBitmapHandleReportsTheBitmapRecordSize) {
    EXPECT_EQ(picture.SetBitmapHandle(nullptr), 0);
    HBITMAP bitmap = ::CreateBitmap(3, 3, 1, 32, nullptr);
    EXPECT_EQ(picture.SetBitmapHandle(bitmap), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(picture.GetBitmapHandle(), bitmap);
}

TEST_F(PictureFixture, WindowTextIsDrawnCentredOverThePicture) {
    ASSERT_TRUE(picture.LoadBitmapFile(PicturePath().c_str()));
    picture.ModifyStyle(0, SS_CENTER | SS_CENTERIMAGE);
    picture.SetWindowText("Zephyra");
    picture.Invalidate();
    ::UpdateWindow(picture);
    Canvas shown(200, 100);
    shown.CopyFromWindow(picture);
    // Text pixels are the DC's default black; the picture has blue 128 everywhere.
    RECT box = RECT{200, 100, 0, 0};
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            if (GetBValue(shown.Pixel(x, y)) != 128) {
                box.left = std::min<LONG>(box.left, x);
                box.right = std::max<LONG>(box.right, x + 1);
                box.top = std::min<LONG>(box.top, y);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    ASSERT_LT(box.left, box.right) << "no text drawn";
    EXPECT_NEAR((box.left + box.right) / 2, 100, 3);
    EXPECT_NEAR((box.top + box.bottom) / 2, 50, 4);
}

} // namespace
