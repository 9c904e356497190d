// What the Windows view sends to its edit controls for a pane: only the new
// lines while the pane grows, the whole text after a clear, lines as the
// control draws them.
#include <gtest/gtest.h>

#include "ui/win32/pane_feed.h"

namespace qv::win32 {
namespace {

TEST(PaneFeed, SendsOnlyTheNewLinesWhileThePaneGrows) {
    TextPane pane;
    PaneFeed feed;
    PaneEdit edit = feed.next(pane);
    EXPECT_TRUE(edit.replaceAll);
    EXPECT_EQ(edit.text, "");

    pane.append("Finding Device ...");
    edit = feed.next(pane);
    EXPECT_FALSE(edit.replaceAll);
    EXPECT_EQ(edit.text, "Finding Device ...");  // the control was empty: no line break first

    pane.append("Found Device!");
    pane.append("Mode: 1");
    edit = feed.next(pane);
    EXPECT_FALSE(edit.replaceAll);
    EXPECT_EQ(edit.text, "\r\nFound Device!\r\nMode: 1");

    edit = feed.next(pane);  // nothing new
    EXPECT_FALSE(edit.replaceAll);
    EXPECT_EQ(edit.text, "");
}

TEST(PaneFeed, AClearSendsTheWholeTextEvenWhenTheLineCountComesBack) {
    TextPane pane;
    pane.append("Instructions:");
    pane.append("1. Keep the adapter connected");
    PaneFeed feed;
    feed.next(pane);

    pane.clear();
    pane.append("Enter Flash Mode.");
    pane.append("Waiting");
    const PaneEdit edit = feed.next(pane);
    EXPECT_TRUE(edit.replaceAll);
    EXPECT_EQ(edit.text, "Enter Flash Mode.\r\nWaiting");

    pane.clear();
    EXPECT_EQ(feed.next(pane).replaceAll, true);
    EXPECT_EQ(feed.next(pane).text, "");
}

TEST(PaneFeed, AResetControlGetsTheWholeText) {
    TextPane pane;
    pane.append("Success");
    PaneFeed feed;
    feed.next(pane);
    feed.reset();
    const PaneEdit edit = feed.next(pane);
    EXPECT_TRUE(edit.replaceAll);
    EXPECT_EQ(edit.text, "Success");
}

TEST(PaneFeed, LinesAreShownWithoutTheirLogLineEndAndWithCrLfInside) {
    const struct {
        const char* line;
        const char* shown;
    } cases[] = {
        {"Success", "Success"},
        {"New OEM Version: OEM V2.00\n", "New OEM Version: OEM V2.00"},
        {"ends in CR LF\r\n", "ends in CR LF"},
        {"first\nsecond", "first\r\nsecond"},
        {"already\r\nbroken", "already\r\nbroken"},
        {"\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displayLine(c.line), c.shown) << c.line;
    }
}

} // namespace
} // namespace qv::win32
