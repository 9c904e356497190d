#include "ui/qt/qt_file_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace qv::qt {

namespace {
QString toQtPatterns(const QString& patterns) {
    QStringList converted;
    for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        converted << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return converted.join(QLatin1Char(' '));
}
} // namespace

QString toQtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromLatin1(filter.data(), static_cast<qsizetype>(filter.size()))
                                  .split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = toQtPatterns(parts[i + 1]);
        if (patterns.isEmpty()) {
            continue;
        }
        const QString description = parts[i].isEmpty() ? parts[i + 1] : parts[i];
        entries << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return entries.join(QStringLiteral(";;"));
}

std::optional<std::string> QtFileDialog::chooseFile(const std::string& filter) {
    const QString chosen = QFileDialog::getOpenFileName(parent_, QString(), QString(), toQtFileFilter(filter));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen).toStdString();
}

} // namespace qv::qt
