#include "platform/engine/FullScreenView.h"

#include <QKeyEvent>
#include <QPainter>

namespace qxm::engine {

QRect fitKeepingAspect(const QSize& picture, const QRect& area) {
    if (picture.width() <= 0 || picture.height() <= 0 || area.width() <= 0 || area.height() <= 0)
        return area;
    const double r = double(picture.width()) / picture.height();
    int w = area.width();
    int h = int(w / r);
    if (h > area.height()) {
        h = area.height();
        w = int(h * r);
    }
    // A picture sized for the area already, but for rounding, takes the whole area.
    if (area.width() - w <= 1 && area.height() - h <= 1) return area;
    return QRect(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
}

FullScreenView::FullScreenView(std::function<void()> leave) : leave_(std::move(leave)) {
    setObjectName("FullScreen");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
}

void FullScreenView::setFrame(const QImage& image) {
    image_ = image;
    update();
}

void FullScreenView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image_.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(fitKeepingAspect(image_.size(), rect()), image_);
}

void FullScreenView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && leave_)
        leave_();
    else
        QWidget::keyPressEvent(event);
}

void FullScreenView::mousePressEvent(QMouseEvent*) {
    if (leave_) leave_();
}

} // namespace qxm::engine
