#include "ui/qt/model_to_qt.h"

#include <algorithm>
#include <cmath>

#include <QStringDecoder>

namespace qv::qt {

namespace {
constexpr std::uint32_t kSystemColourFlag = 0xFF000000;

// The classic system colours the designed window uses.
QColor systemColour(std::uint32_t index) {
    switch (index) {
    case 5:   // window background
        return QColor(0xFF, 0xFF, 0xFF);
    case 8:   // window text
        return QColor(0x00, 0x00, 0x00);
    case 15:  // button face
        return QColor(0xF0, 0xF0, 0xF0);
    case 18:  // button text
        return QColor(0x00, 0x00, 0x00);
    default:
        return QColor(0x00, 0x00, 0x00);
    }
}
} // namespace

QColor toQColor(std::uint32_t modelColour) {
    if ((modelColour & kSystemColourFlag) == kSystemColourFlag) {
        return systemColour(modelColour & 0xFFu);
    }
    return QColor(static_cast<int>(modelColour & 0xFFu), static_cast<int>((modelColour >> 8) & 0xFFu),
                  static_cast<int>((modelColour >> 16) & 0xFFu));
}

QString toQString(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError()) {
        return decoded;
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString toDisplayLine(const std::string& line) {
    std::size_t end = line.size();
    while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) {
        --end;
    }
    return toQString(line.substr(0, end));
}

int pointsToPixels(int points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont sansSerifFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, pixelSize));
    font.setBold(bold);
    return font;
}

QFont arialFont(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, pixelSize));
    return font;
}

QSize clientSizeForOuter(int outerWidth, int outerHeight) {
    return QSize(std::max(1, outerWidth - kFrameWidth), std::max(1, outerHeight - kFrameHeight));
}

} // namespace qv::qt
