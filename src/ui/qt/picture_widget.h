#pragma once
// One of the window's pictures: an SVG drawing from the program's resources,
// drawn at its own size (smaller when the control is smaller, never
// distorted) and centred in the control.
#include <QString>
#include <QSvgRenderer>
#include <QWidget>

namespace qv::qt {

class PictureWidget : public QWidget {
public:
    PictureWidget(const QString& resourcePath, QWidget* parent);

    const QString& resourcePath() const { return resourcePath_; }
    bool hasPicture() const { return renderer_.isValid(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString resourcePath_;
    QSvgRenderer renderer_;
};

} // namespace qv::qt
