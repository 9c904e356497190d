#pragma once
#include <QRect>
#include <QWidget>

namespace qv::testing {

// Whether the operator can see the widget: shown, and inside the client area.
inline bool onScreen(const QWidget* widget, const QWidget* window) {
    if (!widget->isVisibleTo(window)) {
        return false;
    }
    const QRect inWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
    return window->rect().intersects(inWindow);
}

} // namespace qv::testing
