#pragma once
// The editor's movie window: the movie window plus the anchor rectangle framed in red over the
// picture, the dotted outline of a rectangle being drawn or dragged, a 250 ms refresh of the
// frame, the mouse of the picture handed to manual setting, and the play state and frame
// reported to the form.
#include <QBasicTimer>
#include <QPointer>

#include <optional>

#include "editor/shell/CAVIWnd2.h"
#include "editor/view/EditState.h"

namespace qxm::editor {

// What the movie window tells the form view it belongs to.
class MovieWindowOwner {
public:
    virtual ~MovieWindowOwner() = default;
    virtual void PlayStateChanged(int state) = 0;
    virtual void PositionChanged(int32_t frame) = 0;
    // The left button and the moves in the picture, in picture pixels.
    virtual void PictureLeftDown(int x, int y) = 0;
    virtual void PictureLeftUp(int x, int y) = 0;
    virtual void PictureMouseMove(int x, int y) = 0;
};

class RectOverlay;

class CAnchorMovieWnd : public CAVIWnd2 {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    CAnchorMovieWnd(EditorContext& context, MovieWindowOwner& owner);
    ~CAnchorMovieWnd() override;

    int Open(const std::string& path) override;
    int Close(bool shrink) override;

    // Frames CurrentRect in red over the picture and sets RectShown.
    void FrameCurrentRect();
    // Repaints the picture with what the state says (the frame when RectShown).
    void Redraw();
    bool refreshing() const { return refresh_.isActive(); }
    // The picture as the user sees it, frame included (for tests and screenshots).
    QImage grabPicture();

    // The dotted outline of a rectangle being drawn or dragged; nothing for none.
    void SetDragOutline(std::optional<anchors::Rect> outline);
    // The cursor over the picture.
    void SetPictureCursor(Qt::CursorShape shape);
    // While confined, every move and the release reach the owner, with positions kept inside
    // the picture (its left and top edges 2 pixels in), wherever the mouse goes.
    void ConfineMouse(bool on);
    bool mouseConfined() const { return confined_; }

protected:
    void SetPlayState(int state) override;
    void SetCurrentFrame(int32_t frame) override;
    void LeftButtonDown(int x, int y) override { owner_.PictureLeftDown(x, y); }
    void LeftButtonUp(int x, int y) override;
    void MouseMoved(int x, int y) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attachOverlay();

    EditorContext& context_;
    MovieWindowOwner& owner_;
    QBasicTimer refresh_;
    QPointer<RectOverlay> overlay_;
    QPointer<QWidget> confinedTo_;
    bool confined_ = false;
};

} // namespace qxm::editor
