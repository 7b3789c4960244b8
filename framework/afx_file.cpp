#include "framework/afx_file.h"

bool CFile::Open(const char* path, unsigned flags) {
    Close();
    const DWORD share =
        (flags & shareDenyNone) ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    m_hFile = ::CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

uint64_t CFile::GetLength() const {
    LARGE_INTEGER size{};
    if (!IsOpen() || !::GetFileSizeEx(m_hFile, &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

unsigned CFile::Read(void* buffer, unsigned count) {
    DWORD read = 0;
    if (!IsOpen() || !::ReadFile(m_hFile, buffer, count, &read, nullptr))
        return 0;
    return read;
}

void CFile::Close() {
    if (IsOpen())
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

bool CFileFind::FindFile(const char* name) {
    Close();
    WIN32_FIND_DATAA data{};
    m_find = ::FindFirstFileA(name, &data);
    return m_find != INVALID_HANDLE_VALUE;
}

void CFileFind::Close() {
    if (m_find != INVALID_HANDLE_VALUE)
        ::FindClose(m_find);
    m_find = INVALID_HANDLE_VALUE;
}
