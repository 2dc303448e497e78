#include "app/gui/placement.h"

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

} // namespace vz
