#pragma once
// The movie engine: a widget that opens a movie, shows its frames by frame number and plays it.
//
// Window structure (object names, direct children of the engine):
//   "ActiveMovieWndClass"  the engine widget itself
//   "VideoRenderer"        the picture window (VideoRenderer), the frame scaled smoothly to it
//   "QzCtrlConsole"        the control panel (ControlConsole): Play, Pause and Stop buttons, a
//                          tracker slider and a display panel; height 0 and hidden when none
//                          of its parts is shown
//
// Threading: everything happens on the thread that owns the widget (the user-interface thread),
// except the opening of a movie, which runs on a worker thread and reports back on the widget's
// thread. Every signal is emitted on the widget's thread.
//
// Sound: the first audio track of a movie plays with the picture through an audio output (the
// default device unless setAudioSinkFactory says otherwise). While it plays, the picture follows
// the sound heard; at rates other than 1.0 the sound is muted and the picture keeps the steady
// clock. A movie without sound, no output device or an output that fails or sticks midway
// mean silent playback by the steady clock, without an error event. Volume and Mute are the
// engine's own settings and are not part of the saved state.
//
// Positions: with DisplayMode 1 (frames, the default) every position, selection and duration is
// a frame number (0 .. Duration-1 for positions); with DisplayMode 0 they are seconds.
//
// Events (signals):
//   stateChange(old, new)       on every change of CurrentState among 0, 1, 2, and when a
//                               loaded movie is cleared (new -1). Opening leaves state -1 and
//                               enters 0 without this signal: openComplete reports it.
//   positionChange(old, new)    on every positioning: a CurrentPosition put, a tracker move,
//                               the jump back to SelectionStart when playback repeats or
//                               rewinds, and the start of Run from outside the selection.
//                               Frames shown while running are reported by timer() polling.
//   timer()                     every kTimerIntervalMs while a movie is loaded.
//   openComplete()              once after every non-empty FileName put, after success and
//                               after failure alike (a failure first emits error()).
//   error(code, description, source, cancelDisplay)
//                               see EngineError. A slot that sets *cancelDisplay = true stops
//                               the engine's own message box (shown through qxm::prompt).
//   mouseDown/mouseMove/mouseUp(button, shift, x, y)
//                               from the picture window, x and y in its pixels; button and
//                               shift are bit sets (kLeftButton..., kShiftMask...). mouseMove
//                               is sent with and without buttons held.
//   dblClick()                  a double click in the picture window (it replaces the second
//                               mouseDown of the pair).
#include "platform/video/FrameSource.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/audio/AudioSink.h"
#include "platform/engine/PlaybackClock.h"

class QMenu;
class QPainter;

namespace qxm::engine {

class VideoRenderer;
class ControlConsole;
class MovieSound;
class FullScreenView;
struct OpenJob;

// Codes of the error event.
enum EngineError : short {
    kErrNone = 0,
    kErrFileNotFound = 1, // the movie file does not exist
    kErrUnreadable = 2,   // the file cannot be read or is not a movie (e.g. text named .avi)
    kErrNoVideo = 3,      // a movie container without decodable video
    kErrBadSize = 4,      // video without a usable picture size or frame count (e.g. truncated)
    kErrDecodeFailed = 5, // a frame of an open movie cannot be decoded; playback stops
    kErrInternal = 6,     // any other failure while opening
};

// CurrentState values.
enum EngineState : int32_t { kNotLoaded = -1, kStopped = 0, kPaused = 1, kRunning = 2 };

// MovieWindowSize values: the picture's size when the engine sizes itself.
enum WindowSizeMode : int32_t {
    kOriginalSize = 0, // the movie's own size
    kDoubleSize = 1,   // twice its width and height
    kSixteenthScreen = 2,
    kQuarterScreen = 3,
    kHalfScreen = 4, // that share of the screen's area
};

// DisplayMode values.
enum DisplayModeValue : int32_t { kDisplayTime = 0, kDisplayFrames = 1 };

// Bits of the mouse events' button and shift arguments.
inline constexpr short kLeftButton = 1, kRightButton = 2, kMiddleButton = 4;
inline constexpr short kShiftMask = 1, kCtrlMask = 2, kAltMask = 4;

inline constexpr int kTimerIntervalMs = 100;

class MovieEngine : public QWidget {
    Q_OBJECT
public:
    using SourceOpener = std::function<std::unique_ptr<video::FrameSource>(
        const std::string& path, video::OpenStatus& status, std::string* message,
        const video::Progress& progress)>;
    // Paints over the picture after each frame, in picture-window pixels.
    using OverlayPainter = std::function<void(QPainter&)>;

