#include "tests/controls/control_test_support.h"

#include <cstdio>

#include "framework/afx_app.h"

namespace controls_test {

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

const char kHostClass[] = "ControlsTestHost";

} // namespace

std::vector<uint8_t> MakeBmp24(int width, int height, const PixelColour& colour) {
    const size_t stride = ((static_cast<size_t>(width) * 24 + 31) / 32) * 4;
    const size_t pixels = stride * height;
    std::vector<uint8_t> out(54 + pixels, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<uint32_t>(out.size()));
    Put32(out, 10, 54);
    Put32(out, 14, 40);
    Put32(out, 18, static_cast<uint32_t>(width));
    Put32(out, 22, static_cast<uint32_t>(height));
    Put16(out, 26, 1);
    Put16(out, 28, 24);
    Put32(out, 34, static_cast<uint32_t>(pixels));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = out.data() + 54 + stride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colour(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    return out;
}

std::string TempFolder() {
    static std::string folder;
    if (folder.empty()) {
        char base[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, base);
        folder = std::string(base) + "controls_test_" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(folder.c_str(), nullptr);
    }
    return folder;
}

std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = TempFolder() + "\\" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

std::string WriteTempText(const std::string& name, const std::string& text) {
    return WriteTempFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}

Canvas::Canvas(int width, int height) : m_width(width), m_height(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    m_dc = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    m_dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    m_bits = static_cast<uint32_t*>(bits);
    m_previous = ::SelectObject(m_dc, m_dib);
}

Canvas::Canvas(Canvas&& other) noexcept
    : m_width(other.m_width), m_height(other.m_height), m_dc(other.m_dc), m_dib(other.m_dib),
      m_previous(other.m_previous), m_bits(other.m_bits) {
    other.m_dc = nullptr;
    other.m_dib = nullptr;
    other.m_bits = nullptr;
}

Canvas::~Canvas() {
    if (!m_dc)
        return;
    ::SelectObject(m_dc, m_previous);
    ::DeleteObject(m_dib);
    ::DeleteDC(m_dc);
}

COLORREF Canvas::Pixel(int x, int y) const {
    ::GdiFlush();
    const uint32_t v = m_bits[static_cast<size_t>(y) * m_width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void Canvas::Fill(COLORREF colour) {
    HBRUSH brush = ::CreateSolidBrush(colour);
    RECT all{0, 0, m_width, m_height};
    ::FillRect(m_dc, &all, brush);
    ::DeleteObject(brush);
}

void Canvas::CopyFromWindow(HWND window, int x, int y) {
    HDC source = ::GetDC(window);
    ::BitBlt(m_dc, 0, 0, m_width, m_height, source, x, y, SRCCOPY);
    ::ReleaseDC(window, source);
}

RECT Canvas::BoxNotOf(COLORREF colour, const RECT& area) const {
    RECT box{area.right, area.bottom, area.left, area.top};
    bool any = false;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (Pixel(x, y) != colour) {
                any = true;
                box.left = x < box.left ? x : box.left;
                box.top = y < box.top ? y : box.top;
                box.right = x + 1 > box.right ? x + 1 : box.right;
                box.bottom = y + 1 > box.bottom ? y + 1 : box.bottom;
            }
    return any ? box : RECT{0, 0, 0, 0};
}

int Canvas::CountOf(COLORREF colour, const RECT& area) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += Pixel(x, y) == colour ? 1 : 0;
    return count;
}

bool Canvas::SaveBmp(const std::string& path) const {
    const std::vector<uint8_t> bytes =
        MakeBmp24(m_width, m_height, [this](int x, int y) { return Pixel(x, y); });
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    return written;
}

TestHost::TestHost(int width, int height, COLORREF background) {
    static bool registered = false;
    if (!registered) {
        AfxInitCommonControls();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kHostClass;
        windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        registered = ::RegisterClassA(&windowClass) != 0;
    }
    m_background = ::CreateSolidBrush(background);
    m_window = ::CreateWindowExA(0, kHostClass, "controls test", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                 height, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    SubclassWindow(m_window);
    ::SetClassLongPtrA(m_window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(m_background));
    ::UpdateWindow(m_window);
}

TestHost::~TestHost() {
    HWND window = m_hWnd;
    if (window) {
        UnsubclassWindow();
        ::DestroyWindow(window);
    }
    ::DeleteObject(m_background);
}

HWND TestHost::CreateChild(const char* windowClass, const char* text, DWORD style, int x, int y,
                           int width, int height, int id) {
    return ::CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                             height, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleA(nullptr), nullptr);
}

LRESULT TestHost::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY)
        m_notifyCodes.push_back(reinterpret_cast<const NMHDR*>(lParam)->code);
    return CWnd::WindowProc(message, wParam, lParam);
}

} // namespace controls_test
