#pragma once
// The upgrade record's file (shared/upgrade_record.h has the lines): one per
// run in %LOCALAPPDATA%\Zephyra\FirmwareUpdater\, the newest ten kept.
#include <windows.h>

#include <cstdint>
#include <string>

namespace UpgradeRecord {

// Opens this run's record, deletes the oldest so that ten are left, writes
// its head (the program's and Windows' versions) and takes every line from
// then on. A record that cannot be kept (no folder, no rights, a full disk)
// is simply not kept: the wizard runs the same.
void Start(const char* programVersion);

// SHA-256 of a block as 64 lower-case hex digits (Windows' CNG); empty when
// the provider is not there.
std::string Sha256Text(const uint8_t* data, size_t length);

} // namespace UpgradeRecord
