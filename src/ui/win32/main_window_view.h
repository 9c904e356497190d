#pragma once
// The main window drawn with the system's own controls (Win32). The window
// model is the truth: the view copies it onto the controls whenever
// render() runs (the event loop calls it around every round of message
// processing; unchanged parts cost a comparison), and it forwards the
// operator's input (CTRL, "Update", "Close", the close box) without
// deciding anything itself.
//
// Sizes and places are the design's pixels at 96 dpi, scaled by the dpi of
// the monitor the window is on (the program declares itself per-monitor
// dpi aware), so that the window is neither blurred nor cut at 125 % or
// 150 %.
#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/view_input.h"
#include "ui/win32/pane_feed.h"
#include "session/window_model.h"

namespace qv::win32 {

class GdiplusSession;
class Picture;

// What GetDlgCtrlID answers for each control, named as in the design.
enum ControlId : int {
    kMemo1 = 101,
    kMemo2,
    kLabel1,
    kLabel1ErrorMsg,
    kLabel2,
    kPanel1,
    kProgressBar1,
    kEdit1,
    kImage2 = 122,  // .. kImage8 = 128: kImage2 + number - 2
    kButton1 = 131, // .. kButton6 = 136
    kGroupBox1 = 141,  // .. kGroupBox4 = 144
};
constexpr int imageId(int number) { return kImage2 + number - 2; }
constexpr int buttonId(int number) { return kButton1 + number - 1; }
constexpr int groupBoxId(int number) { return kGroupBox1 + number - 1; }

// The model keeps the window's outer size as the window logic sets it. The
// frame around the client area is taken as 16 pixels wide and 25 high, as
// in the other views: the designed 520-pixel client fits the initial width,
// and the 250-pixel height shows the progress bar with the same 8-pixel
// margin as on its left. The real frame is added around that client area.
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 25;

class MainWindowView {
public:
    // Creates the window and its controls, hidden. The pictures come from
    // the RCDATA resources of `resources` (the program's own module when
    // null). When the window system refuses the window, created() is false
    // and creationError() says why.
    explicit MainWindowView(HINSTANCE resources = nullptr);
    ~MainWindowView();
    MainWindowView(const MainWindowView&) = delete;
    MainWindowView& operator=(const MainWindowView&) = delete;

    bool created() const { return window_ != nullptr; }
    const std::string& creationError() const { return creationError_; }

    // Draws `model` from now on and forwards the input; problems met while
    // creating the window (a missing picture, GDI+) go to input.diagnostic.
    void attach(const WindowModel& model, ViewInput input);
    // Forgets the model (it is about to go away); the window is hidden.
    void detach();

    // Brings the controls in line with the model.
    void render();

    // The key preview: the message loop shows every message here before it
    // is dispatched, so CTRL reaches the window logic wherever the focus is.
    void preview(const MSG& message);

    HWND window() const { return window_; }
    // A control by its ControlId (also those inside Panel1 and the group boxes).
    HWND control(int id) const;
    int dpi() const { return dpi_; }

private:
    struct Binding {
        const Control* control;
        HWND hwnd;
        std::optional<POINT> place;    // fixed place inside a group box
        std::optional<Control> shown;  // what was last applied
    };
    struct PaneBinding {
        const TextPane* pane;
        HWND hwnd;
        bool bold;
        PaneFeed feed;
        std::optional<std::pair<int, std::uint32_t>> font;  // point size, colour applied
    };
    using FontKey = std::tuple<std::string, int, bool>;  // face, design pixels, bold

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK paintedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    bool createWindow();
    void createControls();
    HWND createChild(HWND parent, const char* className, DWORD style, DWORD exStyle, int id);
    void loadPictures(HMODULE module);
    void bindModel();
    void setFonts();

    void applyControl(Binding& binding);
    void renderPane(PaneBinding& binding);
    void renderPanel();
    void renderWindow();
    void placeWindow(bool centre);
    void applyDpi(int dpi, const RECT* suggested);

    LRESULT controlColours(HDC dc, HWND control);
    bool drawUpdateButton(const DRAWITEMSTRUCT& item);
    void paintPanel(HDC dc);
    void paintPicture(HWND hwnd, HDC dc);
    void forwardClick(int id);

    int px(int designPixels) const { return MulDiv(designPixels, dpi_, 96); }
    HFONT font(const std::string& face, int designPixels, bool bold);
    HFONT paneFont(int points, bool bold);
    HBRUSH brush(COLORREF colour);
    static COLORREF toColorRef(std::uint32_t modelColour);
    std::uint32_t modelPanelColour() const;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    std::string creationError_;
    int dpi_ = 96;

    const WindowModel* model_ = nullptr;
    ViewInput input_;
    std::vector<std::string> pendingDiagnostics_;

    std::unique_ptr<GdiplusSession> gdiplus_;
    std::array<std::unique_ptr<Picture>, 7> pictures_;  // Image2 .. Image8

    HWND memo1_ = nullptr, memo2_ = nullptr;
    HWND label1_ = nullptr, label1ErrorMsg_ = nullptr, label2_ = nullptr;
    HWND panel1_ = nullptr, progressBar1_ = nullptr, edit1_ = nullptr;
    std::array<HWND, 7> images_{};      // Image2 .. Image8
    std::array<HWND, 6> buttons_{};     // Button1 .. Button6
    std::array<HWND, 4> groupBoxes_{};  // GroupBox1 .. GroupBox4

    std::vector<Binding> bindings_;
    std::vector<PaneBinding> panes_;
    std::map<FontKey, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;

    // Window state last applied.
    std::optional<std::string> caption_;
    std::optional<SIZE> clientSize_;
    std::optional<bool> systemMenu_;
    std::optional<int> progress_;
    std::optional<Panel> panel_;
    std::optional<std::uint32_t> label1Background_;
    bool placed_ = false;
};

} // namespace qv::win32
