#pragma once
// The movie window: shows the open movie through the embedded player control and gives the
// editor a frame-based interface to it. Frame numbers given and returned are relative to
// Origin (frame 0 of the working range); the control is addressed with absolute numbers.
// Knows nothing of anchors; CAnchorMovieWnd adds them.
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <string>

#include "editor/view/CQXMovie.h"

namespace qxm::editor {

// Results of the operations.
inline constexpr int kMovieOk = 0;
inline constexpr int kMovieFailed = 2; // no movie, or the operation failed
inline constexpr int kMovieException = 3;

// Play states reported through SetPlayState.
enum PlayState : int {
    kStateCreated = 1,
    kStateNoMovie = 2,
    kStateStopped = 3,
    kStateRunning = 4,
    kStatePositioning = 5,
    kStatePaused = 6,
};

class CAVIWnd2 : public QWidget {
    Q_OBJECT
public:
    enum class GoToKind { First, Last, Frame };

    CAVIWnd2();
    ~CAVIWnd2() override;

    // Creates the window inside parent at border, then the control inside it: 0, or 1 when
    // the control cannot be created (*why says why).
    int Create(QWidget* parent, int fitMode, int border, std::string* why = nullptr);
    virtual int Open(const std::string& path);
    virtual int Close(bool shrink);
    bool CheckFileName(const std::string& name, bool inMob);
    int GoTo(GoToKind kind, int32_t frame = 0);
    int Step(bool backward, int32_t n);
    int Play(int32_t frame);
    int Pause();
    int Stop();
    // The current frame relative to Origin (never negative), or kMovieFailed without a movie.
    int32_t CurrentFrame();
    int32_t FrameCount() const;
    bool ImageSize(int& width, int& height);
    void Scales(double& x, double& y) const;
    bool IsLoaded() const { return Loaded; }

    // Read-only view of the fields.
    int border() const { return Border; }
    QWidget* renderer() const { return Renderer; }
    bool trackable() const { return Trackable; }
    int playState() const { return PlayState_; }
    int32_t lastReportedFrame() const { return CurrentFrame_; }
    const std::string& moviePath() const { return MoviePath; }
    int imageWidth() const { return ImageWidth; }
    int imageHeight() const { return ImageHeight; }
    int32_t duration() const { return Duration; }
    int32_t first() const { return First; }
    int32_t last() const { return Last; }
    bool fromMob() const { return FromMob; }
    int32_t origin() const { return Origin; }
    int32_t originEnd() const { return OriginEnd; }
    CQXMovie& control() { return Control; }

protected:
    // Hooks the subclass extends.
    virtual void SetPlayState(int state) { PlayState_ = state; }
    virtual void SetCurrentFrame(int32_t frame) { CurrentFrame_ = frame; }
    virtual void MovieFinished() {}
    virtual void OpenCompleted();
    virtual void OpenFailed(int error);
    // The control's mouse events, posted to the window as mouse messages (picture pixels).
    virtual void LeftButtonDown(int, int) {}
    virtual void LeftButtonUp(int, int) {}
    virtual void RightButtonDown(int, int) {}
    virtual void RightButtonUp(int, int) {}
    virtual void MouseMoved(int, int) {}

    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    template <class Call> int withMovie(Call call);
    void onControlEvent(DispId id, Args args);
    void placeWindow();
    void findRenderer();
    void setOpenResult(int result);

    int Border = 0;
    QPointer<QWidget> Renderer;
    int FitMode = 1;
    bool Trackable = false;
    int PlayState_ = kStateCreated;
    int32_t CurrentFrame_ = 0;
    std::string MoviePath;
    int ImageWidth = 0, ImageHeight = 0;
    int32_t Duration = 0;
    int32_t First = 0, Last = 0;
    bool Loaded = false;
    CQXMovie Control;
    bool FromMob = false;
    int32_t Origin = 0, OriginEnd = 0;
    int OpenResult = 0;
    QEventLoop* openWait_ = nullptr;
};

} // namespace qxm::editor
