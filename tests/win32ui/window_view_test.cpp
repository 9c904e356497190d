// The Windows view against hand-set window models: its controls as the
// system sees them (child windows, places, texts, fonts, colours, pixels),
// and what it forwards of the operator's input.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/support/created_window.h"
#include "support/child_windows.h"
#include "ui/win32/main_window_view.h"
#include "ui/win32/win32_event_loop.h"

namespace qv::win32 {
namespace {

using testing::askColours;
using testing::createdWindow;
using testing::Capture;
using testing::fontOf;
using testing::onScreen;
using testing::placeIn;
using testing::rectOf;
using testing::sameRect;
using testing::windowText;

constexpr COLORREF kNavy = RGB(0, 0, 0x80);

// Everything the view forwarded, in order.
struct InputLog {
    std::vector<std::string> events;
    ViewInput input() {
        return ViewInput{
            [this](int key) { events.push_back("down " + std::to_string(key)); },
            [this](int key) { events.push_back("up " + std::to_string(key)); },
            [this] { events.push_back("update"); },
            [this] { events.push_back("close button"); },
            [this] { events.push_back("close box"); },
            [this](const std::string& line) { events.push_back("diagnostic " + line); },
        };
    }
};

// A view of `model`, rendered, with its messages dispatched.
class ShownView {
public:
    explicit ShownView(WindowModel& model, ViewInput input = {}, HINSTANCE resources = nullptr)
        : view(resources) {
        EXPECT_TRUE(view.created()) << view.creationError();
        view.attach(model, std::move(input));
        refresh();
    }
    ~ShownView() { view.detach(); }

    void refresh() {
        view.render();
        pump();
    }
    void pump() {
        dispatchPendingMessages([this](const MSG& message) { view.preview(message); });
    }
    HWND frame() const { return view.window(); }
    HWND control(int id) const { return view.control(id); }
    // Design pixels at the view's dpi.
    int px(int design) const { return MulDiv(design, view.dpi(), 96); }
    RECT designRect(int left, int top, int width, int height) const {
        return rectOf(px(left), px(top), px(width), px(height));
    }
    bool placedAt(int id, int left, int top, int width, int height) const {
        return sameRect(placeIn(control(id), frame()), designRect(left, top, width, height));
    }

