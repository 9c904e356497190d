#pragma once
// The window as the system sees it, for the tests of the Windows view and
// of the program: child windows by control id, their places, texts, fonts,
// the colours a control is given to paint with, and the pixels painted.
// Works on windows of this process and, where the system carries the
// message across (texts, styles, places, pixels on the screen), of another.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv::testing {

// Every descendant of `parent` (EnumChildWindows).
std::vector<HWND> childWindows(HWND parent);
// The descendant whose control id is `id`; nullptr when there is none.
HWND findChild(HWND parent, int id);

std::string windowText(HWND hwnd);  // WM_GETTEXT, also across processes
std::string className(HWND hwnd);
LONG_PTR style(HWND hwnd);

// The window's place in the client area of `frame`, and the client area's size.
RECT placeIn(HWND hwnd, HWND frame);
SIZE clientSize(HWND frame);
bool sameRect(const RECT& a, const RECT& b);
RECT rectOf(int left, int top, int width, int height);

// Visible and inside the client area: what the operator can see.
bool onScreen(HWND hwnd, HWND frame);

// The font a control draws with (WM_GETFONT), as the system describes it.
LOGFONTA fontOf(HWND hwnd);

// What `parent` answers when `control` asks for its colours (message is
// WM_CTLCOLORSTATIC or WM_CTLCOLOREDIT): text colour, text background and
// the colour of the brush it paints its background with.
struct ColourAnswer {
    COLORREF text = CLR_INVALID;
    COLORREF background = CLR_INVALID;
    COLORREF brush = CLR_INVALID;
};
ColourAnswer askColours(HWND parent, HWND control, UINT message = WM_CTLCOLORSTATIC);

// Pixels of a window as painted on the screen. fromWindowDc: read this
// process's window surface (after painting everything that is pending);
// otherwise the screen itself (for another process's window).
class Capture {
public:
    static Capture clientArea(HWND frame, bool fromWindowDc = true);
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const;
    // Pixels of exactly `colour` inside `area` (client coordinates).
    int count(COLORREF colour, const RECT& area) const;
    // Pixels within `tolerance` of `colour` on each channel.
    int countNear(COLORREF colour, const RECT& area, int tolerance) const;
    // Writes a PNG (GDI+); false when it could not.
    bool savePng(const std::string& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;  // 0x00RRGGBB, top row first
};

// GetProcessTimes: user plus kernel time this process has used, in ms.
double processorMilliseconds();

} // namespace qv::testing
