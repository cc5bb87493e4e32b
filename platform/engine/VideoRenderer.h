#pragma once
// The engine's picture window ("VideoRenderer"): shows the current frame scaled smoothly to the
// whole window, then lets its owner paint an overlay, and reports the mouse in its own pixels.
#include <QImage>
#include <QWidget>

#include <functional>

class QPainter;

namespace qxm::engine {

class VideoRenderer : public QWidget {
    Q_OBJECT
public:
    explicit VideoRenderer(QWidget* parent = nullptr);

    void setFrame(const QImage& image, int32_t frame);
    void clearFrame();
    const QImage& frameImage() const { return image_; }
    int32_t frameNumber() const { return frame_; }
    void setOverlayPainter(std::function<void(QPainter&)> painter);

    // The picture as painted (scaled frame and overlay), at the window's size.
    QImage renderedImage();

signals:
    void mouseDown(short button, short shift, int x, int y);
    void mouseMove(short button, short shift, int x, int y);
    void mouseUp(short button, short shift, int x, int y);
    void dblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintPicture(QPainter& painter);

    QImage image_;
    int32_t frame_ = -1;
    std::function<void(QPainter&)> overlay_;
};

// Qt mouse buttons and keyboard modifiers as the engine's button and shift bit sets.
short buttonBits(Qt::MouseButtons buttons);
short shiftBits(Qt::KeyboardModifiers modifiers);

} // namespace qxm::engine
