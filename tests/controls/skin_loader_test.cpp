#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/hover_button.h"
#include "controls/skinned_bitmap.h"
#include "controls/skinned_label.h"
#include "skin/skin_entries.h"
#include "skin/skin_settings.h"
#include "tests/controls/control_test_support.h"

using namespace controls_test;

namespace {

std::vector<std::string> g_messages;
void Capture(const char* message) {
    g_messages.emplace_back(message);
}

// A skin file in the test folder, with the folder standing in for the
// executable's.
struct LoaderFixture : ::testing::Test {
    TestHost host{400, 300};
    SkinSettings skin;
    SkinReporter previous = nullptr;

    void SetUp() override {
        g_messages.clear();
        previous = SetSkinReporter(&Capture);
        skin.m_moduleDir = (TempFolder() + "\\").c_str();
        skin.m_iniPath = (TempFolder() + "\\English.ini").c_str();
        WriteTempFile("pic.bmp", MakeBmp24(20, 10, [](int, int) { return RGB(10, 200, 30); }));
        WriteTempFile("strip.bmp", MakeBmp24(300, 40, [](int, int) { return RGB(50, 60, 70); }));
        WriteTempFile("wide.bmp", MakeBmp24(450, 30, [](int, int) { return RGB(1, 1, 1); }));
    }
    void TearDown() override { SetSkinReporter(previous); }
    void Skin(const std::string& text) { WriteTempText("English.ini", text); }
    std::string Folder() const { return TempFolder() + "\\"; }
    POINT Position(HWND window) const {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&rect), 2);
        return POINT{rect.left, rect.top};
    }
    SIZE Size(HWND window) const {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        return SIZE{rect.right - rect.left, rect.bottom - rect.top};
    }
};

struct BitmapLoader : LoaderFixture {
    SkinnedBitmap picture;
    void SetUp() override {
        LoaderFixture::SetUp();
        ASSERT_TRUE(picture.SubclassWindow(host.CreateChild("Static", "", 0, 5, 6, 50, 40, 100)));
    }
};

TEST_F(BitmapLoader, FailuresAreReportedWithTheirExactMessages) {
    struct Case {
        const char* name;
        const char* ini;
        std::string message;
    } cases[] = {
        {"type in lower case", "[Page]\nPic.Type=bitmap\nPic.FilePath=pic.bmp\n",
         "Load user interface setting failure, type not "
         "match,[SectionName]=Page,[KeyName]=Pic.Type"},
        {"no type", "[Page]\nPic.FilePath=pic.bmp\n",
         "Load user interface setting failure, type not "
         "match,[SectionName]=Page,[KeyName]=Pic.Type"},
        {"another kind", "[Page]\nPic.Type=Static\n",
         "Load user interface setting failure, type not "
         "match,[SectionName]=Page,[KeyName]=Pic.Type"},
        {"no file path", "[Page]\nPic.Type=Bitmap\nPic.Position=1,1\n",
         "Load user interface setting failure,[SectionName]=Page,[KeyName]=Pic.FilePath"},
        {"empty file path", "[Page]\nPic.Type=Bitmap\nPic.FilePath=\n",
         "Load user interface setting failure,[SectionName]=Page,[KeyName]=Pic.FilePath"},
        {"missing picture",
         "[Page]\nPic.Type=Bitmap\nPic.FilePath=art\\missing.bmp\nPic.Position=1,1\n",
         "Load bitmap file failure,file name=" + Folder() + "art\\missing.bmp"},
    };
    for (const auto& c : cases) {
        g_messages.clear();
        Skin(c.ini);
        EXPECT_FALSE(skin.LoadBitmapEntry("Page", "Pic", &picture)) << c.name;
        EXPECT_EQ(g_messages, std::vector<std::string>{c.message}) << c.name;
        EXPECT_EQ(picture.GetBitmapHandle(), nullptr) << c.name;
        EXPECT_EQ(Position(picture).x, 5) << c.name << ": not moved";
    }
}