    explicit MovieEngine(QWidget* parent = nullptr);
    ~MovieEngine() override;

    // The whole state (every member that can be put, the file name, the position) as bytes,
    // and a new engine made from such bytes; null when the bytes are not an engine state.
    // A file name in the state starts its open as soon as the event loop runs. When a parent
    // is given that should own the engine, call release() on the result.
    QByteArray saveState() const;
    static std::unique_ptr<MovieEngine> createFromState(const QByteArray& state,
                                                        QWidget* parent = nullptr);
    bool loadState(const QByteArray& state);

    // Methods. Each does nothing while no movie is loaded.
    void Run();   // plays from the position; from the selection's start when outside it
    void Pause(); // stops at the current frame (state 1); from stopped shows the frame paused
    void Stop();  // state 0, the position stays

    // Properties. Setters that can refuse a value return false and keep the old one.
    int32_t ImageSourceWidth() const;
    int32_t ImageSourceHeight() const;
    QString FileName() const { return fileName_; }
    void setFileName(const QString& name); // non-empty: opens asynchronously; empty: clears
    double Duration() const;               // frame count (or seconds)
    double CurrentPosition() const;
    // Clamped to the movie; shows exactly that frame. While a movie opens the position waits
    // for it; false when no movie is loaded or being opened.
    bool setCurrentPosition(double position);
    int32_t PlayCount() const { return playCount_; }
    bool setPlayCount(int32_t count); // 0 repeats without end, n >= 1 plays n times
    double SelectionStart() const;
    void setSelectionStart(double position);
    double SelectionEnd() const;
    void setSelectionEnd(double position);
    int32_t CurrentState() const { return state_; }
    double Rate() const { return rate_; }
    bool setRate(double rate); // any positive value
    bool EnableContextMenu() const { return enableContextMenu_; }
    void setEnableContextMenu(bool on) { enableContextMenu_ = on; }
    bool ShowDisplay() const { return showDisplay_; }
    void setShowDisplay(bool on);
    bool ShowControls() const { return showControls_; }
    void setShowControls(bool on);
    bool ShowTracker() const { return showTracker_; }
    void setShowTracker(bool on);
    bool EnableTracker() const { return enableTracker_; }
    void setEnableTracker(bool on);
    int32_t DisplayMode() const { return displayMode_; }
    bool setDisplayMode(int32_t mode);
    int32_t MovieWindowSize() const { return windowSize_; }
    bool setMovieWindowSize(int32_t mode);
    bool FullScreenMode() const { return fullScreen_; }
    void setFullScreenMode(bool on);
    bool AutoRewind() const { return autoRewind_; }
    void setAutoRewind(bool on) { autoRewind_ = on; }
    double Volume() const { return volume_; }
    bool setVolume(double volume); // 0.0 (silent) to 1.0 (as recorded)
    bool Mute() const { return mute_; }
    void setMute(bool on);

