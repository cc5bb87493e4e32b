#pragma once
// A top-level window that shows the engine's picture on the whole screen (FullScreenMode).
// Escape, a click or a double click leaves it through the leave callback.
#include <QImage>
#include <QWidget>

#include <functional>

namespace qxm::engine {

class FullScreenView : public QWidget {
public:
    explicit FullScreenView(std::function<void()> leave);
    void setFrame(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage image_;
    std::function<void()> leave_;
};

// The largest rectangle of the aspect ratio of `picture` that fits `area`, centred in it.
QRect fitKeepingAspect(const QSize& picture, const QRect& area);

} // namespace qxm::engine
