#pragma once
// The operator's file-open dialog ("Browse") with Qt's dialog.
#include <optional>
#include <string>

#include <QString>

#include "platform/file_dialog.h"

class QWidget;

namespace qv::qt {

// "[*.bin]|*.bin|*.*|*.*" (description|pattern pairs, patterns separated by
// ';') as Qt writes it: "[*.bin] (*.bin);;*.* (*)". "*.*" matches every
// file, as it does on the system the filter was written for.
QString toQtFileFilter(const std::string& filter);

class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> chooseFile(const std::string& filter) override;

private:
    QWidget* parent_;
};

} // namespace qv::qt