    MainWindowView view;
};

TEST(Win32WindowView, CreatedWindowIsFixedWhiteAndCentredWithoutCloseBox) {
    WindowModel model = createdWindow();
    ShownView shown(model);
    const HWND frame = shown.frame();

    EXPECT_EQ(windowText(frame), "QuorvexUpdate v2.7.6.1");
    EXPECT_TRUE(IsWindowVisible(frame));
    const SIZE client = testing::clientSize(frame);
    EXPECT_EQ(client.cx, shown.px(520));
    EXPECT_EQ(client.cy, shown.px(225));  // the 250-pixel window's client area
    const LONG_PTR style = testing::style(frame);
    EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0);
    EXPECT_NE(style & WS_CAPTION, 0);
    const Capture pixels = Capture::clientArea(frame);
    EXPECT_EQ(pixels.at(3, 3), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(pixels.at(client.cx - 3, client.cy / 2), RGB(0xFF, 0xFF, 0xFF));

    const HWND memo1 = shown.control(kMemo1);
    EXPECT_EQ(testing::className(memo1), "Edit");
    EXPECT_EQ(windowText(memo1), "Initialization ...");
    EXPECT_NE(testing::style(memo1) & ES_READONLY, 0);
    EXPECT_NE(testing::style(memo1) & ES_MULTILINE, 0);
    EXPECT_EQ(fontOf(memo1).lfWeight, FW_BOLD);
    EXPECT_TRUE(shown.placedAt(kMemo1, 192, 32, 321, 153));
    EXPECT_EQ(askColours(frame, memo1).brush, RGB(0xFF, 0xFF, 0xFF));
    EXPECT_FALSE(IsWindowVisible(shown.control(kMemo2)));
    EXPECT_TRUE(onScreen(shown.control(imageId(2)), frame));
    EXPECT_TRUE(shown.placedAt(imageId(2), 8, 32, 166, 111));
    EXPECT_TRUE(shown.placedAt(kProgressBar1, 8, 192, 505, 25));
    EXPECT_LT(placeIn(shown.control(kProgressBar1), frame).bottom, client.cy);

    // The right-hand area and the step-by-step controls are out of sight.
    for (int id : {buttonId(5), buttonId(6), imageId(5)}) {
        EXPECT_FALSE(onScreen(shown.control(id), frame)) << id;
    }
    for (int n = 1; n <= 4; ++n) {
        ASSERT_NE(shown.control(groupBoxId(n)), nullptr);
        EXPECT_FALSE(onScreen(shown.control(groupBoxId(n)), frame)) << n;
    }
    EXPECT_EQ(windowText(shown.control(groupBoxId(1))), "1. Select  firmware to download");
    EXPECT_EQ(windowText(shown.control(buttonId(2))), "Enter Flash Mode");
    EXPECT_FALSE(IsWindowEnabled(shown.control(buttonId(2))));
    EXPECT_EQ(GetParent(shown.control(buttonId(2))), shown.control(groupBoxId(2)));

    // Centred on the monitor's work area.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTOPRIMARY), &monitor));
    RECT outer{};
    GetWindowRect(frame, &outer);
    EXPECT_LE(std::abs((outer.left + outer.right) / 2 - (monitor.rcWork.left + monitor.rcWork.right) / 2), 1);
    EXPECT_LE(std::abs((outer.top + outer.bottom) / 2 - (monitor.rcWork.top + monitor.rcWork.bottom) / 2), 1);
}

TEST(Win32WindowView, DiagnosticPaneTakesTheStepIndicatorsPlace) {
    WindowModel model = createdWindow();
    model.image2.visible = false;
    model.memo2.visible = true;
    model.memo2.append("Mode: 1");
    ShownView shown(model);
    const HWND memo2 = shown.control(kMemo2);
    EXPECT_TRUE(onScreen(memo2, shown.frame()));
    EXPECT_TRUE(shown.placedAt(kMemo2, 8, 32, 177, 145));
    EXPECT_NE(testing::style(memo2) & WS_VSCROLL, 0);
    EXPECT_NE(testing::style(memo2) & ES_READONLY, 0);
    EXPECT_EQ(askColours(shown.frame(), memo2).brush, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(fontOf(memo2).lfWeight, FW_NORMAL);
    EXPECT_EQ(windowText(memo2), "Mode: 1");
    EXPECT_FALSE(onScreen(shown.control(imageId(2)), shown.frame()));
}

TEST(Win32WindowView, WidenedWindowUncoversUpdateCloseAndTheGesture) {
    WindowModel model = createdWindow();
    ShownView shown(model);
    model.width = 840;
    model.button5.enabled = true;
    model.button6.enabled = true;
    shown.refresh();
    const HWND frame = shown.frame();

    EXPECT_EQ(testing::clientSize(frame).cx, shown.px(824));
    EXPECT_EQ(testing::style(frame) & WS_THICKFRAME, 0);
    for (int n : {5, 6}) {
        const HWND button = shown.control(buttonId(n));
        EXPECT_TRUE(onScreen(button, frame)) << n;
        EXPECT_TRUE(IsWindowEnabled(button)) << n;
    }
    EXPECT_EQ(windowText(shown.control(buttonId(5))), "Update");
    EXPECT_TRUE(shown.placedAt(buttonId(5), 698, 75, 57, 33));
    EXPECT_EQ(fontOf(shown.control(buttonId(5))).lfWeight, FW_BOLD);
    EXPECT_EQ(windowText(shown.control(buttonId(6))), "Close");
    EXPECT_TRUE(shown.placedAt(buttonId(6), 736, 188, 81, 25));
    EXPECT_TRUE(onScreen(shown.control(imageId(5)), frame));
    EXPECT_TRUE(shown.placedAt(imageId(5), 528, 32, 297, 145));
    // "Update" is written in navy.
    const Capture pixels = Capture::clientArea(frame);
    EXPECT_GT(pixels.count(kNavy, placeIn(shown.control(buttonId(5)), frame)), 5);

    // The warnings wait below the window until the run starts.
    EXPECT_FALSE(onScreen(shown.control(imageId(6)), frame));
    model.image6.bounds = {520, 32, 305, 145};
    shown.refresh();
    EXPECT_TRUE(onScreen(shown.control(imageId(6)), frame));
}

TEST(Win32WindowView, MessagePaneFontsAndColours) {
    const struct {
        int points;
        std::uint32_t modelColour;
        int pixels;
        COLORREF colour;
    } cases[] = {
        {8, colour::kWindowText, 11, GetSysColor(COLOR_WINDOWTEXT)},
        {16, colour::kGreen, 21, RGB(0, 0x80, 0)},   // programming outcomes
        {18, colour::kRed, 24, RGB(0xFF, 0, 0)},     // checksum error at start-up
        {25, colour::kRed, 33, RGB(0xFF, 0, 0)},     // device not found, up to date, ...
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.points);
        WindowModel model = createdWindow();
        ShownView shown(model);
        model.memo1.clear();
        model.memo1.append("Success");
        model.memo1.fontSize = c.points;
        model.memo1.fontColour = c.modelColour;
        shown.refresh();
        const HWND memo1 = shown.control(kMemo1);
        EXPECT_EQ(fontOf(memo1).lfHeight, -shown.px(c.pixels));
        EXPECT_EQ(fontOf(memo1).lfWeight, FW_BOLD);
        EXPECT_EQ(askColours(shown.frame(), memo1).text, c.colour);
        EXPECT_EQ(windowText(memo1), "Success");
        // The text is drawn in that colour.
        const Capture pixels = Capture::clientArea(shown.frame());
        EXPECT_GT(pixels.count(c.colour, placeIn(memo1, shown.frame())), 10);
    }
}

TEST(Win32WindowView, PanesFollowAppendsAndClears) {
    WindowModel model = createdWindow();
    ShownView shown(model);
    const HWND memo1 = shown.control(kMemo1);
    model.memo1.append("Found Device!");
    shown.refresh();
    EXPECT_EQ(windowText(memo1), "Initialization ...\r\nFound Device!");

    // A clear followed by as many appends leaves the line count as it was:
    // the view must still notice the new text.
    model.memo1.clear();
    model.memo1.append("Enter Flash Mode.");
    model.memo1.append("Waiting");
    shown.refresh();
    EXPECT_EQ(windowText(memo1), "Enter Flash Mode.\r\nWaiting");

    // A line keeps its own line feed for the logs; it is not drawn as an
    // extra blank line.
    model.memo1.clear();
    model.memo1.append("Elapsed 12 s\n");
    model.memo1.append("Success");
    shown.refresh();
    EXPECT_EQ(windowText(memo1), "Elapsed 12 s\r\nSuccess");

    // A long diagnostic pane keeps every line and shows the last one.
    model.memo2.visible = true;
    for (int i = 0; i < 2000; ++i) model.memo2.append("Mode: " + std::to_string(i));
    shown.refresh();
    const HWND memo2 = shown.control(kMemo2);
    EXPECT_EQ(SendMessageA(memo2, EM_GETLINECOUNT, 0, 0), 2000);
    const std::string text = windowText(memo2);
    EXPECT_EQ(text.substr(text.size() - 10), "Mode: 1999");
    EXPECT_GT(SendMessageA(memo2, EM_GETFIRSTVISIBLELINE, 0, 0), 1900);
}

TEST(Win32WindowView, LabelsShowTheirTextsInTheirFonts) {
    WindowModel model = createdWindow();
    model.label2.caption = "Current firmware version: 1.2.3";
    ShownView shown(model);
    const HWND label2 = shown.control(kLabel2);
    EXPECT_EQ(windowText(label2), "Current firmware version: 1.2.3");
    EXPECT_EQ(placeIn(label2, shown.frame()).left, shown.px(192));
    EXPECT_EQ(placeIn(label2, shown.frame()).top, shown.px(8));
    EXPECT_EQ(fontOf(label2).lfHeight, -shown.px(13));

    const HWND label1 = shown.control(kLabel1);
    EXPECT_EQ(GetParent(label1), shown.control(kPanel1));
    EXPECT_EQ(windowText(label1), "Please shutdown Tablet PC then retry ");
    EXPECT_EQ(windowText(shown.control(kLabel1ErrorMsg)),
              "Please click  \"Close\" button , and re-Open this Tool , retry it.  Thnaks");
    EXPECT_EQ(std::string(fontOf(label1).lfFaceName), "Arial");
    EXPECT_EQ(fontOf(label1).lfHeight, -shown.px(27));
    EXPECT_EQ(askColours(shown.control(kPanel1), label1).text, RGB(0xFF, 0, 0));

    model.label1.caption = "Detach and attach Tablet PC then retry";
    shown.refresh();
    EXPECT_EQ(windowText(label1), "Detach and attach Tablet PC then retry");
    // The label grows with its text.
    HDC dc = GetDC(label1);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label1, WM_GETFONT, 0, 0)));
    SIZE needed{};
    GetTextExtentPoint32A(dc, model.label1.caption.c_str(), static_cast<int>(model.label1.caption.size()), &needed);
    SelectObject(dc, old);
    ReleaseDC(label1, dc);
    RECT label{};
    GetClientRect(label1, &label);
    EXPECT_GE(label.right, needed.cx);
}

