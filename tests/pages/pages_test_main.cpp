// The application object of the page tests: the pages find the skin through
// it, as in the program. The skin is the release folder's.
#include <gtest/gtest.h>

#include <string>

#include "app/firmware_updater_app.h"

FirmwareUpdaterApp theApp;

namespace {
// The release folder as Wine's Z: drive shows it.
std::string WindowsPath(std::string unixPath) {
    for (char& ch : unixPath) {
        if (ch == '/')
            ch = '\\';
    }
    return "Z:" + unixPath;
}

class SkinEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        AfxInitCommonControls();
        theApp.m_skin.m_moduleDir = CString(WindowsPath(FWU_DIST_DIR "/").c_str());
        theApp.m_skin.m_iniPath = theApp.m_skin.m_moduleDir + "English.ini";
        theApp.m_skin.LoadCommonSection();
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SkinEnvironment);
} // namespace
