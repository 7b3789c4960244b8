// CFile and CFileFind: an open file and a file search, each closed with its
// object.
#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/afx_handle.h"

class CFile {
public:
    enum OpenFlags : unsigned { modeRead = 0x0000, shareDenyNone = 0x0040 };
    CFile() = default;

    // Opens an existing file for reading, shared for reading.
    bool Open(const char* path, unsigned flags = modeRead | shareDenyNone);
    uint64_t GetLength() const;
    // Reads up to count bytes; returns the number read (0 on failure).
    unsigned Read(void* buffer, unsigned count);
    void Close() { m_file.Reset(); }
    bool IsOpen() const { return static_cast<bool>(m_file); }

private:
    UniqueFileHandle m_file;
};

class CFileFind {
public:
    // TRUE when something matches the name (which may hold wildcards).
    bool FindFile(const char* name);
    void Close() { m_find.Reset(); }

private:
    UniqueHandle<FindHandleTraits> m_find;
};