TEST(Win32WindowView, ErrorPanelShowsTheBlinkColours) {
    const struct {
        std::uint32_t panel;
        std::uint32_t label;
    } cases[] = {{colour::kSkyBlue, colour::kLime}, {colour::kCream, colour::kGreen}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.panel);
        WindowModel model = createdWindow();
        ShownView shown(model);
        const HWND frame = shown.frame();
        const HWND panel = shown.control(kPanel1);
        EXPECT_FALSE(onScreen(panel, frame));
        model.panel1.visible = true;
        model.panel1.colour = c.panel;
        model.label1Background = c.label;
        model.image8.visible = true;
        shown.refresh();
        EXPECT_TRUE(onScreen(panel, frame));
        EXPECT_TRUE(shown.placedAt(kPanel1, 8, 96, 505, 81));
        EXPECT_TRUE(shown.placedAt(imageId(8), 528, 24, 305, 153));
        const RECT label1 = placeIn(shown.control(kLabel1), frame);
        EXPECT_EQ(label1.left, shown.px(8 + 10));
        EXPECT_EQ(label1.top, shown.px(96 + 15));
        EXPECT_EQ(placeIn(shown.control(kLabel1ErrorMsg), frame).left, shown.px(8 + 40));
        EXPECT_EQ(askColours(panel, shown.control(kLabel1)).brush, static_cast<COLORREF>(c.label));

        // On the screen: the panel's colour, the headline's background, and
        // the panel above the step indicator it overlaps.
        const Capture pixels = Capture::clientArea(frame);
        EXPECT_EQ(pixels.at(shown.px(8 + 3), shown.px(96 + 5)), static_cast<COLORREF>(c.panel));
        EXPECT_EQ(pixels.at(shown.px(8 + 250), shown.px(96 + 76)), static_cast<COLORREF>(c.panel));
        EXPECT_GT(pixels.count(static_cast<COLORREF>(c.label), label1), (label1.right - label1.left) * 5);
        EXPECT_GT(pixels.count(RGB(0xFF, 0, 0), label1), 20);
        POINT inside{shown.px(20), shown.px(120)};
        EXPECT_EQ(ChildWindowFromPointEx(frame, inside, CWP_SKIPINVISIBLE), panel);
    }
}

