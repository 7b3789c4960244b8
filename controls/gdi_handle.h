// Owning handles for the GDI objects the controls keep: deleted with their
// owner, move-only, so a picture or brush can never be freed twice.
#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

struct GdiObjectDeleter {
    void operator()(void* handle) const {
        if (handle)
            ::DeleteObject(static_cast<HGDIOBJ>(handle));
    }
};

template <class Handle>
using UniqueGdi = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

using UniqueBitmap = UniqueGdi<HBITMAP>;
using UniqueBrush = UniqueGdi<HBRUSH>;
