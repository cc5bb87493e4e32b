#pragma once
// The editor's movie window: the movie window plus the anchor rectangle framed in red over the
// picture, a 250 ms refresh of that frame, and the play state and frame reported to the form.
#include <QBasicTimer>
#include <QPointer>

#include "editor/shell/CAVIWnd2.h"
#include "editor/view/EditState.h"

namespace qxm::editor {

// What the movie window tells the form view it belongs to.
class MovieWindowOwner {
public:
    virtual ~MovieWindowOwner() = default;
    virtual void PlayStateChanged(int state) = 0;
    virtual void PositionChanged(int32_t frame) = 0;
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

protected:
    void SetPlayState(int state) override;
    void SetCurrentFrame(int32_t frame) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void attachOverlay();

    EditorContext& context_;
    MovieWindowOwner& owner_;
    QBasicTimer refresh_;
    QPointer<RectOverlay> overlay_;
};

} // namespace qxm::editor