    // For callers and tests.
    VideoRenderer* renderer() const { return renderer_; }
    ControlConsole* console() const { return console_; }
    void setOverlayPainter(OverlayPainter painter);
    int32_t currentFrame() const { return position_; } // frame shown, in any display mode
    int32_t frameCount() const { return info_.frameCount; }
    const video::MovieInfo& movieInfo() const { return info_; }
    QImage currentImage() const; // the frame shown, unscaled (null when none)
    bool isOpening() const { return opening_; }
    // The size the picture gets under a window size mode for this movie and screen.
    QSize pictureSizeFor(int32_t mode) const;
    // Replaces how movies are opened (tests); null restores FrameSource::open.
    void setSourceOpener(SourceOpener opener);
    // Where the sound goes from the next opened movie on (tests, benchmarks); null restores
    // the default audio device.
    void setAudioSinkFactory(audio::AudioSinkFactory factory);
    bool hasSound() const { return sound_ != nullptr; } // the open movie has a playable track
    bool soundLeads() const { return soundLeads_; }     // the running picture follows the sound

signals:
    void stateChange(int oldState, int newState);
    void positionChange(double oldPosition, double newPosition);
    void timer();
    void openComplete();
    void error(short code, const QString& description, const QString& source, bool* cancelDisplay);
    void mouseDown(short button, short shift, int x, int y);
    void mouseMove(short button, short shift, int x, int y);
    void mouseUp(short button, short shift, int x, int y);
    void dblClick();

public:
    // The picture's size under the window size mode plus the panel (for layouts).
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend struct OpenJob;
    struct OpenResult;

    void startOpen(uint64_t generation);
    void finishOpen(uint64_t generation, const std::shared_ptr<OpenResult>& result);
    void showProgress(uint64_t generation, int percent);
    void clearMovie();
    void cancelOpenJob();
    void reportError(short code, const QString& description);

    bool showFrame(int32_t frame); // decodes and shows; false (and error) on failure
    void setPosition(int32_t frame, bool notify);
    void setState(int32_t state);
    void restartClock();
    void scheduleTick();
    void onTick();
    void finishPlayback();
    void startSound();
    void stopSound();
    bool followSound(); // true when the picture's clock moved to the sound

    int32_t clampFrame(double frame) const;
    double toUnits(int32_t frame) const;
    int32_t fromUnits(double value) const;
    int32_t selectionFirst() const;
    int32_t selectionLast() const;

    void applyWindowSize();
    void setPanelPart(bool& part, bool on); // a ShowControls/ShowTracker/ShowDisplay put
    void layoutChildren();
    void updateConsole();
    void showContextMenu(const QPoint& at);

    // members
    VideoRenderer* renderer_ = nullptr;
    ControlConsole* console_ = nullptr;
    std::unique_ptr<FullScreenView> fullScreenView_;
    QMenu* contextMenu_ = nullptr; // child of the engine
    SourceOpener opener_;

    QString fileName_;
    std::unique_ptr<video::FrameSource> source_;
    video::MovieInfo info_;
    std::shared_ptr<OpenJob> job_;
    uint64_t generation_ = 0;
    bool opening_ = false;
    int openPercent_ = 0;

    int32_t state_ = kNotLoaded;
    int32_t position_ = 0;
    int32_t playCount_ = 1;
    // Puts made while no movie is loaded, in the units of the put; applied when it opens.
    struct Pending {
        bool set = false;
        double value = 0.0;
    };
    Pending pendingStart_, pendingEnd_, pendingPosition_;
    int32_t selStart_ = 0, selEnd_ = -1; // frames, valid while loaded
    double rate_ = 1.0;
    bool enableContextMenu_ = true;
    bool showDisplay_ = true, showControls_ = true, showTracker_ = true;
    bool enableTracker_ = true;
    int32_t displayMode_ = kDisplayFrames;
    int32_t windowSize_ = kOriginalSize;
    bool fullScreen_ = false;
    bool autoRewind_ = false;

    PlaybackClock clock_;
    int32_t runFrom_ = 0;    // frame the clock started at
    int64_t playsLeft_ = 0;  // passes left when the clock started (0 = without end)
    int64_t passesSeen_ = 0; // passes already acted on since the clock started
    QTimer tickTimer_;
    QTimer eventTimer_;

    audio::AudioSinkFactory sinkFactory_;
    std::unique_ptr<MovieSound> sound_; // the open movie's sound track, null without one
    bool soundLeads_ = false;
    double volume_ = 1.0;
    bool mute_ = false;
    QTimer soundTimer_;        // keeps the output supplied between frames
    std::vector<uint8_t> bgr_; // decode buffer

    QRect ownRendererGeometry_, ownConsoleGeometry_; // where layoutChildren put them
};

} // namespace qxm::engine
