#include "ui/win32/pane_feed.h"

namespace qv::win32 {

std::string displayLine(const std::string& line) {
    std::size_t end = line.size();
    while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) {
        --end;
    }
    std::string shown;
    shown.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        if (line[i] == '\n' && (i == 0 || line[i - 1] != '\r')) {
            shown += '\r';
        }
        shown += line[i];
    }
    return shown;
}

PaneEdit PaneFeed::next(const TextPane& pane) {
    PaneEdit edit;
    if (applied_ && revision_ == pane.revision()) {
        return edit;
    }
    const auto& lines = pane.lines();
    // Each append moves the revision by one; a clear moves it as well but
    // empties the pane, so "as many new revisions as new lines" means the
    // pane only grew and only the new lines have to be sent.
    const bool onlyAppended = applied_ && lines.size() >= lineCount_ &&
                              pane.revision() - revision_ == lines.size() - lineCount_;
    edit.replaceAll = !onlyAppended;
    for (std::size_t i = onlyAppended ? lineCount_ : 0; i < lines.size(); ++i) {
        if (i > 0) {
            edit.text += "\r\n";
        }
        edit.text += displayLine(lines[i]);
    }
    applied_ = true;
    revision_ = pane.revision();
    lineCount_ = lines.size();
    return edit;
}

} // namespace qv::win32
