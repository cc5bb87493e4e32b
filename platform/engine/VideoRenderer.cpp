#include "platform/engine/VideoRenderer.h"

#include "platform/engine/MovieEngine.h"

#include <QMouseEvent>
#include <QPainter>

namespace qxm::engine {

short buttonBits(Qt::MouseButtons buttons) {
    short bits = 0;
    if (buttons & Qt::LeftButton) bits |= kLeftButton;
    if (buttons & Qt::RightButton) bits |= kRightButton;
    if (buttons & Qt::MiddleButton) bits |= kMiddleButton;
    return bits;
}

short shiftBits(Qt::KeyboardModifiers modifiers) {
    short bits = 0;
    if (modifiers & Qt::ShiftModifier) bits |= kShiftMask;
    if (modifiers & Qt::ControlModifier) bits |= kCtrlMask;
    if (modifiers & Qt::AltModifier) bits |= kAltMask;
    return bits;
}

VideoRenderer::VideoRenderer(QWidget* parent) : QWidget(parent) {
    setObjectName("VideoRenderer");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void VideoRenderer::setFrame(const QImage& image, int32_t frame) {
    image_ = image;
    frame_ = frame;
    update();
}

void VideoRenderer::clearFrame() {
    image_ = QImage();
    frame_ = -1;
    update();
}

void VideoRenderer::setOverlayPainter(std::function<void(QPainter&)> painter) {
    overlay_ = std::move(painter);
    update();
}

void VideoRenderer::paintPicture(QPainter& painter) {
    const QRect area = rect();
    if (image_.isNull()) {
        painter.fillRect(area, Qt::black);
    } else if (image_.size() == area.size()) {
        painter.drawImage(0, 0, image_);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(area, image_);
    }
    if (overlay_) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        overlay_(painter);
        painter.restore();
    }
}

void VideoRenderer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintPicture(painter);
}

QImage VideoRenderer::renderedImage() {
    QImage out(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter painter(&out);
    paintPicture(painter);
    return out;
}

void VideoRenderer::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit mouseDown(buttonBits(event->button()), shiftBits(event->modifiers()), p.x(), p.y());
}

void VideoRenderer::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit mouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), p.x(), p.y());
}

void VideoRenderer::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit mouseUp(buttonBits(event->button()), shiftBits(event->modifiers()), p.x(), p.y());
}

void VideoRenderer::mouseDoubleClickEvent(QMouseEvent*) {
    emit dblClick();
}

} // namespace qxm::engine
