#include "ui/qt/picture_widget.h"

#include <algorithm>

#include <QPainter>

namespace qv::qt {

PictureWidget::PictureWidget(const QString& resourcePath, QWidget* parent)
    : QWidget(parent), resourcePath_(resourcePath), renderer_(resourcePath) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize PictureWidget::sizeHint() const { return renderer_.defaultSize(); }

void PictureWidget::paintEvent(QPaintEvent*) {
    if (!renderer_.isValid()) {
        return;
    }
    const QSizeF natural = renderer_.viewBoxF().size();
    if (natural.isEmpty()) {
        return;
    }
    const double scale = std::min({1.0, width() / natural.width(), height() / natural.height()});
    const QSizeF drawn = natural * scale;
    const QRectF target((width() - drawn.width()) / 2.0, (height() - drawn.height()) / 2.0, drawn.width(),
                        drawn.height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer_.render(&painter, target);
}

} // namespace qv::qt
