#include "editor/shell/CAnchorMovieWnd.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

namespace qxm::editor {

// Drawn over the renderer, on top of the video: the red one-pixel frame of CurrentRect while
// RectShown is set, and the dotted outline of a rectangle being drawn or dragged. Transparent
// to the mouse, so the picture still gets every click.
class RectOverlay : public QWidget {
public:
    explicit RectOverlay(const EditState& state) : state_(state) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setObjectName("AnchorFrame");
    }
    void follow(QWidget* renderer) {
        if (parentWidget() == renderer) return;
        if (parentWidget()) parentWidget()->removeEventFilter(this);
        setParent(renderer);
        if (!renderer) return;
        renderer->installEventFilter(this);
        setGeometry(renderer->rect());
        show();
        raise();
    }
    void setOutline(std::optional<anchors::Rect> outline) {
        if (outline == outline_) return;
        outline_ = outline;
        repaint();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setBrush(Qt::NoBrush);
        // Right and bottom lie outside a rectangle, as in every hit test of the kit.
        auto outlineOf = [](const anchors::Rect& r) {
            return QRect(r.Left, r.Top, r.Right - r.Left - 1, r.Bottom - r.Top - 1);
        };
        const anchors::Rect r = anchors::Normalized(state_.CurrentRect);
        if (state_.RectShown && r.Right > r.Left && r.Bottom > r.Top) {
            painter.setPen(QPen(QColor(255, 0, 0), 1));
            painter.drawRect(outlineOf(r));
        }
        if (outline_) {
            // A focus outline: alternate dots that show on light and dark pictures alike.
            const QRect o = outlineOf(*outline_);
            painter.setPen(QPen(Qt::white, 1));
            painter.drawRect(o);
            painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
            painter.drawRect(o);
        }
    }

private:
    const EditState& state_;
    std::optional<anchors::Rect> outline_;
};

CAnchorMovieWnd::CAnchorMovieWnd(EditorContext& context, MovieWindowOwner& owner)
    : context_(context), owner_(owner), overlay_(new RectOverlay(context.state)) {
    overlay_->hide();
}

CAnchorMovieWnd::~CAnchorMovieWnd() {
    ConfineMouse(false);
    delete overlay_.data();
}

int CAnchorMovieWnd::Open(const std::string& path) {
    const int r = CAVIWnd2::Open(path);
    if (r == kMovieOk) {
        attachOverlay();
        refresh_.start(kRefreshMs, this);
    }
    return r;
}

int CAnchorMovieWnd::Close(bool shrink) {
    refresh_.stop();
    ConfineMouse(false);
    if (overlay_) {
        overlay_->setOutline(std::nullopt);
        overlay_->follow(nullptr);
    }
    return CAVIWnd2::Close(shrink);
}

void CAnchorMovieWnd::attachOverlay() {
    if (overlay_) overlay_->follow(renderer());
}

void CAnchorMovieWnd::FrameCurrentRect() {
    context_.state.RectShown = true;
    Redraw();
}

void CAnchorMovieWnd::Redraw() {
    if (overlay_ && overlay_->parentWidget()) overlay_->repaint();
}

QImage CAnchorMovieWnd::grabPicture() {
    QWidget* r = renderer();
    return r ? r->grab().toImage() : QImage();
}

void CAnchorMovieWnd::SetDragOutline(std::optional<anchors::Rect> outline) {
    if (overlay_) overlay_->setOutline(outline);
}

void CAnchorMovieWnd::SetPictureCursor(Qt::CursorShape shape) {
    if (QWidget* r = renderer()) r->setCursor(shape);
}

void CAnchorMovieWnd::ConfineMouse(bool on) {
    if (on == confined_) return;
    confined_ = on;
    if (on) {
        confinedTo_ = renderer();
        if (!confinedTo_) return;
        confinedTo_->installEventFilter(this);
        confinedTo_->grabMouse();
    } else if (confinedTo_) {
        confinedTo_->removeEventFilter(this);
        confinedTo_->releaseMouse();
        confinedTo_ = nullptr;
    }
}

// While confined, the moves and the release go to manual setting straight from the picture,
// clamped to it, instead of through the control (which reports only what lies over it).
bool CAnchorMovieWnd::eventFilter(QObject* watched, QEvent* event) {
    if (!confined_ || watched != confinedTo_) return CAVIWnd2::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint p = mouse->position().toPoint();
    const int x = std::clamp(p.x(), 2, std::max(2, confinedTo_->width() - 1));
    const int y = std::clamp(p.y(), 2, std::max(2, confinedTo_->height() - 1));
    if (type == QEvent::MouseMove)
        owner_.PictureMouseMove(x, y);
    else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
        owner_.PictureLeftUp(x, y);
    return true;
}

void CAnchorMovieWnd::LeftButtonUp(int x, int y) {
    if (!confined_) owner_.PictureLeftUp(x, y);
}

void CAnchorMovieWnd::MouseMoved(int x, int y) {
    if (!confined_) owner_.PictureMouseMove(x, y);
}

void CAnchorMovieWnd::SetPlayState(int state) {
    CAVIWnd2::SetPlayState(state);
    owner_.PlayStateChanged(state);
}

void CAnchorMovieWnd::SetCurrentFrame(int32_t frame) {
    CAVIWnd2::SetCurrentFrame(frame);
    owner_.PositionChanged(frame);
}

void CAnchorMovieWnd::timerEvent(QTimerEvent* event) {
    if (event->timerId() != refresh_.timerId()) return CAVIWnd2::timerEvent(event);
    const EditState& s = context_.state;
    if (s.drawMode == DrawMode::Idle && !s.RectDragging && IsLoaded() &&
        (playState() == kStateStopped || playState() == kStatePaused) && s.RectShown)
        Redraw();
}

} // namespace qxm::editor
