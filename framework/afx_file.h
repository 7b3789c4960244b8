// CFile and CFileFind: an open file and a file search, each closed with its
// object.
#pragma once
#include <windows.h>

#include <cstdint>

class CFile {
public:
    enum OpenFlags : unsigned { modeRead = 0x0000, shareDenyNone = 0x0040 };
    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() { Close(); }

    // Opens an existing file for reading, shared for reading.
    bool Open(const char* path, unsigned flags = modeRead | shareDenyNone);
    uint64_t GetLength() const;
    // Reads up to count bytes; returns the number read (0 on failure).
    unsigned Read(void* buffer, unsigned count);
    void Close();
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

class CFileFind {
public:
    CFileFind() = default;
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;
    ~CFileFind() { Close(); }

    // TRUE when something matches the name (which may hold wildcards).
    bool FindFile(const char* name);
    void Close();

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
};
