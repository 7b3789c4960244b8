// The skin check: every entry the windows load, read with the program's own
// readers, and every picture put through the program's own bitmap check.
// Each finding is one line "[Section] Key: what is wrong".
#pragma once
#include <string>
#include <vector>

#include "skin/skin_settings.h"
#include "tools/skinkit/skinned_windows.h"

// skin: pointed at the skin file and its folder, Common section read.
std::vector<std::string> CheckSkin(const SkinSettings& skin,
                                   const std::vector<SkinnedWindow>& windows);