TEST(Win32WindowView, PicturesComeFromTheProgramsResources) {
    WindowModel model = createdWindow();
    model.width = 840;
    model.image6.bounds = {520, 32, 305, 145};
    InputLog log;
    ShownView shown(model, log.input());
    EXPECT_TRUE(log.events.empty()) << log.events.front();  // nothing missing
    const Capture pixels = Capture::clientArea(shown.frame());
    // The step indicator's first, highlighted step and the blue warning.
    const RECT step = placeIn(shown.control(imageId(2)), shown.frame());
    EXPECT_GT(pixels.countNear(RGB(0x1F, 0x5F, 0xAF), step, 8), 50);
    const RECT warning = placeIn(shown.control(imageId(6)), shown.frame());
    EXPECT_GT(pixels.countNear(RGB(0x1F, 0x5F, 0xAF), warning, 24), 1000);
    // Pictures take no clicks: they go to what lies below.
    EXPECT_EQ(SendMessageA(shown.control(imageId(5)), WM_NCHITTEST, 0, 0), HTTRANSPARENT);
}

TEST(Win32WindowView, MissingPicturesAreEmptyFramesAndSaySo) {
    WindowModel model = createdWindow();
    InputLog log;
    // A module without the pictures: the system's own.
    ShownView shown(model, log.input(), GetModuleHandleA("kernel32.dll"));
    ASSERT_EQ(log.events.size(), 7u);
    EXPECT_EQ(log.events.front(), "diagnostic Picture STEP_LAUNCH: not among the program's resources");
    EXPECT_EQ(log.events.back(), "diagnostic Picture DETACH_ATTACH: not among the program's resources");
    const Capture pixels = Capture::clientArea(shown.frame());
    const RECT step = placeIn(shown.control(imageId(2)), shown.frame());
    EXPECT_EQ(pixels.at(step.left, step.top + 20), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixels.at(step.left + 40, step.top + 40), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(windowText(shown.control(kMemo1)), "Initialization ...");  // the rest works as usual
}

TEST(Win32WindowView, ProgressBarIsTheSystemsAndFollowsTheModel) {
    WindowModel model = createdWindow();
    ShownView shown(model);
    const HWND bar = shown.control(kProgressBar1);
    EXPECT_EQ(testing::className(bar), PROGRESS_CLASSA);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    for (int value : {0, 37, 100}) {
        model.progress = value;
        shown.refresh();
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), value);
    }
    model.progress = 250;
    shown.refresh();
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 100);
}

