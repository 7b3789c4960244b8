// The router's answers to a language pack, the URL and the file per language.

#include <gtest/gtest.h>

#include <cstring>

#include "pages/language_pack_answers.h"

namespace {
const char kWrongType[] = "Upgrade file is not the correct type or version for this device. "
                          "Upgrade failed.\nPlease obtain the correct file and try again.";
const char kBusy[] = "Firmware upgrade terminated due to insufficient resources. Upgrade "
                     "failed.\nPlease try again when system is idle (no traffic).";
const char kAdmin[] = "Cannot upload, please contact your administrator.";
} // namespace

TEST(LanguagePackAnswers, FirstMarkerInOrderDecides) {
    struct Case {
        const char* name;
        const char* response;
        const char* message; // null: accepted
    } cases[] = {
        {"value 1", "<input id=\"AutoUpgradeRet\"value=\"1\">", kWrongType},
        {"value 2", "xAutoUpgradeRet\"value=\"2", kBusy},
        {"value 3", "AutoUpgradeRet\"value=\"3", kAdmin},
        {"2 before 1 in the text still shows 1",
         "AutoUpgradeRet\"value=\"2 AutoUpgradeRet\"value=\"1", kWrongType},
        {"3 and 2 shows 2", "AutoUpgradeRet\"value=\"3AutoUpgradeRet\"value=\"2", kBusy},
        {"value 0 is no refusal", "AutoUpgradeRet\"value=\"0", nullptr},
        {"marker with a space is not the marker", "AutoUpgradeRet\" value=\"1", nullptr},
        {"an error page counts as accepted", "<html>500 Internal Error</html>", nullptr},
        {"empty response", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* got = LanguagePackRefusal(c.response);
        if (!c.message)
            EXPECT_EQ(nullptr, got);
        else
            EXPECT_STREQ(c.message, got ? got : "(accepted)");
    }
}

TEST(LanguagePackAnswers, UrlTakesTheAddressBytesInOrder) {
    const uint8_t bytes[4] = {192, 168, 0, 1};
    uint32_t address = 0;
    std::memcpy(&address, bytes, 4);
    EXPECT_EQ("http://192.168.0.1/upload_lang.cgi", LanguageUploadUrl(address));
    const uint8_t other[4] = {10, 0, 200, 255};
    std::memcpy(&address, other, 4);
    EXPECT_EQ("http://10.0.200.255/upload_lang.cgi", LanguageUploadUrl(address));
}

TEST(LanguagePackAnswers, FilePerLanguageAndOthersKeepThePath) {
    EXPECT_EQ(".\\Firmware\\ZEPHYRA_EN.lang", LanguageFilePath(1, ""));
    EXPECT_EQ(".\\Firmware\\ZEPHYRA_FR.lang", LanguageFilePath(2, ""));
    EXPECT_EQ(".\\Firmware\\ZEPHYRA_DE.lang", LanguageFilePath(3, ""));
    EXPECT_EQ("", LanguageFilePath(0, ""));
    EXPECT_EQ(".\\Firmware\\ZEPHYRA_FR.lang", LanguageFilePath(4, ".\\Firmware\\ZEPHYRA_FR.lang"));
}