TEST_F(BitmapLoader, SectionAndKeyNamesAreCaseInsensitive) {
    Skin("[page]\npic.type=Bitmap\nPIC.FILEPATH=pic.bmp\n");
    EXPECT_TRUE(skin.LoadBitmapEntry("Page", "Pic", &picture));
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(BitmapLoader, PositionAndSizeMoveThenResize) {
    struct Case {
        const char* name;
        const char* keys;
        POINT position;
        SIZE size;
    } cases[] = {
        {"both", "Pic.Position=30,40\nPic.Size=200,100\n", {30, 40}, {200, 100}},
        {"one number", "Pic.Position=10\n", {10, 0}, {50, 40}},
        {"position only", "Pic.Position=7,8\n", {7, 8}, {50, 40}},
        {"size with -1", "Pic.Size=-1,90\n", {5, 6}, {50, 40}},
        {"x of -1", "Pic.Position=-1,90\n", {5, 6}, {50, 40}},
        {"neither", "", {5, 6}, {50, 40}},
    };
    for (const auto& c : cases) {
        picture.SetWindowPos(nullptr, 5, 6, 50, 40, SWP_NOZORDER);
        Skin(std::string("[Page]\nPic.Type=Bitmap\nPic.FilePath=pic.bmp\n") + c.keys);
        EXPECT_TRUE(skin.LoadBitmapEntry("Page", "Pic", &picture)) << c.name;
        EXPECT_EQ(Position(picture).x, c.position.x) << c.name;
        EXPECT_EQ(Position(picture).y, c.position.y) << c.name;
        EXPECT_EQ(Size(picture).cx, c.size.cx) << c.name;
        EXPECT_EQ(Size(picture).cy, c.size.cy) << c.name;
    }
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(picture.GetFilePath(), CString((Folder() + "pic.bmp").c_str()));
}

TEST_F(BitmapLoader, ReloadingAnEntryReplacesThePicture) {
    Skin("[Page]\nPic.Type=Bitmap\nPic.FilePath=pic.bmp\n");
    ASSERT_TRUE(skin.LoadBitmapEntry("Page", "Pic", &picture));
    Skin("[Page]\nPic.Type=Bitmap\nPic.FilePath=strip.bmp\n");
    ASSERT_TRUE(skin.LoadBitmapEntry("Page", "Pic", &picture));
    BITMAP metrics{};
    ::GetObjectA(picture.GetBitmapHandle(), sizeof metrics, &metrics);
    EXPECT_EQ(metrics.bmWidth, 300);
}

TEST_F(LoaderFixture, StaticEntriesTakeTheCommonDefaults) {
    skin.m_textColor = RGB(1, 2, 3);
    skin.m_fontName = "Common Face";
    skin.m_fontSize = 9;
    skin.m_fontWeight = 500;
    skin.m_transparent = FALSE;
    skin.m_bkColor = RGB(4, 5, 6);
    Skin("[Page]\nLabel1.Type=Static\n");
    StaticEntry entry;
    CString problem;
    ASSERT_TRUE(GatherStaticEntry(skin, "Page", "Label1", &entry, &problem));
    EXPECT_EQ(entry.x, -1);
    EXPECT_EQ(entry.width, -1);
    EXPECT_EQ(entry.textColor, RGB(1, 2, 3));
    EXPECT_EQ(entry.text, "");
    EXPECT_EQ(entry.font.name, "Common Face");
    EXPECT_EQ(entry.font.pointSize, 9);
    EXPECT_EQ(entry.font.width, -1);
    EXPECT_EQ(entry.font.weight, 500);
    EXPECT_EQ(entry.transparent, FALSE);
    EXPECT_EQ(entry.bkColor, RGB(4, 5, 6));
}

TEST_F(LoaderFixture, EntryValuesOverrideTheCommonDefaults) {
    Skin("[Page]\nLabel1.Type=Static\nLabel1.TextColor=300,0\nLabel1.TextString=a\\nb\n"
         "Label1.FontName=Liberation Serif\nLabel1.FontWeight=700\nLabel1.Transparent=yes\n"
         "Label1.BkColor=0,0,255\nLabel1.Position=3,4\nLabel1.Size=60,20\n");
    StaticEntry entry;
    CString problem;
    ASSERT_TRUE(GatherStaticEntry(skin, "Page", "Label1", &entry, &problem));
    EXPECT_EQ(entry.textColor, RGB(44, 0, 0));
    EXPECT_EQ(entry.text, "a\\nb") << "a label keeps backslash sequences";
    EXPECT_EQ(entry.font.name, "Liberation Serif");
    EXPECT_EQ(entry.font.weight, 700);
    EXPECT_EQ(entry.transparent, FALSE);
    EXPECT_EQ(entry.bkColor, RGB(0, 0, 255));
    EXPECT_EQ(entry.x, 3);
    EXPECT_EQ(entry.height, 20);
}

TEST_F(LoaderFixture, FontSizeComesInThreeForms) {
    struct Case {
        const char* value; // null: key not given
        int points, width, height;
    } cases[] = {
        {"12", 12, -1, -1}, {"0,16", -1, 0, 16}, {"12,", 12, -1, -1}, {nullptr, 10, -1, -1}};
    for (const auto& c : cases) {
        std::string ini =
            "[Page]\nLabel1.Type=Static\nButton1.Type=Button\nButton1.FilePath=strip.bmp\n";
        if (c.value)
            ini +=
                std::string("Label1.FontSize=") + c.value + "\nButton1.FontSize=" + c.value + "\n";
        Skin(ini);
        StaticEntry label;
        ButtonEntry button;
        CString problem;
        ASSERT_TRUE(GatherStaticEntry(skin, "Page", "Label1", &label, &problem));
        ASSERT_TRUE(GatherButtonEntry(skin, "Page", "Button1", &button, &problem));
        const char* name = c.value ? c.value : "(not given)";
        EXPECT_EQ(label.font.pointSize, c.points) << name;
        EXPECT_EQ(label.font.width, c.width) << name;
        EXPECT_EQ(label.font.height, c.height) << name;
        EXPECT_EQ(button.font.pointSize, c.points) << name;
        EXPECT_EQ(button.font.width, c.width) << name;
        EXPECT_EQ(button.font.height, c.height) << name;
    }
}

struct StaticLoader : LoaderFixture {
    SkinnedLabel label;
    void SetUp() override {
        LoaderFixture::SetUp();
        ASSERT_TRUE(label.SubclassWindow(host.CreateChild("Static", "old", 0, 5, 6, 50, 20, 200)));
    }
};

TEST_F(StaticLoader, AnEntryConfiguresTheLabel) {
    Skin("[Page]\nLabel1.Type=Static\nLabel1.Position=10\nLabel1.Size=120,30\n"
         "Label1.TextString=Line\\nstill one\nLabel1.FontSize=0,16\nLabel1.FontName=Liberation "
         "Sans\n"
         "Label1.Transparent=0\nLabel1.BkColor=0,0,255\nLabel1.TextColor=255,0,0\n");
    ASSERT_TRUE(skin.LoadStaticEntry("Page", "Label1", &label));
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(label.GetWindowText(), "Line\\nstill one");
    EXPECT_EQ(label.GetFontDescription().lfHeight, 16);
    EXPECT_EQ(label.GetFontDescription().lfWidth, 0);
    EXPECT_STREQ(label.GetFontDescription().lfFaceName, "Liberation Sans");
    EXPECT_EQ(label.GetFontDescription().lfWeight, 400);
    EXPECT_EQ(Position(label).x, 10);
    EXPECT_EQ(Position(label).y, 0);
    EXPECT_EQ(Size(label).cx, 120);
    ::UpdateWindow(label);
    Canvas shown(120, 30);
    shown.CopyFromWindow(label);
    EXPECT_EQ(shown.Pixel(119, 29), RGB(0, 0, 255));
    EXPECT_GT(shown.CountOf(RGB(255, 0, 0), Rect(0, 0, 120, 30)), 10);
}

TEST_F(StaticLoader, AWrongKindLeavesTheLabelUntouched) {
    Skin("[Page]\nLabel1.Type=static\nLabel1.TextString=new\n");
    EXPECT_FALSE(skin.LoadStaticEntry("Page", "Label1", &label));
    EXPECT_EQ(g_messages,
              std::vector<std::string>{"Load user interface setting failure, type not "
                                       "match,[SectionName]=Page,[KeyName]=Label1.Type"});
    EXPECT_EQ(label.GetWindowText(), "old");
}

TEST_F(StaticLoader, AMissingSkinFileShowsTheWrongKindMessage) {
    skin.m_iniPath = (TempFolder() + "\\no such skin.ini").c_str();
    EXPECT_FALSE(skin.LoadStaticEntry("Login", "Label3", &label));
    EXPECT_EQ(g_messages,
              std::vector<std::string>{"Load user interface setting failure, type not "
                                       "match,[SectionName]=Login,[KeyName]=Label3.Type"});
}

struct ButtonLoader : LoaderFixture {
    CHoverButtonEx button;
    void SetUp() override {
        LoaderFixture::SetUp();
        ASSERT_TRUE(button.SubclassWindow(host.CreateChild("Button", "old", 0, 5, 6, 75, 23, 300)));
    }
};

TEST_F(ButtonLoader, AnEntryConfiguresTheButton) {
    Skin("[Control]\nNext.Type=Button\nNext.FilePath=strip.bmp\nNext.Position=10\n"
         "Next.TextString=Go\\r\\non\nNext.FontSize=12\nNext.FontName=Liberation Sans\n");
    ASSERT_TRUE(skin.LoadButtonEntry("Control", "Next", &button));
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(button.GetWindowText(), "Go\r\non") << "a button turns \\r\\n into a line break";
    EXPECT_EQ(Position(button).x, 10);
    EXPECT_EQ(Position(button).y, 0);
    EXPECT_EQ(Size(button).cx, 100) << "sized by its strip, never by the entry";
    EXPECT_EQ(Size(button).cy, 40);
    EXPECT_STREQ(button.GetFontDescription().lfFaceName, "Liberation Sans");
    EXPECT_LT(button.GetFontDescription().lfHeight, 0);
    ASSERT_NE(button.GetToolTip().m_hWnd, nullptr);
    EXPECT_EQ(button.GetToolTip().GetToolCount(), 1) << "an empty tool tip is still added";
}

TEST_F(ButtonLoader, ReloadingTheEntryReplacesTheStripAndReappliesEveryValue) {
    Skin("[Control]\nNext.Type=Button\nNext.FilePath=strip.bmp\nNext.TextString=Next\n"
         "Next.ToolTip=first\n");
    ASSERT_TRUE(skin.LoadButtonEntry("Control", "Next", &button));
    Skin("[Control]\nNext.Type=Button\nNext.FilePath=wide.bmp\nNext.TextString=Upgrade\n"
         "Next.ToolTip=second\nNext.FontWeight=700\n");
    ASSERT_TRUE(skin.LoadButtonEntry("Control", "Next", &button));
    EXPECT_EQ(Size(button).cx, 150);
    EXPECT_EQ(Size(button).cy, 30);
    EXPECT_EQ(button.GetWindowText(), "Upgrade");
    EXPECT_EQ(button.GetFontDescription().lfWeight, 700);
    EXPECT_EQ(button.GetToolTip().GetToolCount(), 1);
}

TEST_F(ButtonLoader, FailuresAreReportedAndSkipTheRest) {
    struct Case {
        const char* name;
        const char* ini;
        std::string message;
    } cases[] = {
        {"type in lower case", "[Control]\nExit.Type=button\nExit.FilePath=strip.bmp\n",
         "Load user interface setting failure, type not "
         "match,[SectionName]=Control,[KeyName]=Exit.Type"},
        {"no file path", "[Control]\nExit.Type=Button\nExit.TextString=Exit\n",
         "Load user interface setting failure,[SectionName]=Control,[KeyName]=Exit.FilePath"},
        {"missing strip",
         "[Control]\nExit.Type=Button\nExit.FilePath=gone.bmp\nExit.TextString=Exit\n",
         "Load bitmap file failure,file name=" + Folder() + "gone.bmp"},
    };
    for (const auto& c : cases) {
        g_messages.clear();
        Skin(c.ini);
        EXPECT_FALSE(skin.LoadButtonEntry("Control", "Exit", &button)) << c.name;
        EXPECT_EQ(g_messages, std::vector<std::string>{c.message}) << c.name;
        EXPECT_EQ(button.GetWindowText(), "old") << c.name;
        EXPECT_EQ(Size(button).cx, 75) << c.name;
        EXPECT_EQ(button.GetToolTip().m_hWnd, nullptr) << c.name;
    }
}

TEST_F(LoaderFixture, ButtonEntriesTakeTheCommonColoursAndOffset) {
    skin.m_activeColor = RGB(9, 8, 7);
    skin.m_noActiveColor = RGB(6, 5, 4);
    skin.m_clickOffsetX = 3;
    skin.m_clickOffsetY = 1;
    Skin(
        "[Control]\nA.Type=Button\nA.FilePath=strip.bmp\n"
        "B.Type=Button\nB.FilePath=strip.bmp\nB.ActiveColor=255\nB.ClickOffset=4\nB.ToolTip=Tip\n");
    ButtonEntry a, b;
    CString problem;
    ASSERT_TRUE(GatherButtonEntry(skin, "Control", "A", &a, &problem));
    ASSERT_TRUE(GatherButtonEntry(skin, "Control", "B", &b, &problem));
    EXPECT_EQ(a.activeColor, RGB(9, 8, 7));
    EXPECT_EQ(a.noActiveColor, RGB(6, 5, 4));
    EXPECT_EQ(a.clickOffsetX, 3);
    EXPECT_EQ(a.clickOffsetY, 1);
    EXPECT_EQ(a.toolTip, "");
    EXPECT_EQ(a.filePath, CString((Folder() + "strip.bmp").c_str()));
    EXPECT_EQ(b.activeColor, RGB(255, 0, 0));
    EXPECT_EQ(b.clickOffsetX, 4);
    EXPECT_EQ(b.clickOffsetY, 0);
    EXPECT_EQ(b.toolTip, "Tip");
}

} // namespace
