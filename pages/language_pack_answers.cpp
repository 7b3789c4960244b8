#include "pages/language_pack_answers.h"

#include <cstdio>

const char kUploadFailedMessage[] = "Firmware Upgrade failed. Please try again.";

namespace {

struct Refusal {
    const char* marker;
    const char* message;
};

// Searched in this order: the first one found decides.
constexpr Refusal kRefusals[] = {
    {"AutoUpgradeRet\"value=\"1",
     "Upgrade file is not the correct type or version for this device. Upgrade failed.\n"
     "Please obtain the correct file and try again."},
    {"AutoUpgradeRet\"value=\"2",
     "Firmware upgrade terminated due to insufficient resources. Upgrade failed.\n"
     "Please try again when system is idle (no traffic)."},
    {"AutoUpgradeRet\"value=\"3", "Cannot upload, please contact your administrator."},
};

} // namespace

std::string LanguageUploadUrl(uint32_t deviceAddressNetworkOrder) {
    const auto* b = reinterpret_cast<const uint8_t*>(&deviceAddressNetworkOrder);
    char url[64];
    std::snprintf(url, sizeof url, "http://%d.%d.%d.%d/upload_lang.cgi", b[0], b[1], b[2], b[3]);
    return url;
}

std::string LanguageFilePath(int selectedLanguage, const std::string& current) {
    switch (selectedLanguage) {
    case 1:
        return ".\\Firmware\\ZEPHYRA_EN.lang";
    case 2:
        return ".\\Firmware\\ZEPHYRA_FR.lang";
    case 3:
        return ".\\Firmware\\ZEPHYRA_DE.lang";
    default:
        return current;
    }
}

const char* LanguagePackRefusal(const std::string& response) {
    for (const Refusal& refusal : kRefusals)
        if (response.find(refusal.marker) != std::string::npos)
            return refusal.message;
    return nullptr;
}
