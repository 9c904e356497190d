#include "support/child_windows.h"

#include <objidl.h>

#include <algorithm>
#include <cstdlib>

#include <gdiplus.h>

namespace qv::testing {

namespace {
BOOL CALLBACK collect(HWND hwnd, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

bool pngEncoder(CLSID& clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<unsigned char> buffer(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}
} // namespace

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND findChild(HWND parent, int id) {
    for (HWND child : childWindows(parent)) {
        if (GetDlgCtrlID(child) == id) return child;
    }
    return nullptr;
}

std::string windowText(HWND hwnd) {
    const auto length = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const auto copied = SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(0, copied)));
    return text;
}

std::string className(HWND hwnd) {
    char name[128] = {};
    GetClassNameA(hwnd, name, static_cast<int>(sizeof name));
    return name;
}

LONG_PTR style(HWND hwnd) { return GetWindowLongPtrA(hwnd, GWL_STYLE); }

RECT placeIn(HWND hwnd, HWND frame) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE clientSize(HWND frame) {
    RECT rect{};
    GetClientRect(frame, &rect);
    return SIZE{rect.right, rect.bottom};
}

bool sameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

RECT rectOf(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

bool onScreen(HWND hwnd, HWND frame) {
    if (!IsWindowVisible(hwnd)) return false;
    RECT client{};
    GetClientRect(frame, &client);
    const RECT place = placeIn(hwnd, frame);
    RECT overlap{};
    return IntersectRect(&overlap, &client, &place) != FALSE;
}

LOGFONTA fontOf(HWND hwnd) {
    LOGFONTA font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    if (handle != nullptr) GetObjectA(handle, sizeof font, &font);
    return font;
}

ColourAnswer askColours(HWND parent, HWND control, UINT message) {
    ColourAnswer answer;
    HDC dc = CreateCompatibleDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, message, reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(control)));
    answer.text = GetTextColor(dc);
    answer.background = GetBkColor(dc);
    LOGBRUSH description{};
    if (brush != nullptr && GetObjectA(brush, sizeof description, &description) == sizeof description) {
        answer.brush = description.lbColor;
    }
    DeleteDC(dc);
    return answer;
}

Capture Capture::clientArea(HWND frame, bool fromWindowDc) {
    Capture capture;
    if (fromWindowDc) {
        RedrawWindow(frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    const SIZE size = clientSize(frame);
    capture.width_ = size.cx;
    capture.height_ = size.cy;
    if (size.cx <= 0 || size.cy <= 0) return capture;
    POINT origin{0, 0};
    HDC source = nullptr;
    if (fromWindowDc) {
        source = GetDC(frame);
    } else {
        ClientToScreen(frame, &origin);
        source = GetDC(nullptr);
    }
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, size.cx, size.cy, source, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    capture.pixels_.assign(pixels, pixels + static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    for (auto& pixel : capture.pixels_) pixel &= 0x00FFFFFFu;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(fromWindowDc ? frame : nullptr, source);
    return capture;
}

COLORREF Capture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const std::uint32_t pixel = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int Capture::count(COLORREF colour, const RECT& area) const { return countNear(colour, area, 0); }

int Capture::countNear(COLORREF colour, const RECT& area, int tolerance) const {
    int found = 0;
    for (int y = std::max(0L, area.top); y < std::min<LONG>(height_, area.bottom); ++y) {
        for (int x = std::max(0L, area.left); x < std::min<LONG>(width_, area.right); ++x) {
            const COLORREF pixel = at(x, y);
            if (std::abs(GetRValue(pixel) - GetRValue(colour)) <= tolerance &&
                std::abs(GetGValue(pixel) - GetGValue(colour)) <= tolerance &&
                std::abs(GetBValue(pixel) - GetBValue(colour)) <= tolerance) {
                ++found;
            }
        }
    }
    return found;
}

bool Capture::savePng(const std::string& path) const {
    if (width_ <= 0 || height_ <= 0) return false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    bool saved = false;
    {
        std::vector<std::uint32_t> opaque(pixels_);
        for (auto& pixel : opaque) pixel |= 0xFF000000u;
        Gdiplus::Bitmap bitmap(width_, height_, width_ * 4, PixelFormat32bppARGB,
                               reinterpret_cast<BYTE*>(opaque.data()));
        CLSID png{};
        const std::wstring widePath(path.begin(), path.end());
        saved = pngEncoder(png) && bitmap.Save(widePath.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

double processorMilliseconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& time) {
        return static_cast<double>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

} // namespace qv::testing