TEST(Win32WindowView, ControlKeyReachesTheWindowWhereverTheFocusIs) {
    WindowModel model = createdWindow();
    model.width = 840;
    model.button5.enabled = true;
    InputLog log;
    ShownView shown(model, log.input());
    for (int id : {int{kMemo1}, buttonId(5), int{kProgressBar1}, 0}) {
        const HWND target = id == 0 ? shown.frame() : shown.control(id);
        log.events.clear();
        PostMessageA(target, WM_KEYDOWN, VK_CONTROL, 0);
        PostMessageA(target, WM_KEYDOWN, 'A', 0);
        PostMessageA(target, WM_KEYUP, 'A', 0);
        PostMessageA(target, WM_KEYUP, VK_CONTROL, 0);
        shown.pump();
        EXPECT_EQ(log.events, (std::vector<std::string>{"down 17", "up 17"})) << id;
    }
    // Keys of other windows are none of this window's business.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    log.events.clear();
    PostMessageA(other, WM_KEYDOWN, VK_CONTROL, 0);
    shown.pump();
    EXPECT_TRUE(log.events.empty());
    DestroyWindow(other);
}

TEST(Win32WindowView, LeavingTheWindowCountsAsReleasingControl) {
    WindowModel model = createdWindow();
    InputLog log;
    ShownView shown(model, log.input());
    log.events.clear();
    SendMessageA(shown.frame(), WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(log.events, std::vector<std::string>{"up 17"});
    SendMessageA(shown.frame(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(log.events.size(), 1u);
}

TEST(Win32WindowView, ButtonsForwardClicksOnlyWhenEnabled) {
    WindowModel model = createdWindow();
    model.width = 840;
    InputLog log;
    ShownView shown(model, log.input());
    const HWND update = shown.control(buttonId(5));
    const HWND close = shown.control(buttonId(6));
    // Disabled: neither a click nor a notification that comes anyway counts.
    SendMessageA(update, BM_CLICK, 0, 0);
    SendMessageA(close, BM_CLICK, 0, 0);
    SendMessageA(shown.frame(), WM_COMMAND, MAKEWPARAM(buttonId(5), BN_CLICKED), reinterpret_cast<LPARAM>(update));
    shown.pump();
    EXPECT_TRUE(log.events.empty());

    model.button5.enabled = true;
    model.button6.enabled = true;
    shown.refresh();
    SendMessageA(update, BM_CLICK, 0, 0);
    SendMessageA(close, BM_CLICK, 0, 0);
    shown.pump();
    EXPECT_EQ(log.events, (std::vector<std::string>{"update", "close button"}));
}

TEST(Win32WindowView, CloseBoxOnlyWithTheSystemMenu) {
    WindowModel model = createdWindow();
    InputLog log;
    ShownView shown(model, log.input());
    const HWND frame = shown.frame();
    const SIZE client = testing::clientSize(frame);
    SendMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);  // ALT+F4: no close box, ignored
    SendMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(IsWindowVisible(frame));

    model.borderIcons.systemMenu = true;
    shown.refresh();
    EXPECT_NE(testing::style(frame) & WS_SYSMENU, 0);
    EXPECT_TRUE(IsWindowVisible(frame));  // changing the title bar keeps it on screen
    EXPECT_EQ(testing::clientSize(frame).cx, client.cx);
    EXPECT_EQ(testing::clientSize(frame).cy, client.cy);
    SendMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(log.events, std::vector<std::string>{"close box"});
    EXPECT_TRUE(IsWindow(frame));  // the close sequence, not the view, decides
    EXPECT_TRUE(IsWindowVisible(frame));

    model.closed = true;
    shown.refresh();
    EXPECT_FALSE(IsWindowVisible(frame));
    SendMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "close box"), 1);  // a closed window does not close again
}

