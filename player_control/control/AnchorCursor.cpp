#include "player_control/control/AnchorCursor.h"

#include <QImage>
#include <QPixmap>

#include "player_control/cursors/BuiltinCursor.h"

namespace qxm::qxmovie {

QCursor cursorFromImage(const cursors::CursorImage& image) {
    QImage picture;
    if (image.isPng()) {
        picture = QImage::fromData(image.png.data(), int(image.png.size()), "PNG");
    } else if (image.width > 0 && image.height > 0 &&
               image.rgba.size() == std::size_t(image.width) * std::size_t(image.height) * 4) {
        picture = QImage(image.rgba.data(), image.width, image.height, image.width * 4,
                         QImage::Format_RGBA8888)
                      .copy(); // the bytes belong to the caller
    }
    if (picture.isNull()) return QCursor(Qt::ArrowCursor);
    return QCursor(QPixmap::fromImage(picture), image.hotspotX, image.hotspotY);
}

AnchorCursor::AnchorCursor() {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &AnchorCursor::advance);
}

bool AnchorCursor::load(const std::string& file) {
    uninstall();
    cursors::CursorData data;
    fromFile_ = !file.empty() &&
                cursors::loadCursorFile(file, data) == cursors::CursorError::None &&
                !data.frames.empty() && !data.steps.empty();
    if (!fromFile_) data = cursors::builtinAnchorCursor();
    frames_.clear();
    for (const cursors::CursorImage& image : data.frames)
        frames_.push_back(cursorFromImage(image));
    steps_.clear();
    for (const cursors::CursorStep& s : data.steps)
        if (s.frame < frames_.size()) steps_.push_back(s);
    if (steps_.empty() && !frames_.empty()) steps_.push_back({0, 0});
    step_ = 0;
    return fromFile_;
}

QCursor AnchorCursor::current() const {
    if (steps_.empty()) return QCursor(Qt::ArrowCursor);
    return frames_[steps_[step_].frame];
}

void AnchorCursor::install(QWidget* window) {
    if (!window || !loaded()) return;
    window_ = window;
    window->setCursor(current());
    if (animated()) timer_.start(int(cursors::stepMilliseconds(steps_[step_])));
}

void AnchorCursor::uninstall() {
    timer_.stop();
    window_ = nullptr;
}

void AnchorCursor::advance() {
    if (!window_ || !animated()) return;
    step_ = (step_ + 1) % steps_.size();
    window_->setCursor(current());
    timer_.start(int(cursors::stepMilliseconds(steps_[step_])));
}

} // namespace qxm::qxmovie
