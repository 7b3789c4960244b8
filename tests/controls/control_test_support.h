// Shared pieces of the control tests: bitmap files made on the fly, a
// visible host window that reflects owner-draw messages to its children,
// and pixel read-back from windows and memory canvases.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/afx_wnd.h"
#include "tests/support/message_pump.h"

namespace controls_test {

using PixelColour = std::function<COLORREF(int x, int y)>;

// A bottom-up 24-bit BMP file of width x height.
std::vector<uint8_t> MakeBmp24(int width, int height, const PixelColour& colour);
// A file of bytes; the folder is made per test run under the temp folder.
std::string TempFolder();
std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes);
std::string WriteTempText(const std::string& name, const std::string& text);

// A 32-bit top-down canvas in a memory DC.
class Canvas {
public:
    Canvas(int width, int height);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Canvas(Canvas&& other) noexcept;
    Canvas& operator=(Canvas&&) = delete;
    ~Canvas();
    HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    COLORREF Pixel(int x, int y) const;
    void Fill(COLORREF colour);
    // Copies what the window shows (its whole client area) to the canvas.
    void CopyFromWindow(HWND window, int x = 0, int y = 0);
    // Bounding box of pixels in [area] that differ from colour; empty
    // rectangle when there are none.
    RECT BoxNotOf(COLORREF colour, const RECT& area) const;
    int CountOf(COLORREF colour, const RECT& area) const;
    // Saves the canvas as a 24-bit BMP file.
    bool SaveBmp(const std::string& path) const;

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_dib = nullptr;
    HGDIOBJ m_previous = nullptr;
    uint32_t* m_bits = nullptr;
};

// A visible popup window at the screen's top-left corner, bound to a CWnd so
// that WM_DRAWITEM reaches the child controls' DrawItem. It records the
// WM_NOTIFY codes its children send.
class TestHost : public CWnd {
public:
    TestHost(int width, int height, COLORREF background = RGB(255, 0, 255));
    ~TestHost() override;
    HWND CreateChild(const char* windowClass, const char* text, DWORD style, int x, int y,
                     int width, int height, int id);
    std::vector<UINT> m_notifyCodes;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HWND m_window = nullptr;
    HBRUSH m_background = nullptr;
};

inline RECT Rect(int left, int top, int right, int bottom) {
    return RECT{left, top, right, bottom};
}

} // namespace controls_test
