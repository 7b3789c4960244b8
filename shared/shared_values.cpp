#include "shared/shared_values.h"

int SelectedLanguage = 1;
char DeviceAddress[kDeviceAddressSize] = {};
CString AdminUserName;
char AdminPassword[kAdminPasswordSize] = {};

std::atomic<uint8_t> ActionDone{0};
std::atomic<uint8_t> ActionCloseNow{0};
