#pragma once
// Conversions from the window model's values to Qt's: colours in the
// 0x00BBGGRR form (or a system colour), 8-bit texts, point sizes at 96 dpi,
// outer window sizes.
#include <cstdint>
#include <string>

#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

namespace qv::qt {

// A model colour: 0x00BBGGRR, or 0xFF0000nn for system colour nn (window
// text, button face, ...).
QColor toQColor(std::uint32_t modelColour);

// The model's texts are 8-bit strings: UTF-8 when they are valid UTF-8 (file
// names on this platform), otherwise one character per byte.
QString toQString(const std::string& text);

// A pane line as shown: the line feed some lines carry for the logs is not
// drawn as an extra blank line.
QString toDisplayLine(const std::string& line);

// Pixels of a point size on the 96-dpi grid the layout is drawn on.
int pointsToPixels(int points);

// The designed fonts, sized in pixels so that the layout does not depend on
// the screen's resolution.
QFont sansSerifFont(int pixelSize, bool bold = false);  // MS Sans Serif or its stand-in
QFont arialFont(int pixelSize);

// The model keeps the window's outer size as the window logic sets it. The
// frame around the client area is taken as 16 pixels wide and 25 high: the
// designed 520-pixel client fits the initial width, and the 250-pixel height
// shows the progress bar with the same 8-pixel margin as on its left.
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 25;
QSize clientSizeForOuter(int outerWidth, int outerHeight);

} // namespace qv::qt
