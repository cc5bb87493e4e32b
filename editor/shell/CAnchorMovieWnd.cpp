#include "editor/shell/CAnchorMovieWnd.h"

#include <QEvent>
#include <QPainter>
#include <QTimerEvent>

namespace qxm::editor {

// Drawn over the renderer, on top of the video: the red one-pixel frame of CurrentRect while
// RectShown is set. Transparent to the mouse, so the picture still gets every click.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        if (!state_.RectShown) return;
        const anchors::Rect r = anchors::Normalized(state_.CurrentRect);
        if (r.Right <= r.Left || r.Bottom <= r.Top) return;
        QPainter painter(this);
        painter.setPen(QPen(QColor(255, 0, 0), 1));
        painter.setBrush(Qt::NoBrush);
        // Right and bottom lie outside the rectangle, as in every hit test of the kit.
        painter.drawRect(QRect(r.Left, r.Top, r.Right - r.Left - 1, r.Bottom - r.Top - 1));
    }

private:
    const EditState& state_;
};

CAnchorMovieWnd::CAnchorMovieWnd(EditorContext& context, MovieWindowOwner& owner)
    : context_(context), owner_(owner), overlay_(new RectOverlay(context.state)) {
    overlay_->hide();
}

CAnchorMovieWnd::~CAnchorMovieWnd() { delete overlay_.data(); }

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
    if (overlay_) overlay_->follow(nullptr);
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
