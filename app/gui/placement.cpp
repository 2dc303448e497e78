#include "app/gui/placement.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vz {

void CenterOnScreen(QWidget& widget) {
    QScreen* screen = widget.screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = widget.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    widget.move(frame.topLeft());
}

void PlaceFitted(QWidget& widget, const face::Rect& design, int limit) {
    QSize needs = widget.sizeHint();
    // A push button's hint holds a minimum width of the style's beyond its caption.
    const auto* button = qobject_cast<QAbstractButton*>(&widget);
    if (button != nullptr && qobject_cast<QCheckBox*>(&widget) == nullptr) {
        const QFontMetrics metrics(widget.font());
        needs = QSize(metrics.horizontalAdvance(button->text()) + 12, metrics.height() + 6);
    }
    const face::Rect r = face::FitCaption(design, {needs.width(), needs.height()}, limit);
    widget.setGeometry(r.left, r.top, r.width, r.height);
}

} // namespace vz
