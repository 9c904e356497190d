#include "ui/win32/main_window_view.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <cstring>

#include "ui/win32/picture.h"

namespace qv::win32 {

namespace {

constexpr const char* kWindowClass = "QuorvexUpdateForm1";
constexpr const char* kPanelClass = "QuorvexUpdatePanel";
constexpr const char* kPictureClass = "QuorvexUpdatePicture";

// A fixed single border with a caption; the system menu (and with it the
// close box) only when the window logic gives it back.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;

// Design fonts: the window's MS Sans Serif 8 (drawn with its TrueType
// successor, which scales), the 13-pixel labels and the 27-pixel Arial
// headline of the error panel.
constexpr const char* kSansSerif = "Microsoft Sans Serif";
constexpr const char* kArial = "Arial";
constexpr int kWindowFontPixels = 11;  // 8 points at 96 dpi
constexpr int kLabelPixels = 13;
constexpr int kHeadlinePixels = 27;

constexpr COLORREF kNavy = RGB(0x00, 0x00, 0x80);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr std::uint32_t kSystemColourFlag = 0xFF000000;

// The drawings of Image2 .. Image8, by resource name.
constexpr const char* kPictureNames[] = {
    "STEP_LAUNCH", "STEP_UPDATING", "STEP_COMPLETED", "CTRL_UPDATE", "WARNING_BLUE", "WARNING_RED", "DETACH_ATTACH",
};

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// Functions of newer systems, looked up where they exist.
template <typename Function>
Function user32Function(const char* name) {
    const FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), name);
    Function function = nullptr;
    static_assert(sizeof function == sizeof found);
    std::memcpy(&function, &found, sizeof function);
    return function;
}

int windowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void adjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = user32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
}

bool sameBounds(const Bounds& a, const Bounds& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

bool sameControl(const Control& a, const Control& b) {
    return sameBounds(a.bounds, b.bounds) && a.visible == b.visible && a.enabled == b.enabled &&
           a.caption == b.caption;
}

bool styleVisible(HWND hwnd) { return (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

void setVisible(HWND hwnd, bool visible) {
    if (styleVisible(hwnd) != visible) {
        ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
    }
}

void setEnabled(HWND hwnd, bool enabled) {
    if ((IsWindowEnabled(hwnd) != FALSE) != enabled) {
        EnableWindow(hwnd, enabled ? TRUE : FALSE);
    }
}

// The size of a label's text in its font.
SIZE textExtent(HWND hwnd, const std::string& text) {
    SIZE size{0, 0};
    HDC dc = GetDC(hwnd);
    if (dc == nullptr) return size;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    if (text.empty()) {
        TEXTMETRICA metrics;
        GetTextMetricsA(dc, &metrics);
        size.cy = metrics.tmHeight;
    } else {
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return size;
}

void registerClasses(HINSTANCE instance, WNDPROC windowProc, WNDPROC paintedProc) {
    const struct {
        const char* name;
        WNDPROC proc;
        HBRUSH background;
    } classes[] = {
        {kWindowClass, windowProc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))},
        {kPanelClass, paintedProc, nullptr},
        {kPictureClass, paintedProc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))},
    };
    for (const auto& entry : classes) {
        WNDCLASSEXA windowClass{};
        if (GetClassInfoExA(instance, entry.name, &windowClass)) continue;
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = entry.proc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = entry.background;
        windowClass.lpszClassName = entry.name;
        RegisterClassExA(&windowClass);
    }
}

MainWindowView* viewOf(HWND hwnd) { return reinterpret_cast<MainWindowView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

// Keeps the view pointer given at creation with the window.
void keepView(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
}

} // namespace

MainWindowView::MainWindowView(HINSTANCE resources) : instance_(GetModuleHandleA(nullptr)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!createWindow()) {
        return;
    }
    dpi_ = windowDpi(window_);
    createControls();
    setFonts();
    gdiplus_ = std::make_unique<GdiplusSession>();
    loadPictures(resources != nullptr ? resources : instance_);
}

MainWindowView::~MainWindowView() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    for (auto& [key, font] : fonts_) DeleteObject(font);
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

