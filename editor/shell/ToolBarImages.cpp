#include "editor/shell/ToolBarImages.h"

#include <QPainter>

#include <QPolygon>
#include <array>

namespace qxm::editor {

namespace {

const QColor kInk(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 160);

void triangle(QPainter& p, std::initializer_list<QPoint> points, const QColor& color) {
    p.setPen(color);
    p.setBrush(color);
    p.drawPolygon(QPolygon(QList<QPoint>(points)));
}

void bar(QPainter& p, int x, int y, int w, int h, const QColor& color) {
    p.fillRect(x, y, w, h, color);
}

// A key-frame mark as the marks bar draws it.
void mark(QPainter& p, int x, const QColor& color) {
    triangle(p, {{x + 3, 8}, {x, 13}, {x + 6, 13}}, color);
}

} // namespace

QIcon ToolBarIcon(int index) {
    static const auto icons = [] {
        std::array<QIcon, kToolBarImageCount> all;
        for (int i = 0; i < kToolBarImageCount; ++i)
            all[std::size_t(i)] = QIcon(ToolBarImage(i));
        return all;
    }();
    return index >= 0 && index < kToolBarImageCount ? icons[std::size_t(index)] : QIcon();
}

QPixmap ToolBarImage(int index) {
    QPixmap pixmap(kToolBarImageWidth, kToolBarImageHeight);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    switch (index) {
    case 0:
        bar(p, 3, 3, 10, 9, kInk);
        break; // Stop
    case 1:
        bar(p, 4, 3, 3, 9, kInk), bar(p, 9, 3, 3, 9, kInk);
        break; // Pause
    case 2:
        triangle(p, {{4, 2}, {4, 12}, {11, 7}}, kInk);
        break; // Play
    case 3:    // First Frame
        bar(p, 2, 3, 2, 9, kInk);
        triangle(p, {{12, 2}, {12, 12}, {5, 7}}, kInk);
        break;
    case 4: // Last Frame
        triangle(p, {{3, 2}, {3, 12}, {10, 7}}, kInk);
        bar(p, 12, 3, 2, 9, kInk);
        break;
    case 5: // Previous Frame
        triangle(p, {{9, 3}, {9, 11}, {4, 7}}, kInk);
        bar(p, 10, 3, 2, 9, kInk);
        break;
    case 6: // Next Frame
        bar(p, 4, 3, 2, 9, kInk);
        triangle(p, {{7, 3}, {7, 11}, {12, 7}}, kInk);
        break;
    case 7: // Previous Mark
        triangle(p, {{7, 1}, {7, 7}, {2, 4}}, kBlue);
        mark(p, 8, kInk);
        break;
    case 8: // Next Mark
        mark(p, 2, kInk);
        triangle(p, {{9, 1}, {9, 7}, {14, 4}}, kBlue);
        break;
    case 9: // New Anchor: a red anchor rectangle with a plus
        p.setPen(kRed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(1, 4, 9, 8);
        bar(p, 11, 1, 1, 5, kInk), bar(p, 9, 3, 5, 1, kInk);
        break;
    case 10: // Automatic Setting: two rectangles joined by a track
        p.setPen(kRed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(1, 8, 5, 5);
        p.drawRect(9, 1, 5, 5);
        p.setPen(QPen(kBlue, 1, Qt::DotLine));
        p.drawLine(4, 7, 11, 7);
        p.drawLine(11, 7, 11, 7);
        break;
    case 11: // Delete Frame: a mark struck out
        mark(p, 5, kInk);
        p.setPen(QPen(kRed, 2));
        p.drawLine(3, 2, 12, 9);
        p.drawLine(12, 2, 3, 9);
        break;
    default:
        break;
    }
    return pixmap;
}

} // namespace qxm::editor
