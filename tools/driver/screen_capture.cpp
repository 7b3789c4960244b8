#include "tools/driver/screen_capture.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <vector>

#include "tools/driver/png_writer.h"

namespace fwdriver {
namespace {

struct ScreenDcDeleter {
    void operator()(HDC dc) const { ::ReleaseDC(nullptr, dc); }
};
struct MemoryDcDeleter {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};
struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcDeleter>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

// Restores the DC's previous bitmap before the bitmap is deleted.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
    ~SelectGuard() { ::SelectObject(dc_, old_); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace

bool CaptureScreen(const RECT& area, std::vector<std::uint8_t>* rgb, std::string* error) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        *error = "empty area";
        return false;
    }
    ScreenDc screen(::GetDC(nullptr));
    MemoryDc memory(::CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap bitmap(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap || !bits) {
        *error = "cannot create the capture bitmap";
        return false;
    }
    {
        SelectGuard select(memory.get(), bitmap.get());
        if (!::BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top,
                      SRCCOPY)) {
            *error = "BitBlt from the screen failed";
            return false;
        }
        ::GdiFlush();
    }
    const auto* bgrx = static_cast<const std::uint8_t*>(bits);
    rgb->resize(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
        (*rgb)[i * 3 + 0] = bgrx[i * 4 + 2];
        (*rgb)[i * 3 + 1] = bgrx[i * 4 + 1];
        (*rgb)[i * 3 + 2] = bgrx[i * 4 + 0];
    }
    return true;
}

bool WritePng(const RECT& area, const std::vector<std::uint8_t>& rgb, const std::wstring& path,
              std::string* error) {
    const std::vector<std::uint8_t> png =
        EncodePng(static_cast<std::uint32_t>(area.right - area.left),
                  static_cast<std::uint32_t>(area.bottom - area.top), rgb);
    std::unique_ptr<FILE, FileCloser> file(_wfopen(path.c_str(), L"wb"));
    if (!file) {
        *error = "cannot open the output file";
        return false;
    }
    if (std::fwrite(png.data(), 1, png.size(), file.get()) != png.size()) {
        *error = "cannot write the output file";
        return false;
    }
    return true;
}

} // namespace fwdriver
