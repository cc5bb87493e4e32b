#pragma once
// The player control: plays a movie through the movie engine, reads the movie's anchor object
// file, follows the mouse over the picture, frames the selected anchor in red and raises events
// with the anchor's ID. Scripts and containers reach it through its automation object
// (dispatch()); C++ hosts may call the same operations directly.
//
// Life: construct, optionally set a site and load persisted values (loadState), then
// createControlWindow() (which reads the anchors and creates the engine); closeControl() or
// destruction ends it. Setters that talk to the engine only store their value while the engine
// does not exist; CreateEngine applies the stored values.
#include <QBasicTimer>
#include <QMenu>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/component/Dispatch.h"
#include "platform/engine/MovieEngine.h"
#include "platform/engine/VideoRenderer.h"
#include "player_control/anchors/AnchorTracking.h"
#include "player_control/anchors/DefAnchor.h"
#include "player_control/control/AnchorCursor.h"
#include "player_control/control/ControlSite.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieProperties.h"
#include "player_control/definitions/QXMovieState.h"

namespace qxm::qxmovie {

class QXMovieAutomation;

inline constexpr int kAnchorTimerMs = 200;
inline constexpr int kEngineControlId = 1;
inline constexpr short kIgnoredEngineError = 600;

class CQXMovieCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CQXMovieCtrl(QWidget* parent = nullptr);
    ~CQXMovieCtrl() override;

    // ---- container side ----
    void setSite(IControlSite* site) { site_ = site; }
    IControlSite* site() const { return site_; }
    // The control window's creation: anchors of a stored MovieFile, then the engine. 0, or
    // ANCHOR_ERR_FORMAT / ANCHOR_ERR_MEMORY when either fails (the window is then not usable).
    int createControlWindow();
    // Why the last anchor read failed, for a container's message: "Anchor Data Read Error:
    // FILE line N: \"the line\"" (the line when the reader names one).
    std::string anchorReadErrorText() const;
    bool windowCreated() const { return windowCreated_; }
    // The container sets a new object rectangle: the control takes it and lays out its windows.
    void setObjectRect(const QRect& rect);
    // The window's close: stops and clears a loaded movie and destroys the engine window.
    void closeControl();

    // ---- automation ----
    ComPtr<IDispatch> dispatch() const;
    ComPtr<IEventSource> eventSource() const;
    // Fires an event of _DQXMovieEvents to every connected sink.
    void fire(DispId id, std::initializer_list<Variant> args = {});

    // ---- persisted values ----
    const QXMovieState& state() const { return state_; }
    // Writes the values straight into the state: no validation, nothing sent to the engine.
    void loadState(const QXMovieState& state) { state_ = state; }
    bool isModified() const { return modified_; }
    void setModified(bool on = true) { modified_ = on; }

    // ---- properties ----
    // A property by its row of the property table, as automation reaches it: the value as a
    // variant of the property's type (throws as the getter does).
    Variant property(const PropertyDescriptor& p) const;
    // Converts value to the property's type and refuses a value outside its enumeration, then
    // runs the property's setter below, or, for a property whose setting has no further effect,
    // stores the value and marks the control modified.
    void setProperty(const PropertyDescriptor& p, const Variant& value);

    // The getters, and the setters of the properties whose setting does more than store the
    // value (setters throw ComError with the control's error info).
    bool AutoPlay() const { return state_.AutoPlay; }
    bool AutoRepeat() const { return state_.AutoRepeat; }
    void setAutoRepeat(bool v);
    bool AutoRewind() const { return state_.AutoRewind; }
    std::string MovieFile() const { return state_.MovieFile; }
    void setMovieFile(const std::string& v);
    std::int32_t MovieWindowSetting() const { return state_.MovieWindowSetting; }
    void setMovieWindowSetting(std::int32_t v);
    bool ShowControls() const { return state_.ShowControls; }
    void setShowControls(bool v);
    bool ShowDisplay() const { return state_.ShowDisplay; }
    void setShowDisplay(bool v);
    bool ShowTracker() const { return state_.ShowTracker; }
    void setShowTracker(bool v);
    std::int32_t SelectionEnd() const { return state_.SelectionEnd; }
    void setSelectionEnd(std::int32_t v);
    std::int32_t SelectionStart() const { return state_.SelectionStart; }
    void setSelectionStart(std::int32_t v);
    bool FullScreenMode() const { return state_.FullScreenMode; }
    void setFullScreenMode(bool v);
    std::int32_t ActivateMethod() const { return state_.ActivateMethod; }
    std::int32_t AnchorNum() const { return anchorNum_; }
    bool ChangeCursor() const { return state_.ChangeCursor; }
    std::string CursorFile() const { return state_.CursorFile; }
    void setCursorFile(const std::string& v);
    bool EnableContextMenu() const { return state_.EnableContextMenu; }
    bool ShowAnchor() const { return state_.ShowAnchor; }
    void setShowAnchor(bool v);
    std::int32_t PlaybackEnvironment() const { return state_.PlaybackEnvironment; }
    bool ShowAnchorName() const { return state_.ShowAnchorName; }
    std::int32_t CurrentPosition() const; // throws when the engine cannot tell
    void setCurrentPosition(std::int32_t v) { Seek(v); }
    std::int32_t ImageSourceHeight() const { return imageSourceHeight_; }
    std::int32_t ImageSourceWidth() const { return imageSourceWidth_; }
    std::int32_t Duration() const; // throws when the engine cannot tell
    bool ClickSound() const { return state_.ClickSound; }
    std::string SoundFile() const { return state_.SoundFile; }
    std::int32_t PlaybackRate() const { return state_.PlaybackRate; }
    void setPlaybackRate(std::int32_t v);
    std::int32_t AnchorFrameOrigin() const { return state_.AnchorFrameOrigin; }
    void setAnchorFrameOrigin(std::int32_t v);

