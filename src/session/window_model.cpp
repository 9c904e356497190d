#include "session/window_model.h"

#include <algorithm>

#include "session/program_version.h"

namespace qv {

std::string TextPane::textForLog() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool TextPane::contains(const std::string& line) const {
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

void WindowModel::setProgress(int percent) {
    progress = percent;
    if (progressChanged) progressChanged();
}

void WindowModel::beginProgressPhase(ProgressPhase phase) {
    progressPhase = phase;
    if (progressChanged) progressChanged();
}

namespace {
Control makeControl(Bounds bounds, bool visible, bool enabled, std::string caption = {}) {
    Control control;
    control.bounds = bounds;
    control.visible = visible;
    control.enabled = enabled;
    control.caption = std::move(caption);
    return control;
}
} // namespace

// The designed window: client area 520 x 230, controls at their design
// places (client pixels at 96 dpi).
WindowModel::WindowModel() {
    caption = std::string("v") + kProgramVersion;
    memo1.bounds = {192, 32, 321, 153};
    memo1.append("Initialization ...");
    memo2.bounds = {8, 32, 177, 145};
    memo2.visible = false;

    label1 = makeControl({10, 15, 0, 0}, true, true, "Please shutdown Tablet PC then retry ");
    label1ErrorMsg = makeControl({40, 56, 0, 0}, true, true,
                                 "Please click  \"Close\" button , and re-Open this Tool , retry it.  Thnaks");
    label2 = makeControl({192, 8, 0, 0}, true, true, "");
    panel1.bounds = {8, 96, 505, 81};
    progressBar1 = makeControl({8, 192, 505, 25}, true, true);

    image1 = makeControl({8, 32, 144, 72}, false, true);
    image2 = makeControl({8, 32, 166, 111}, false, true);
    image3 = makeControl({8, 32, 166, 105}, false, true);
    image4 = makeControl({8, 32, 175, 113}, false, true);
    image5 = makeControl({528, 32, 297, 145}, true, true);
    image6 = makeControl({520, 240, 305, 129}, true, true);
    image7 = makeControl({520, 240, 305, 129}, true, true);
    image8 = makeControl({528, 24, 305, 153}, false, true);

    button1 = makeControl({0, 0, 75, 25}, true, true, "Browse");
    button2 = makeControl({0, 0, 170, 40}, true, false, "Enter Flash Mode");
    button3 = makeControl({0, 0, 170, 40}, true, false, "Upgrade Firmware");
    button4 = makeControl({0, 0, 400, 40}, true, false, "Upgrade Parameters");
    button5 = makeControl({698, 75, 57, 33}, true, false, "Update");
    button6 = makeControl({736, 188, 81, 25}, true, false, "Close");

    groupBox1 = makeControl({8, 240, 433, 105}, true, true, "1. Select  firmware to download");
    groupBox2 = makeControl({8, 352, 209, 97}, true, true, "2. Plug in the VOR Demo board into USB");
    groupBox3 = makeControl({232, 352, 209, 97}, true, true, "3. Click Upgrade Firmware");
    groupBox4 = makeControl({8, 480, 433, 97}, true, true, "2. Click Upgrade Parameters");
    edit1 = makeControl({0, 0, 401, 21}, true, true, "");
}

} // namespace qv
