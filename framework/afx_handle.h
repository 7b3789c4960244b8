// UniqueHandle: the one owner of a system handle. It frees the handle with
// itself, can be moved but never copied (a copy would free twice), and
// hands the handle over on request. A traits type names the kind: its
// handle type, the value that means "none" and the call that frees it.
#pragma once
#include <windows.h>

template <class Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : m_handle(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::None(); }
    // Gives the handle up without freeing it.
    Handle Release() {
        const Handle handle = m_handle;
        m_handle = Traits::None();
        return handle;
    }
    // Frees the handle held (if any) and holds handle instead.
    void Reset(Handle handle = Traits::None()) {
        if (m_handle != Traits::None())
            Traits::Free(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Traits::None();
};

// Events, threads: null when none.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static void Free(Handle handle) { ::CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

// Files: CreateFile's INVALID_HANDLE_VALUE when none.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Free(Handle handle) { ::CloseHandle(handle); }
};
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

// File searches.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Free(Handle handle) { ::FindClose(handle); }
};

// GDI objects of any type.
template <class GdiHandle> struct GdiHandleTraits {
    using Handle = GdiHandle;
    static Handle None() { return nullptr; }
    static void Free(Handle handle) { ::DeleteObject(handle); }
};
using UniqueBitmap = UniqueHandle<GdiHandleTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<GdiHandleTraits<HBRUSH>>;