bool MainWindowView::createWindow() {
    registerClasses(instance_, windowProc, paintedProc);
    window_ = CreateWindowExA(kWindowExStyle, kWindowClass, "", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                              nullptr, nullptr, instance_, this);
    if (window_ == nullptr) {
        creationError_ = "the system refused to create the window (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

HWND MainWindowView::createChild(HWND parent, const char* className, DWORD style, DWORD exStyle, int id) {
    return CreateWindowExA(exStyle, className, "", WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, this);
}

void MainWindowView::createControls() {
    constexpr DWORD kPane = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
    memo1_ = createChild(window_, "EDIT", kPane, WS_EX_CLIENTEDGE, kMemo1);
    memo2_ = createChild(window_, "EDIT", kPane | WS_VSCROLL, WS_EX_CLIENTEDGE, kMemo2);
    for (HWND pane : {memo1_, memo2_}) {
        SendMessageA(pane, EM_SETLIMITTEXT, 0, 0);  // the panes are never trimmed
    }
    label2_ = createChild(window_, "STATIC", SS_LEFT | SS_NOPREFIX, 0, kLabel2);
    progressBar1_ = createChild(window_, PROGRESS_CLASSA, 0, 0, kProgressBar1);
    SendMessageA(progressBar1_, PBM_SETRANGE32, 0, 100);

    // The step-by-step controls: they exist, hold their state, and lie
    // outside the window.
    for (int n = 1; n <= 4; ++n) {
        groupBoxes_[n - 1] = createChild(window_, "BUTTON", BS_GROUPBOX, 0, groupBoxId(n));
    }
    edit1_ = createChild(groupBoxes_[0], "EDIT", ES_READONLY | ES_AUTOHSCROLL | WS_VISIBLE, WS_EX_CLIENTEDGE, kEdit1);
    for (int n = 1; n <= 4; ++n) {
        const HWND parent = groupBoxes_[n == 1 ? 0 : n - 1];
        buttons_[n - 1] = createChild(parent, "BUTTON", BS_PUSHBUTTON | WS_VISIBLE, 0, buttonId(n));
    }

    for (int n = 2; n <= 8; ++n) {
        images_[n - 2] = createChild(window_, kPictureClass, 0, 0, imageId(n));
    }
    panel1_ = createChild(window_, kPanelClass, WS_CLIPCHILDREN, 0, kPanel1);
    label1_ = createChild(panel1_, "STATIC", SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 0, kLabel1);
    label1ErrorMsg_ = createChild(panel1_, "STATIC", SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 0, kLabel1ErrorMsg);

    // The operator's buttons in the right-hand area. "Update" draws its own
    // navy caption on the system's button face.
    buttons_[4] = createChild(window_, "BUTTON", BS_OWNERDRAW | WS_TABSTOP, 0, buttonId(5));
    buttons_[5] = createChild(window_, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, buttonId(6));

    // Drawing order, bottom to top: the panes, the pictures above them, the
    // error panel above the step indicator, the buttons on top.
    std::vector<HWND> order{memo1_, memo2_, label2_, progressBar1_};
    order.insert(order.end(), groupBoxes_.begin(), groupBoxes_.end());
    order.insert(order.end(), images_.begin(), images_.end());
    order.insert(order.end(), {panel1_, buttons_[4], buttons_[5]});
    for (HWND child : order) {
        SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void MainWindowView::setFonts() {
    const auto setFont = [](HWND hwnd, HFONT font) { SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); };
    const HFONT windowFont = font(kSansSerif, kWindowFontPixels, false);
    for (HWND hwnd : groupBoxes_) setFont(hwnd, windowFont);
    for (HWND hwnd : buttons_) setFont(hwnd, windowFont);
    setFont(edit1_, windowFont);
    setFont(progressBar1_, windowFont);
    setFont(buttons_[4], font(kSansSerif, kWindowFontPixels, true));
    setFont(label2_, font(kSansSerif, kLabelPixels, false));
    setFont(label1ErrorMsg_, font(kSansSerif, kLabelPixels, false));
    setFont(label1_, font(kArial, kHeadlinePixels, false));
    setFont(memo1_, paneFont(8, true));
    setFont(memo2_, paneFont(8, false));
}

void MainWindowView::loadPictures(HMODULE module) {
    if (!gdiplus_->ok()) {
        pendingDiagnostics_.push_back(gdiplus_->error());
    }
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
        pictures_[i] = std::make_unique<Picture>();
        std::string error;
        if (gdiplus_->ok() && !pictures_[i]->load(module, kPictureNames[i], error)) {
            pendingDiagnostics_.push_back(error);
        }
    }
}

void MainWindowView::attach(const WindowModel& model, ViewInput input) {
    model_ = &model;
    input_ = std::move(input);
    bindModel();
    if (input_.diagnostic) {
        for (const auto& line : pendingDiagnostics_) input_.diagnostic(line);
    }
    pendingDiagnostics_.clear();
}

void MainWindowView::detach() {
    if (window_ != nullptr) {
        ShowWindow(window_, SW_HIDE);
    }
    model_ = nullptr;
    input_ = {};
    bindings_.clear();
    panes_.clear();
}

void MainWindowView::bindModel() {
    bindings_.clear();
    panes_.clear();
    if (window_ == nullptr) return;
    const auto bind = [this](const Control& control, HWND hwnd, std::optional<POINT> place = std::nullopt) {
        bindings_.push_back(Binding{&control, hwnd, place, std::nullopt});
    };
    panes_.push_back(PaneBinding{&model_->memo1, memo1_, true, {}, std::nullopt});
    panes_.push_back(PaneBinding{&model_->memo2, memo2_, false, {}, std::nullopt});
    bind(model_->label2, label2_);
    bind(model_->progressBar1, progressBar1_);
    bind(model_->label1, label1_);
    bind(model_->label1ErrorMsg, label1ErrorMsg_);
    const Control* images[] = {&model_->image2, &model_->image3, &model_->image4, &model_->image5,
                               &model_->image6, &model_->image7, &model_->image8};
    for (std::size_t i = 0; i < images_.size(); ++i) bind(*images[i], images_[i]);
    const Control* boxes[] = {&model_->groupBox1, &model_->groupBox2, &model_->groupBox3, &model_->groupBox4};
    for (std::size_t i = 0; i < groupBoxes_.size(); ++i) bind(*boxes[i], groupBoxes_[i]);
    bind(model_->edit1, edit1_, POINT{16, 24});
    bind(model_->button1, buttons_[0], POINT{16, 56});
    bind(model_->button2, buttons_[1], POINT{20, 32});
    bind(model_->button3, buttons_[2], POINT{20, 32});
    bind(model_->button4, buttons_[3], POINT{16, 32});
    bind(model_->button5, buttons_[4]);
    bind(model_->button6, buttons_[5]);
    caption_.reset();
    clientSize_.reset();
    systemMenu_.reset();
    progress_.reset();
    panel_.reset();
    label1Background_.reset();
    placed_ = false;
}

HWND MainWindowView::control(int id) const {
    const struct {
        int id;
        HWND hwnd;
    } named[] = {{kMemo1, memo1_},   {kMemo2, memo2_},           {kLabel1, label1_},
                 {kLabel1ErrorMsg, label1ErrorMsg_}, {kLabel2, label2_}, {kPanel1, panel1_},
                 {kProgressBar1, progressBar1_},     {kEdit1, edit1_}};
    for (const auto& entry : named) {
        if (entry.id == id) return entry.hwnd;
    }
    if (id >= imageId(2) && id <= imageId(8)) return images_[static_cast<std::size_t>(id - imageId(2))];
    if (id >= buttonId(1) && id <= buttonId(6)) return buttons_[static_cast<std::size_t>(id - buttonId(1))];
    if (id >= groupBoxId(1) && id <= groupBoxId(4)) return groupBoxes_[static_cast<std::size_t>(id - groupBoxId(1))];
    return nullptr;
}

void MainWindowView::render() {
    if (model_ == nullptr || window_ == nullptr) {
        return;
    }
    for (Binding& binding : bindings_) {
        applyControl(binding);
    }
    for (PaneBinding& pane : panes_) {
        renderPane(pane);
    }
    renderPanel();
    const int progress = std::clamp(model_->progress, 0, 100);
    if (progress_ != progress) {
        SendMessageA(progressBar1_, PBM_SETPOS, static_cast<WPARAM>(progress), 0);
        progress_ = progress;
    }
    renderWindow();
}

void MainWindowView::applyControl(Binding& binding) {
    const Control& control = *binding.control;
    if (binding.shown && sameControl(*binding.shown, control)) {
        return;
    }
    HWND hwnd = binding.hwnd;
    if (!binding.shown || binding.shown->caption != control.caption) {
        SetWindowTextA(hwnd, control.caption.c_str());
    }
    const Bounds& b = control.bounds;
    const POINT place = binding.place.value_or(POINT{b.left, b.top});
    if (b.width > 0 && b.height > 0) {
        SetWindowPos(hwnd, nullptr, px(place.x), px(place.y), px(b.width), px(b.height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        // Labels take the size of their text.
        const SIZE size = textExtent(hwnd, control.caption);
        SetWindowPos(hwnd, nullptr, px(place.x), px(place.y), size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    setEnabled(hwnd, control.enabled);
    setVisible(hwnd, control.visible);
    binding.shown = control;
}

void MainWindowView::renderPane(PaneBinding& binding) {
    const TextPane& pane = *binding.pane;
    HWND hwnd = binding.hwnd;
    const std::pair<int, std::uint32_t> font{pane.fontSize, pane.fontColour};
    if (binding.font != font) {
        if (!binding.font || binding.font->first != pane.fontSize) {
            SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(paneFont(pane.fontSize, binding.bold)), TRUE);
        }
        InvalidateRect(hwnd, nullptr, TRUE);  // the colour is asked for when it paints
        binding.font = font;
    }
    const Bounds& b = pane.bounds;
    RECT placed{};
    GetWindowRect(hwnd, &placed);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&placed), 2);
    const RECT wanted{px(b.left), px(b.top), px(b.left) + px(b.width), px(b.top) + px(b.height)};
    if (!EqualRect(&placed, &wanted)) {
        SetWindowPos(hwnd, nullptr, wanted.left, wanted.top, wanted.right - wanted.left, wanted.bottom - wanted.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    setVisible(hwnd, pane.visible);

    const PaneEdit edit = binding.feed.next(pane);
    if (!edit.replaceAll && edit.text.empty()) {
        return;
    }
    if (edit.replaceAll) {
        SetWindowTextA(hwnd, edit.text.c_str());
    }
    // The caret at the end keeps the last line in view.
    const auto end = static_cast<WPARAM>(GetWindowTextLengthA(hwnd));
    SendMessageA(hwnd, EM_SETSEL, end, static_cast<LPARAM>(end));
    if (!edit.replaceAll) {
        SendMessageA(hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(edit.text.c_str()));
    }
    SendMessageA(hwnd, EM_SCROLLCARET, 0, 0);
}

void MainWindowView::renderPanel() {
    const Panel& panel = model_->panel1;
    if (!panel_ || !sameBounds(panel_->bounds, panel.bounds)) {
        SetWindowPos(panel1_, nullptr, px(panel.bounds.left), px(panel.bounds.top), px(panel.bounds.width),
                     px(panel.bounds.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!panel_ || panel_->colour != panel.colour) {
        RedrawWindow(panel1_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    setVisible(panel1_, panel.visible);
    panel_ = panel;
    if (label1Background_ != model_->label1Background) {
        InvalidateRect(label1_, nullptr, TRUE);
        label1Background_ = model_->label1Background;
    }
}

void MainWindowView::renderWindow() {
    if (caption_ != model_->caption) {
        SetWindowTextA(window_, model_->caption.c_str());
        caption_ = model_->caption;
    }
    if (systemMenu_ != model_->borderIcons.systemMenu) {
        const bool systemMenu = model_->borderIcons.systemMenu;
        SetWindowLongPtrA(window_, GWL_STYLE,
                          static_cast<LONG_PTR>(kWindowStyle | (systemMenu ? WS_SYSMENU : 0) |
                                                (styleVisible(window_) ? WS_VISIBLE : 0)));
        SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        systemMenu_ = systemMenu;
        if (clientSize_) placeWindow(false);  // the same client area in the new frame
    }
    const SIZE client{px(std::max(1, model_->width - kFrameWidth)), px(std::max(1, model_->height - kFrameHeight))};
    if (!clientSize_ || clientSize_->cx != client.cx || clientSize_->cy != client.cy) {
        clientSize_ = client;
        placeWindow(true);  // centred, at start and whenever the size changes
    }
    const bool shown = model_->visible && !model_->closed;
    if (shown != styleVisible(window_)) {
        ShowWindow(window_, shown ? SW_SHOW : SW_HIDE);
        if (shown) UpdateWindow(window_);
    }
}

void MainWindowView::placeWindow(bool centre) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_EXSTYLE));
    RECT outer{0, 0, clientSize_->cx, clientSize_->cy};
    adjustWindowRect(outer, style, exStyle, dpi_);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    int left = 0;
    int top = 0;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (centre && GetMonitorInfoA(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const RECT& area = monitor.rcWork;
        left = area.left + (area.right - area.left - width) / 2;
        top = area.top + (area.bottom - area.top - height) / 2;
    } else {
        flags |= SWP_NOMOVE;
    }
    SetWindowPos(window_, nullptr, left, top, width, height, flags);
    // The frame the system draws may differ from the one computed (a dpi
    // the frame does not follow, a theme): make up for it once.
    RECT client{};
    GetClientRect(window_, &client);
    const int extraWidth = clientSize_->cx - client.right;
    const int extraHeight = clientSize_->cy - client.bottom;
    if (extraWidth != 0 || extraHeight != 0) {
        SetWindowPos(window_, nullptr, 0, 0, width + extraWidth, height + extraHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    placed_ = true;
}

void MainWindowView::applyDpi(int dpi, const RECT* suggested) {
    if (dpi <= 0 || dpi == dpi_) {
        return;
    }
    dpi_ = dpi;
    std::map<FontKey, HFONT> oldFonts;
    oldFonts.swap(fonts_);
    setFonts();
    for (Binding& binding : bindings_) binding.shown.reset();
    for (PaneBinding& pane : panes_) pane.font.reset();
    panel_.reset();
    if (suggested != nullptr) {
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (model_ != nullptr) {
        // The window keeps its place on the monitor; only its size follows.
        clientSize_ = SIZE{px(std::max(1, model_->width - kFrameWidth)), px(std::max(1, model_->height - kFrameHeight))};
        placeWindow(false);
        render();
    }
    for (auto& [key, font] : oldFonts) DeleteObject(font);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindowView::preview(const MSG& message) {
    if (model_ == nullptr || window_ == nullptr || message.wParam != VK_CONTROL) {
        return;
    }
    const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    const bool up = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
    if (!down && !up) {
        return;
    }
    if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) {
        return;  // keys of other windows are none of this window's business
    }
    const auto& handler = down ? input_.keyDown : input_.keyUp;
    if (handler) {
        handler(VK_CONTROL);
    }
}

void MainWindowView::forwardClick(int id) {
    if (model_ == nullptr) {
        return;
    }
    // A click reaches the window logic only while the button is enabled,
    // on the screen as in the model.
    if (id == buttonId(5) && IsWindowEnabled(buttons_[4]) && model_->button5.enabled && input_.updateClicked) {
        input_.updateClicked();
    } else if (id == buttonId(6) && IsWindowEnabled(buttons_[5]) && model_->button6.enabled && input_.closeClicked) {
        input_.closeClicked();
    } else {
        return;
    }
    render();
}

COLORREF MainWindowView::toColorRef(std::uint32_t modelColour) {
    if ((modelColour & kSystemColourFlag) == kSystemColourFlag) {
        return GetSysColor(static_cast<int>(modelColour & 0xFFu));
    }
    return static_cast<COLORREF>(modelColour & 0x00FFFFFFu);  // both are 0x00BBGGRR
}

std::uint32_t MainWindowView::modelPanelColour() const {
    return model_ != nullptr ? model_->panel1.colour : colour::kSkyBlue;
}

HBRUSH MainWindowView::brush(COLORREF colour) {
    auto found = brushes_.find(colour);
    if (found == brushes_.end()) {
        found = brushes_.emplace(colour, CreateSolidBrush(colour)).first;
    }
    return found->second;
}

HFONT MainWindowView::font(const std::string& face, int designPixels, bool bold) {
    const FontKey key{face, designPixels, bold};
    auto found = fonts_.find(key);
    if (found == fonts_.end()) {
        HFONT created = CreateFontA(-px(designPixels), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_SWISS, face.c_str());
        found = fonts_.emplace(key, created).first;
    }
    return found->second;
}

HFONT MainWindowView::paneFont(int points, bool bold) {
    return font(kSansSerif, MulDiv(std::max(1, points), 96, 72), bold);
}

LRESULT MainWindowView::controlColours(HDC dc, HWND control) {
    COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    COLORREF background = kWhite;
    if (control == memo1_ && model_ != nullptr) {
        text = toColorRef(model_->memo1.fontColour);
    } else if (control == memo2_) {
        text = toColorRef(model_ != nullptr ? model_->memo2.fontColour : colour::kWindowText);
        background = GetSysColor(COLOR_BTNFACE);
    } else if (control == label1_) {
        text = toColorRef(colour::kRed);
        background = toColorRef(model_ != nullptr ? model_->label1Background : colour::kLime);
    } else if (control == label1ErrorMsg_) {
        background = toColorRef(modelPanelColour());
    }
    SetTextColor(dc, text);
    SetBkColor(dc, background);
    return reinterpret_cast<LRESULT>(brush(background));
}

bool MainWindowView::drawUpdateButton(const DRAWITEMSTRUCT& item) {
    if (item.hwndItem != buttons_[4]) {
        return false;
    }
    HDC dc = item.hDC;
    RECT area = item.rcItem;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    if (HTHEME theme = OpenThemeData(item.hwndItem, L"Button")) {
        const int state = disabled ? PBS_DISABLED : pressed ? PBS_PRESSED : PBS_NORMAL;
        if (IsThemeBackgroundPartiallyTransparent(theme, BP_PUSHBUTTON, state)) {
            DrawThemeParentBackground(item.hwndItem, dc, &area);
        }
        DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &area, nullptr);
        CloseThemeData(theme);
    } else {
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        DrawFrameControl(dc, &area, DFC_BUTTON,
                         DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0u) | (disabled ? DFCS_INACTIVE : 0u));
    }
    char caption[64] = {};
    GetWindowTextA(item.hwndItem, caption, static_cast<int>(sizeof caption));
    RECT textArea = area;
    if (pressed) OffsetRect(&textArea, 1, 1);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : kNavy);
    HGDIOBJ oldFont = SelectObject(dc, font(kSansSerif, kWindowFontPixels, true));
    DrawTextA(dc, caption, -1, &textArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = area;
        InflateRect(&focus, -px(3), -px(3));
        DrawFocusRect(dc, &focus);
    }
    return true;
}

void MainWindowView::paintPanel(HDC dc) {
    RECT area;
    GetClientRect(panel1_, &area);
    FillRect(dc, &area, brush(toColorRef(modelPanelColour())));
    DrawEdge(dc, &area, BDR_RAISEDINNER, BF_RECT);
}

void MainWindowView::paintPicture(HWND hwnd, HDC dc) {
    RECT area;
    GetClientRect(hwnd, &area);
    FillRect(dc, &area, brush(kWhite));
    const int index = GetDlgCtrlID(hwnd) - imageId(2);
    if (index >= 0 && index < static_cast<int>(pictures_.size()) && pictures_[static_cast<std::size_t>(index)]) {
        pictures_[static_cast<std::size_t>(index)]->draw(dc, area, dpi_);
    }
}

LRESULT CALLBACK MainWindowView::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    keepView(hwnd, message, lParam);
    MainWindowView* view = viewOf(hwnd);
    if (view == nullptr || view->window_ != hwnd) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return view->handle(message, wParam, lParam);
}

LRESULT MainWindowView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return controlColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            forwardClick(LOWORD(wParam));
        }
        return 0;
    case WM_DRAWITEM:
        if (drawUpdateButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // A CTRL released while another window has the keyboard never
        // reaches this one: leaving the window counts as releasing it, so
        // that a later plain tap on "Update" cannot count as CTRL + "Update".
        if (LOWORD(wParam) == WA_INACTIVE && model_ != nullptr && input_.keyUp) {
            input_.keyUp(VK_CONTROL);
        }
        break;
    case WM_CLOSE:
        // The view never closes itself: the close sequence decides and marks
        // the model closed. Without the system menu there is no close box,
        // and a close request that comes anyway (ALT+F4) is ignored.
        if (model_ != nullptr && !model_->closed && model_->borderIcons.systemMenu && input_.closeRequested) {
            input_.closeRequested();
            render();
        }
        return 0;
    case WM_DPICHANGED:
        applyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

// Panel1 and the pictures: windows that paint themselves from the model
// (the panel in its blink colour, a picture from its drawing).
LRESULT CALLBACK MainWindowView::paintedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    keepView(hwnd, message, lParam);
    MainWindowView* view = viewOf(hwnd);
    if (view == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    const bool panel = hwnd == view->panel1_;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // painting fills the whole window
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        PAINTSTRUCT paint{};
        HDC dc = message == WM_PAINT ? BeginPaint(hwnd, &paint) : reinterpret_cast<HDC>(wParam);
        if (panel) {
            view->paintPanel(dc);
        } else {
            view->paintPicture(hwnd, dc);
        }
        if (message == WM_PAINT) EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_NCHITTEST:
        // Clicks on a picture go to what lies below.
        return panel ? DefWindowProcA(hwnd, message, wParam, lParam) : HTTRANSPARENT;
    case WM_CTLCOLORSTATIC:  // the panel's labels
        return view->controlColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace qv::win32
