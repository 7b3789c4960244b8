#include "framework/afx_file.h"

bool CFile::Open(const char* path, unsigned flags) {
    Close();
    const DWORD share =
        (flags & shareDenyNone) ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    m_file.Reset(::CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen();
}

uint64_t CFile::GetLength() const {
    LARGE_INTEGER size{};
    if (!IsOpen() || !::GetFileSizeEx(m_file.Get(), &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

unsigned CFile::Read(void* buffer, unsigned count) {
    DWORD read = 0;
    if (!IsOpen() || !::ReadFile(m_file.Get(), buffer, count, &read, nullptr))
        return 0;
    return read;
}

bool CFileFind::FindFile(const char* name) {
    Close();
    WIN32_FIND_DATAA data{};
    m_find.Reset(::FindFirstFileA(name, &data));
    return static_cast<bool>(m_find);
}
