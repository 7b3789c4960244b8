#include "shared/upgrade_record_file.h"

#include <bcrypt.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

#include "framework/afx_handle.h"
#include "shared/upgrade_record.h"

namespace UpgradeRecord {

namespace {

constexpr const wchar_t* kFolderLevels[] = {L"\\Zephyra", L"\\FirmwareUpdater"};
constexpr size_t kRecordsKept = 10;

// Lines come from the user-interface thread and both workers: one at a
// time, each whole, to a file opened for appending. The file lives as long
// as the process; the system closes it at the end.
struct RecordFile {
    RecordFile() { ::InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock{};
    UniqueFileHandle file;
    ULONGLONG startMs = ::GetTickCount64();
};

RecordFile& TheRecordFile() {
    static RecordFile record; // lives to the process's end: workers may still write
    return record;
}

// Each line goes to the system with WriteFile at once, so the record holds
// it even if the program then crashes or is ended. A failed write is not
// retried: the record is never worth disturbing the wizard.
void WriteLine(const std::string& text) {
    RecordFile& record = TheRecordFile();
    const std::string line = StampedLine(::GetTickCount64() - record.startMs, text);
    ::EnterCriticalSection(&record.lock);
    DWORD written = 0;
    ::WriteFile(record.file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::LeaveCriticalSection(&record.lock);
}

std::wstring RecordFolder() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                  SHGFP_TYPE_CURRENT, base)))
        return {};
    std::wstring folder = base;
    // Each level in turn; one that is there already is fine.
    for (const wchar_t* level : kFolderLevels) {
        folder += level;
        if (!::CreateDirectoryW(folder.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return folder;
}

// Our records' names are plain ASCII; any other name is not ours.
std::vector<std::string> NamesIn(const std::wstring& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    UniqueHandle<FindHandleTraits> find(
        ::FindFirstFileW((folder + L"\\FirmwareUpdater-*.log").c_str(), &found));
    if (!find)
        return names;
    do {
        std::string name;
        for (const wchar_t* c = found.cFileName; *c && *c < 0x80; ++c)
            name += static_cast<char>(*c);
        if (name.size() == ::wcslen(found.cFileName))
            names.push_back(name);
    } while (::FindNextFileW(find.Get(), &found));
    return names;
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// The true version: GetVersionEx answers as the manifest's newest listed
// system, RtlGetVersion as the system is.
std::string WindowsVersion() {
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const auto call = reinterpret_cast<GetVersion>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!call || call(&info) != 0)
        return "Windows version unknown";
    char text[96];
    std::snprintf(text, sizeof text, "Windows %lu.%lu build %lu (RtlGetVersion)",
                  info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
    return text;
}

} // namespace

void Start(const char* programVersion) {
    const std::wstring folder = RecordFolder();
    if (folder.empty())
        return;
    // One is about to be added.
    for (const std::string& old : RecordsToDelete(NamesIn(folder), kRecordsKept - 1))
        ::DeleteFileW((folder + L"\\" + Wide(old)).c_str());
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string name =
        FileName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    RecordFile& record = TheRecordFile();
    // A second run within the same second adds to the same record.
    record.file.Reset(::CreateFileW((folder + L"\\" + Wide(name)).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!record.file)
        return;
    SetSink(&WriteLine);
    char head[160];
    std::snprintf(
        head, sizeof head, "FirmwareUpdater %s started %04u-%02u-%02u %02u:%02u:%02u local time",
        programVersion, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    Add(head);
    Add(WindowsVersion());
}

std::string Sha256Text(const uint8_t* data, size_t length) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return {};
    UCHAR digest[32] = {};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool done = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    // One call takes at most a ULONG; a firmware image is far smaller.
    done = done &&
           BCRYPT_SUCCESS(
               ::BCryptHashData(hash, const_cast<PUCHAR>(data), static_cast<ULONG>(length), 0)) &&
           BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof digest, 0));
    if (hash)
        ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!done)
        return {};
    std::string text;
    for (const UCHAR byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

} // namespace UpgradeRecord
