#include "editor/shell/dialogs/DialogPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qxm::editor {

QPoint centredOver(const QRect& dialog, const QRect& parent, const QRect& screen) {
    const int width = dialog.width();
    const int height = dialog.height();
    int left = parent.left() + (parent.width() - width) / 2;
    int top = parent.top() + (parent.height() - height) / 2;
    const int screenRight = screen.left() + screen.width(); // first column past the screen
    const int screenBottom = screen.top() + screen.height();
    if (left + width > screenRight) left = screenRight - width;
    if (top + height > screenBottom) top = screenBottom - height;
    if (left < screen.left()) left = screen.left();
    if (top < screen.top()) top = screen.top();
    return {left, top};
}

void centreOverParent(QWidget& dialog) {
    QWidget* parent = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    QScreen* screen = parent ? parent->screen() : dialog.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect screenRect = screen->geometry();
    const QRect parentRect = parent ? parent->frameGeometry() : screenRect;
    // move() places a window's frame, the rectangle centredOver() computes.
    dialog.move(centredOver(dialog.frameGeometry(), parentRect, screenRect));
}

QRect dialogUnitRect(const QRect& units, const ui::DialogBaseUnits& base) {
    const QSize topLeft = ui::dialogUnitsToPixels(QSize(units.left(), units.top()), base);
    return {QPoint(topLeft.width(), topLeft.height()), ui::dialogUnitsToPixels(units.size(), base)};
}

void placeControl(QWidget& control, int id, const char* name, const QRect& units,
                  const ui::DialogBaseUnits& base) {
    control.setProperty("controlId", id);
    control.setObjectName(id >= 0 ? QString::number(id) : QString::fromLatin1(name));
    control.setGeometry(dialogUnitRect(units, base));
}

} // namespace qxm::editor