    // ---- methods ----
    void Play(std::int32_t frameNo);
    void Stop();
    void Pause();
    bool EnableAnchor(const std::string& anchorId);
    std::string AnchorID(std::int32_t index) const; // throws the array index error
    std::string AnchorName(std::int32_t index) const;
    void AboutBox();

    // ---- operations ----
    int CreateEngine(); // 0 or ANCHOR_ERR_MEMORY
    std::string ResolveMoviePath(const std::string& path) const;
    void Seek(std::int32_t frame);
    void RelayoutChildren(bool autoSize);
    void SelectAnchor(AnchorRef anchor);
    void TrackCursor(int x, int y);
    // The anchor frame of the moment: trunc(engine position) - AnchorFrameOrigin.
    std::int32_t anchorFrameNow() const;
    // The message the engine's failed open posts to the control: clears the movie.
    void unloadMovie();

    // ---- context menu ----
    // The context menu with its items' enabled and checked states of the moment; each action's
    // data() is its command id, and triggering it runs the command.
    std::unique_ptr<QMenu> buildContextMenu();
    void runMenuCommand(int commandId);
    QMenu* shownContextMenu() const { return shownMenu_.get(); }

    // ---- inspection ----
    engine::MovieEngine* engine() const { return engine_; }
    engine::VideoRenderer* rendererWindow() const { return renderer_; }
    const CDefAnchor& anchorStore() const { return anchors_; }
    AnchorRef selectedAnchor() const { return selection_.selected(anchors_); }
    AnchorRef anchorUnderCursor() const { return tracker_.under(anchors_); }
    const std::string& enabledAnchorId() const { return enabledAnchorId_; }
    bool autoSizeFlag() const { return autoSize_; }
    QSize naturalPictureSize() const { return naturalSize_; }
    bool anchorTimerActive() const { return anchorTimer_.isActive(); }
    short engineErrorCode() const { return engineError_; }
    const AnchorCursor& anchorCursor() const { return cursor_; }
    bool movieLoaded() const;
    bool engineRunning() const;

protected:
    void paintEvent(QPaintEvent*) override {}
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool event(QEvent* event) override;

private:
    void connectEngine();
    void destroyEngine();
    void propertyChanged(DispId id);
    bool userMode() const;
    void requestSize(QSize size);
    [[noreturn]] void throwInvalidValue() const;
    // Throws the invalid value error when v is outside the enumeration of property id.
    void requireAccepted(DispId id, std::int32_t v) const;
    void openMovie(const std::string& path);
    void clearMovie();
    void applyStateChange(SelectionChange change);
    void resetAnchorReferences();
    void applyCursorStep(const CursorStep& step);
    void paintAnchorFrame(QPainter& painter);
    ScaleFactors scaleNow() const;
    AnchorRef hitTestAt(int x, int y) const;
    bool overRenderer(int x, int y) const;
    void cursorCheckAtCursor();

    // engine events
    void onOpenComplete();
    void onStateChange(int oldState, int newState);
    void onPositionChange(double oldPosition, double newPosition);
    void onTimer();
    void onError(short code, bool* cancelDisplay);
    void onMouseDown(short button, short shift, int x, int y);
    void onMouseMove(short button, short shift, int x, int y);
    void onMouseUp(short button, short shift, int x, int y);
    void onDblClick();

    QXMovieState state_;
    std::int32_t anchorNum_ = 0;
    CDefAnchor anchors_;
    std::int32_t imageSourceHeight_ = 0;
    std::int32_t imageSourceWidth_ = 0;
    AnchorSelection selection_;
    std::string enabledAnchorId_;
    QPointer<engine::VideoRenderer> renderer_;
    QSize naturalSize_{0, 0};
    short lastButton_ = 0;
    short lastShift_ = 0;
    AnchorPoint lastPoint_;
    CursorTracker tracker_;
    AnchorCursor cursor_;
    bool cursorLoaded_ = false;
    QPointer<engine::MovieEngine> engine_;
    short engineError_ = 0;
    bool autoSize_ = false;

    bool modified_ = false;
    bool windowCreated_ = false;
    IControlSite* site_ = nullptr;
    QBasicTimer anchorTimer_;
    std::unique_ptr<QMenu> shownMenu_;
    ComPtr<QXMovieAutomation> automation_;
};

} // namespace qxm::qxmovie
