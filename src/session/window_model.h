#pragma once
// The main window as data: what every part of the updater writes to the
// window, and all a view needs to draw it. No toolkit here; the Qt view
// renders this model and forwards the operator's input.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/progress_phase.h"

namespace qv {

// Colours in the window system's 0x00BBGGRR form.
namespace colour {
inline constexpr std::uint32_t kWindowText = 0xFF000008;  // the system's text colour
inline constexpr std::uint32_t kGreen = 0x008000;
inline constexpr std::uint32_t kRed = 0x0000FF;
inline constexpr std::uint32_t kLime = 0x00FF00;
inline constexpr std::uint32_t kSkyBlue = 0xF0CAA6;
inline constexpr std::uint32_t kCream = 0xF0FBFF;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kButtonFace = 0xFF00000F;
} // namespace colour

struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;
};

// A multi-line pane (Memo1, Memo2). Lines are kept verbatim: a line may end
// in its own line feed, which the logs keep.
class TextPane {
public:
    void append(std::string line) { lines_.push_back(std::move(line)); ++revision_; }
    void clear() { lines_.clear(); ++revision_; }
    const std::vector<std::string>& lines() const { return lines_; }
    // The pane's text as saved to a log: every line followed by CR LF.
    std::string textForLog() const;
    bool contains(const std::string& line) const;

    bool visible = true;
    int fontSize = 8;
    std::uint32_t fontColour = colour::kWindowText;
    Bounds bounds;
    std::uint64_t revision() const { return revision_; }

private:
    std::vector<std::string> lines_;
    std::uint64_t revision_ = 0;
};

struct Control {
    Bounds bounds;
    bool visible = true;
    bool enabled = true;
    std::string caption;
};

struct Panel {
    Bounds bounds;
    bool visible = false;
    std::uint32_t colour = colour::kSkyBlue;
};

// Title-bar icons: the window starts without any (no close box); outcomes
// give back the system menu and with it the close box.
struct BorderIcons {
    bool systemMenu = true;
};

struct WindowModel {
    WindowModel();

    std::string caption;
    int width = 536;   // outer size in pixels at 96 dpi
    int height = 269;
    BorderIcons borderIcons;
    bool visible = true;  // false under the silent switch: never shown

    TextPane memo1;  // message pane: what the operator reads
    TextPane memo2;  // diagnostic pane

    Control label1;          // error panel headline, inside panel1
    std::uint32_t label1Background = colour::kLime;
    Control label1ErrorMsg;  // error panel advice, inside panel1
    Control label2;          // current firmware version line
    Panel panel1;            // error panel
    int progress = 0;        // ProgressBar1, 0..100
    Control progressBar1;
    ProgressPhase progressPhase = ProgressPhase::None;  // the step ProgressBar1 belongs to
    // Called after every change of ProgressBar1 or of its step (a console
    // progress display follows the window through it).
    std::function<void()> progressChanged;
    void setProgress(int percent);
    void beginProgressPhase(ProgressPhase phase);

    Control image1, image2, image3, image4, image5, image6, image7, image8;
    Control button1, button2, button3, button4, button5, button6;
    Control groupBox1, groupBox2, groupBox3, groupBox4;
    Control edit1;  // file name chosen with Browse

    // Set once the window has been closed (close sequence done).
    bool closed = false;
};

} // namespace qv