TEST(Win32WindowView, SilentWindowIsNeverShown) {
    WindowModel model = createdWindow();
    model.visible = false;
    ShownView shown(model);
    EXPECT_FALSE(IsWindowVisible(shown.frame()));
}

TEST(Win32WindowView, ScalesWithTheMonitorsDpi) {
    // The system keeps a window within the screen: the widened window is
    // checked at 125 %, the narrow one at 150 %, sizes that fit a screen
    // of 1024 pixels.
    struct Case {
        int dpi;
        int width;
    };
    for (const Case& scale : {Case{120, 840}, Case{144, 536}}) {
        SCOPED_TRACE(::testing::Message() << scale.dpi << " dpi, width " << scale.width << ", screen "
                                        << GetSystemMetrics(SM_CXVIRTUALSCREEN) << "x"
                                        << GetSystemMetrics(SM_CYVIRTUALSCREEN));
        WindowModel model = createdWindow();
        model.width = scale.width;
        ShownView shown(model);
        RECT outer{};
        GetWindowRect(shown.frame(), &outer);
        SendMessageA(shown.frame(), WM_DPICHANGED, MAKEWPARAM(scale.dpi, scale.dpi), reinterpret_cast<LPARAM>(&outer));
        shown.pump();
        ASSERT_EQ(shown.view.dpi(), scale.dpi);
        const int dpi = scale.dpi;
        const SIZE client = testing::clientSize(shown.frame());
        EXPECT_EQ(client.cx, MulDiv(scale.width - 16, dpi, 96));
        EXPECT_EQ(client.cy, MulDiv(225, dpi, 96));
        EXPECT_TRUE(shown.placedAt(kMemo1, 192, 32, 321, 153));
        EXPECT_TRUE(shown.placedAt(buttonId(5), 698, 75, 57, 33));
        EXPECT_TRUE(shown.placedAt(kProgressBar1, 8, 192, 505, 25));
        EXPECT_EQ(fontOf(shown.control(kMemo1)).lfHeight, -MulDiv(11, dpi, 96));
        EXPECT_EQ(fontOf(shown.control(kLabel1)).lfHeight, -MulDiv(27, dpi, 96));
        // Nothing is cut: the progress bar and, when uncovered, "Close" lie
        // inside the client area.
        EXPECT_LE(placeIn(shown.control(kProgressBar1), shown.frame()).bottom, client.cy);
        if (scale.width == 840) {
            EXPECT_LE(placeIn(shown.control(buttonId(6)), shown.frame()).right, client.cx);
        }
    }
}

TEST(Win32WindowView, ManifestSelectsCommonControlsSix) {
    // The view tests carry the program's manifest (with another execution
    // level): comctl32 comes from common controls 6, and the progress bar
    // is one of its controls.
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof redirection;
    EXPECT_TRUE(FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, "comctl32.dll",
                                         &redirection));
    WindowModel model = createdWindow();
    ShownView shown(model);
    const auto procedure = GetClassLongPtrW(shown.control(kProgressBar1), GCLP_WNDPROC);
    MEMORY_BASIC_INFORMATION memory{};
    ASSERT_NE(VirtualQuery(reinterpret_cast<const void*>(procedure), &memory, sizeof memory), 0u);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(static_cast<HMODULE>(memory.AllocationBase), path, MAX_PATH);
    std::string folder(path);
    std::transform(folder.begin(), folder.end(), folder.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_NE(folder.find("common-controls_6595b64144ccf1df_6."), std::string::npos) << path;
}

} // namespace
} // namespace qv::win32
