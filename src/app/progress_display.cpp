#include "app/progress_display.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace qv {

namespace {

constexpr int kPlainStep = 5;
constexpr int kBarWidth = 30;

int clampPercent(int percent) { return std::clamp(percent, 0, 100); }

} // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal, std::function<std::uint64_t()> elapsedMs)
    : out_(out), terminal_(terminal), elapsedMs_(std::move(elapsedMs)) {}

void ProgressDisplay::plainLine(ProgressPhase phase, int percent) {
    out_ << "progress: " << progressPhaseName(phase) << ' ' << percent << "%\n";
    out_.flush();
    lastPrinted_ = percent;
}

// A step without a bar is done once the run goes past it.
void ProgressDisplay::closeStep() {
    if (phase_ == ProgressPhase::None || progressPhaseMovesBar(phase_) || percent_ == 100) return;
    percent_ = 100;
    if (!terminal_) plainLine(phase_, 100);
}

void ProgressDisplay::update(ProgressPhase phase, int percent) {
    if (finished_) return;
    if (phase != phase_) {
        closeStep();
        phase_ = phase;
        percent_ = 0;
        lastPrinted_ = -1;
        if (phase_ == ProgressPhase::None) return;
        if (!terminal_) plainLine(phase_, 0);
    } else {
        // The bar moves for steps that drive it; other steps only begin and end.
        if (!progressPhaseMovesBar(phase_)) return;
        const int figure = clampPercent(percent);
        if (figure == percent_) return;
        // The bar starting over (the parameter update writes, then reads
        // back) starts the count of steps over too.
        if (figure < percent_) lastPrinted_ = -kPlainStep;
        percent_ = figure;
        if (!terminal_ && (figure == 100 || figure / kPlainStep > lastPrinted_ / kPlainStep)) {
            plainLine(phase_, figure);
        }
    }
    if (terminal_) drawTerminalLine({});
}

void ProgressDisplay::finish(std::string_view outcome, bool succeeded) {
    if (finished_) return;
    if (succeeded) closeStep();
    finished_ = true;
    if (!terminal_) return;
    drawTerminalLine(outcome);
    out_ << '\n';
    out_.flush();
}

void ProgressDisplay::drawTerminalLine(std::string_view tail) {
    const int filled = percent_ * kBarWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    const std::string_view name = phase_ == ProgressPhase::None ? std::string_view("-") : progressPhaseName(phase_);
    char line[160];
    std::snprintf(line, sizeof line, "%-10.*s [%s] %3d%% %4llus", static_cast<int>(name.size()), name.data(),
                  bar.c_str(), percent_, static_cast<unsigned long long>(elapsedMs_() / 1000));
    std::string text = line;
    if (!tail.empty()) text += "  " + std::string(tail);
    // Blanks wipe what a longer earlier line left.
    const std::size_t width = text.size();
    if (drawnWidth_ > width) text += std::string(drawnWidth_ - width, ' ');
    drawnWidth_ = width;
    out_ << '\r' << text;
    out_.flush();
}

} // namespace qv
