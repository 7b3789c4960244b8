// The skin settings reader: where it looks for the file and how it reads
// the Common section's value forms.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "framework/afx_app.h"
#include "skin/skin_settings.h"

namespace {

std::string TempIniPath(const char* name) {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

// A Common section written to a file of its own for one case.
class CommonSectionTest : public ::testing::Test {
protected:
    void Load(const std::string& body) {
        path = TempIniPath("fwu_common_test.ini");
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("[Common]\r\n", file);
        std::fputs(body.c_str(), file);
        std::fclose(file);
        skin.m_iniPath = path.c_str();
        skin.LoadCommonSection();
    }
    void TearDown() override {
        if (!path.empty())
            ::DeleteFileA(path.c_str());
    }
    SkinSettings skin;
    std::string path;
};

TEST(SkinSettingsTest, TheFileIsFoundBesideTheExecutableNotInTheWorkingFolder) {
    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string folder(exe);
    folder.erase(folder.rfind('\\') + 1);

    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    ASSERT_TRUE(::SetCurrentDirectoryA(temp));
    SkinSettings skin;
    skin.SetSkinFile("English.ini");
    ::SetCurrentDirectoryA(previous);

    EXPECT_EQ(std::string(skin.m_moduleDir), folder);
    EXPECT_EQ(std::string(skin.m_iniPath), folder + "English.ini");
}

TEST(SkinSettingsTest, TheProgramPathIsReadWholeWhateverTheFirstBuffer) {
    const std::string whole = AfxGetModulePath().str();
    ASSERT_GT(whole.size(), 8u);
    // A buffer too short at first grows until the path fits; nothing is cut.
    EXPECT_EQ(AfxGetModulePath(4).str(), whole);
    EXPECT_EQ(AfxGetProgramFolder().str(), whole.substr(0, whole.rfind('\\') + 1));
}

TEST(SkinSettingsTest, AMissingFileLeavesEveryDefault) {
    SkinSettings skin;
    skin.m_iniPath = TempIniPath("fwu_no_such_skin.ini").c_str();
    skin.LoadCommonSection();
    EXPECT_EQ(skin.m_fontName, "Helvetica Narrow");
    EXPECT_EQ(skin.m_fontSize, 10);
    EXPECT_EQ(skin.m_fontWeight, 400);
    EXPECT_EQ(skin.m_textColor, RGB(255, 255, 255));
    EXPECT_EQ(skin.m_bkColor, RGB(0, 0, 0));
    EXPECT_EQ(skin.m_transparent, TRUE);
    EXPECT_EQ(skin.m_activeColor, RGB(255, 255, 255));
    EXPECT_EQ(skin.m_noActiveColor, RGB(255, 255, 255));
    EXPECT_EQ(skin.m_clickOffsetX, 2);
    EXPECT_EQ(skin.m_clickOffsetY, 2);
}

TEST_F(CommonSectionTest, ColoursTakeTheirLowEightBitsAndMissingFieldsAreZero) {
    Load("TextColor=255,0\r\nBkColor=300,0,-1\r\nActiveColor=red\r\nNoActiveColor=\r\n");
    EXPECT_EQ(skin.m_textColor, RGB(255, 0, 0));
    EXPECT_EQ(skin.m_bkColor, RGB(44, 0, 255));
    EXPECT_EQ(skin.m_activeColor, RGB(0, 0, 0)) << "a word reads as black";
    EXPECT_EQ(skin.m_noActiveColor, RGB(255, 255, 255)) << "empty keeps the default";
}

TEST_F(CommonSectionTest, PairsNumbersFlagsAndTexts) {
    struct Case {
        const char* transparent;
        BOOL expected;
    } flags[] = {{"1", TRUE}, {"0", FALSE}, {"yes", FALSE}, {"true", FALSE}};
    for (const Case& c : flags) {
        Load(std::string("Transparent=") + c.transparent + "\r\n");
        EXPECT_EQ(skin.m_transparent, c.expected) << c.transparent;
    }
    Load("ClickOffset=3\r\nFontSize=8,12\r\nFontWeight=bold\r\nFontName=Arial\r\n");
    EXPECT_EQ(skin.m_clickOffsetX, 3);
    EXPECT_EQ(skin.m_clickOffsetY, 0);
    EXPECT_EQ(skin.m_fontSize, 8) << "the Common font size is a single number";
    EXPECT_EQ(skin.m_fontWeight, 0);
    EXPECT_EQ(skin.m_fontName, "Arial");
}

TEST_F(CommonSectionTest, EmptyClickOffsetKeepsTheDefault) {
    Load("ClickOffset=\r\n");
    EXPECT_EQ(skin.m_clickOffsetX, 2);
    EXPECT_EQ(skin.m_clickOffsetY, 2);
}

TEST_F(CommonSectionTest, LongValuesAreCutTo510Characters) {
    Load("FontName=" + std::string(600, 'F') + "\r\n");
    EXPECT_EQ(skin.m_fontName.GetLength(), 510);
}

TEST(SkinSettingsTest, GetFieldCountsFromOne) {
    EXPECT_EQ(SkinSettings::GetField("x,y,z", 1), "x");
    EXPECT_EQ(SkinSettings::GetField("x,y,z", 3), "z");
    EXPECT_EQ(SkinSettings::GetField("x,y,z", 4), "");
    EXPECT_EQ(SkinSettings::GetField("x", 2), "");
    EXPECT_EQ(SkinSettings::GetField("x,y", 0), "x");
}

} // namespace
