#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "pages/ini_file.h"
#include "tests/pages/page_test_support.h"

namespace {
class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { m_path = ProgramFolder() + "ini_file_test.ini"; }
    void TearDown() override { ::DeleteFileA(m_path.c_str()); }
    void Write(const std::string& content) {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    std::string m_path;
};

TEST_F(IniFileTest, ValuesOfEveryLengthAreReadWholeWithTheBufferGrownAsNeeded) {
    struct Case {
        const char* name;
        size_t length;
        size_t bufferSize;
    };
    const Case cases[] = {
        {"short value, no growth", 5, 512},
        {"510 characters still fit the first buffer", 510, 512},
        {"exactly 511 characters fill it: one enlargement", 511, 1024},
        {"1,000 characters: one enlargement", 1000, 1024},
        {"1,023 characters: two enlargements", 1023, 1536},
    };
    for (const Case& c : cases) {
        const std::string value(c.length, 'v');
        Write("[MSG]\r\nKey=" + value + "\r\n");
        IniFile file(m_path.c_str());
        EXPECT_EQ(file.Get("MSG", "Key", "").str(), value) << c.name;
        EXPECT_EQ(file.LastBufferSize(), c.bufferSize) << c.name;
    }
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    Write("[MSG]\r\nFillIP=Please fill in the address.\r\n");
    IniFile file(m_path.c_str());
    EXPECT_EQ(file.Get("MSG", "FillIP", "x").str(), "Please fill in the address.");
    EXPECT_EQ(file.Get("msg", "fillip", "x").str(), "Please fill in the address.");
    EXPECT_EQ(file.Get("MSG", "Retry", "fallback").str(), "fallback");
    EXPECT_EQ(file.Get("Other", "FillIP", "fallback").str(), "fallback");
    EXPECT_EQ(file.Get("MSG", "Retry").str(), "");
    EXPECT_EQ(file.Get(nullptr, "FillIP", "copy").str(), "copy");
    EXPECT_EQ(file.Get("MSG", nullptr, "copy").str(), "copy");
    IniFile missing((ProgramFolder() + "no_such_file.ini").c_str());
    EXPECT_EQ(missing.Get("MSG", "FillIP", "").str(), "");
    EXPECT_EQ(missing.Get("MSG", "FillIP", "d").str(), "d");
}

TEST_F(IniFileTest, NothingIsCachedAChangedFileIsReadAtTheNextUse) {
    Write("[MSG]\r\nFillIP=first\r\n");
    IniFile file(m_path.c_str());
    EXPECT_EQ(file.Get("MSG", "FillIP").str(), "first");
    Write("[MSG]\r\nFillIP=second\r\n");
    EXPECT_EQ(file.Get("MSG", "FillIP").str(), "second");
}

TEST(MsgIniPath, IsTheProgramFolderAndMsgIni) {
    EXPECT_EQ(MsgIniPath().str(), ProgramFolder() + "MSG.ini");
}
} // namespace
