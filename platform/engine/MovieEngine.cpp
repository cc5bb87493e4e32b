#include "platform/engine/MovieEngine.h"

#include "platform/audio/SoundDecoder.h"
#include "platform/audio/SoundFilePlayer.h"
#include "platform/engine/ControlConsole.h"
#include "platform/engine/EngineTexts.h"
#include "platform/engine/FullScreenView.h"
#include "platform/engine/MovieSound.h"
#include "platform/engine/VideoRenderer.h"
#include "platform/location/FileUrl.h"
#include "platform/prompter/Prompter.h"

#include <QDataStream>
#include <QGuiApplication>
#include <QIODevice>
#include <QMenu>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace qxm::engine {

// Links an open running on a worker thread to the engine that asked for it. The engine lets go
// of the job (target = null) when it no longer wants the result; the worker then drops it.
struct OpenJob {
    std::mutex mutex;
    MovieEngine* target = nullptr;

    template <class F> void post(F f) {
        const std::lock_guard lock(mutex);
        if (!target) return;
        MovieEngine* engine = target;
        QMetaObject::invokeMethod(
            engine, [engine, f] { f(engine); }, Qt::QueuedConnection);
    }
};

// The open workers. An open cannot be stopped midway (the frame source's open has no way to
// cancel), so an engine that goes away leaves its worker to finish on its own, and a new open
// takes the place of finished ones. The workers still running when the program ends are waited
// for then, instead of being cut off inside the decoder libraries.
class OpenWorkers {
public:
    static OpenWorkers& instance() {
        static OpenWorkers workers;
        return workers;
    }

    template <class F> void start(F work) {
        const std::lock_guard lock(mutex_);
        std::vector<Worker> running;
        for (Worker& w : workers_) {
            if (w.done->load())
                w.thread.join();
            else
                running.push_back(std::move(w));
        }
        workers_ = std::move(running);
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(work), done]() mutable {
            work();
            done->store(true);
        });
        workers_.push_back({std::move(thread), std::move(done)});
    }

    ~OpenWorkers() {
        const std::lock_guard lock(mutex_);
        for (Worker& w : workers_)
            w.thread.join();
    }

private:
    OpenWorkers() = default;

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex mutex_;
    std::vector<Worker> workers_;
};

struct MovieEngine::OpenResult {
    std::unique_ptr<video::FrameSource> source;
    video::OpenStatus status = video::OpenStatus::Unreadable;
    std::string message;
    bool failedInternally = false;
    int32_t frame = 0;
    bool frameRead = false;
    std::vector<uint8_t> bgr;
    std::unique_ptr<audio::SoundDecoder> sound; // the first audio track, null without one
};

namespace {

constexpr quint32 kStateMagic = 0x514d4545; // "QMEE"
constexpr quint32 kStateVersion = 1;
constexpr double kFallbackFps = 25.0;
constexpr int kSoundPumpMs = 20;
// How far the picture's clock may be from the sound heard before it is moved to it.
constexpr double kFollowToleranceSeconds = 0.015;

QString tr8(const char* text) {
    return QString::fromUtf8(text);
}

QString formatSeconds(double seconds) {
    if (!(seconds >= 0.0)) seconds = 0.0;
    const auto hundredths = static_cast<long long>(seconds * 100.0 + 0.5);
    const long long minutes = hundredths / 6000;
    const double rest = double(hundredths % 6000) / 100.0;
    return QString("%1:%2").arg(minutes).arg(rest, 5, 'f', 2, QChar('0'));
}

QImage imageFromBgr(const std::vector<uint8_t>& bgr, int width, int height) {
    if (width <= 0 || height <= 0 || bgr.size() < size_t(width) * height * 3) return {};
    // Straight into the format the painter draws from, in one pass: a BGR888 image would be
    // converted again on every paint.
    QImage image(width, height, QImage::Format_RGB32);
    const size_t row = size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = bgr.data() + row * y;
        auto* d = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, s += 3)
            d[x] = 0xff000000u | (uint32_t(s[2]) << 16) | (uint32_t(s[1]) << 8) | s[0];
    }
    return image;
}

short codeFor(video::OpenStatus status) {
    switch (status) {
    case video::OpenStatus::NotFound:
        return kErrFileNotFound;
    case video::OpenStatus::Unreadable:
        return kErrUnreadable;
    case video::OpenStatus::NoVideo:
        return kErrNoVideo;
    case video::OpenStatus::BadSize:
        return kErrBadSize;
    case video::OpenStatus::Ok:
        break;
    }
    return kErrInternal;
}

const char* textFor(short code) {
    switch (code) {
    case kErrFileNotFound:
        return texts::kNotFound;
    case kErrUnreadable:
        return texts::kUnreadable;
    case kErrNoVideo:
        return texts::kNoVideo;
    case kErrBadSize:
        return texts::kBadSize;
    case kErrDecodeFailed:
        return texts::kDecodeFailed;
    default:
        return texts::kInternal;
    }
}

// The message of an error code; %1 file name, %2 frame, %3 detail, substituted in one pass.
QString describe(short code, const QString& file, int32_t frame, const std::string& detail) {
    const QString text = QString::fromUtf8(textFor(code));
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            const QChar c = text[i + 1];
            if (c == '1' || c == '2' || c == '3') {
                out += c == '1'   ? file
                       : c == '2' ? QString::number(frame)
                                  : QString::fromStdString(detail);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace

MovieEngine::MovieEngine(QWidget* parent) : QWidget(parent) {
    setObjectName("ActiveMovieWndClass");
    renderer_ = new VideoRenderer(this);
    console_ = new ControlConsole(this);
    contextMenu_ = new QMenu(this);
    contextMenu_->addAction(tr8(texts::kMenuPlay), this, [this] { Run(); });
    contextMenu_->addAction(tr8(texts::kMenuPause), this, [this] { Pause(); });
    contextMenu_->addAction(tr8(texts::kMenuStop), this, [this] { Stop(); });

    connect(renderer_, &VideoRenderer::mouseDown, this, &MovieEngine::mouseDown);
    connect(renderer_, &VideoRenderer::mouseMove, this, &MovieEngine::mouseMove);
    connect(renderer_, &VideoRenderer::mouseUp, this,
            [this](short button, short shift, int x, int y) {
                QPointer<MovieEngine> self(this);
                emit mouseUp(button, shift, x, y);
                if (self && (button & kRightButton) && enableContextMenu_)
                    showContextMenu(renderer_->mapToGlobal(QPoint(x, y)));
            });
    connect(renderer_, &VideoRenderer::dblClick, this, &MovieEngine::dblClick);
    connect(console_, &ControlConsole::playClicked, this, [this] { Run(); });
    connect(console_, &ControlConsole::pauseClicked, this, [this] { Pause(); });
    connect(console_, &ControlConsole::stopClicked, this, [this] { Stop(); });
    connect(console_, &ControlConsole::trackerMoved, this, [this](int value) {
        if (state_ != kNotLoaded && enableTracker_) setCurrentPosition(toUnits(value));
    });

    tickTimer_.setSingleShot(true);
    tickTimer_.setTimerType(Qt::PreciseTimer);
    connect(&tickTimer_, &QTimer::timeout, this, &MovieEngine::onTick);
    eventTimer_.setInterval(kTimerIntervalMs);
    connect(&eventTimer_, &QTimer::timeout, this, &MovieEngine::timer);
    soundTimer_.setInterval(kSoundPumpMs);
    soundTimer_.setTimerType(Qt::PreciseTimer);
    connect(&soundTimer_, &QTimer::timeout, this, [this] {
        if (followSound()) onTick(); // the clock moved: the picture catches up at once
    });
    // Click sounds of the control go through the sound service, played from here on.
    audio::installSoundPlayer();

    console_->setParts(showControls_, showTracker_, showDisplay_);
    resize(320, 240 + console_->panelHeight());
    layoutChildren();
    updateConsole();
}

MovieEngine::~MovieEngine() {
    cancelOpenJob();
}

void MovieEngine::setSourceOpener(SourceOpener opener) {
    opener_ = std::move(opener);
}

void MovieEngine::setAudioSinkFactory(audio::AudioSinkFactory factory) {
    sinkFactory_ = std::move(factory);
}

void MovieEngine::setOverlayPainter(OverlayPainter painter) {
    renderer_->setOverlayPainter(std::move(painter));
}

QImage MovieEngine::currentImage() const {
    return renderer_->frameImage();
}

// ---- opening and clearing ----------------------------------------------------------------

void MovieEngine::setFileName(const QString& name) {
    clearMovie();
    fileName_ = name;
    const uint64_t generation = ++generation_;
    if (name.isEmpty()) return;
    opening_ = true;
    openPercent_ = 0;
    updateConsole();
    // Started from the event loop, so that an engine configured, saved and destroyed in one
    // go never starts the work.
    QTimer::singleShot(0, this, [this, generation] { startOpen(generation); });
}

void MovieEngine::cancelOpenJob() {
    if (job_) {
        const std::lock_guard lock(job_->mutex);
        job_->target = nullptr;
    }
    job_.reset();
    opening_ = false;
}

void MovieEngine::startOpen(uint64_t generation) {
    if (generation != generation_ || !opening_) return;
    auto job = std::make_shared<OpenJob>();
    job->target = this;
    job_ = job;
    SourceOpener opener = opener_;
    if (!opener)
        opener = [](const std::string& path, video::OpenStatus& status, std::string* message,
                    const video::Progress& progress) {
            return video::FrameSource::open(path, status, message, progress);
        };
    std::string path = fileName_.toStdString();
    // A movie resolved against a page's location comes as a file: URL.
    if (auto local = fileUrlToPath(path)) path = std::move(*local);
    const int32_t initial = pendingPosition_.set && displayMode_ == kDisplayFrames
                                ? int32_t(std::clamp(pendingPosition_.value, 0.0, 2e9))
                                : 0;
    OpenWorkers::instance().start([job, generation, path, opener, initial] {
        auto result = std::make_shared<OpenResult>();
        try {
            int lastPercent = -1;
            const video::Progress progress = [&](int64_t done, int64_t total) {
                const int percent =
                    total > 0 ? int(std::clamp<int64_t>(done * 100 / total, 0, 100)) : 0;
                if (percent == lastPercent) return;
                lastPercent = percent;
                job->post([generation, percent](MovieEngine* e) {
                    e->showProgress(generation, percent);
                });
            };
            result->source = opener(path, result->status, &result->message, progress);
            if (result->source) {
                const int32_t count = result->source->info().frameCount;
                result->frame = std::clamp(initial, 0, std::max(0, count - 1));
                result->frameRead = result->source->readBgr(result->frame, result->bgr);
                // A movie without a sound track it can play is simply silent.
                result->sound = audio::SoundDecoder::open(path);
            }
        } catch (const std::exception& e) {
            result->source.reset();
            result->failedInternally = true;
            result->message = e.what();
        } catch (...) {
            result->source.reset();
            result->failedInternally = true;
        }
        job->post([generation, result](MovieEngine* e) { e->finishOpen(generation, result); });
    });
}

void MovieEngine::showProgress(uint64_t generation, int percent) {
    if (generation != generation_ || !opening_) return;
    openPercent_ = percent;
    updateConsole();
}

void MovieEngine::finishOpen(uint64_t generation, const std::shared_ptr<OpenResult>& result) {
    if (generation != generation_ || !opening_) return;
    job_.reset();
    opening_ = false;
    QPointer<MovieEngine> self(this);
    if (!result->source || result->failedInternally) {
        const short code = result->failedInternally ? short(kErrInternal) : codeFor(result->status);
        QString description = describe(code, fileName_, -1, result->message);
        if (code != kErrInternal && !result->message.empty())
            description += QString(" (%1)").arg(QString::fromStdString(result->message));
        // Positions and selections asked for this movie go with it.
        pendingStart_ = pendingEnd_ = pendingPosition_ = Pending{};
        updateConsole();
        reportError(code, description);
        if (self) emit openComplete();
        return;
    }

    source_ = std::move(result->source);
    info_ = source_->info();
    if (result->sound)
        sound_ = std::make_unique<MovieSound>(
            std::move(result->sound), info_.fps() > 0.0 ? info_.fps() : kFallbackFps, sinkFactory_);
    const int32_t last = std::max(0, info_.frameCount - 1);
    selStart_ = pendingStart_.set ? clampFrame(fromUnits(pendingStart_.value)) : 0;
    selEnd_ = pendingEnd_.set ? clampFrame(fromUnits(pendingEnd_.value)) : last;
    const int32_t wanted =
        pendingPosition_.set ? clampFrame(fromUnits(pendingPosition_.value)) : result->frame;
    pendingStart_ = pendingEnd_ = pendingPosition_ = Pending{};
    state_ = kStopped;
    position_ = wanted;
    bool shown = false;
    if (result->frameRead && wanted == result->frame) {
        const QImage image = imageFromBgr(result->bgr, info_.width, info_.height);
        renderer_->setFrame(image, wanted);
        if (fullScreenView_) fullScreenView_->setFrame(image);
        shown = !image.isNull();
    }
    eventTimer_.start();
    applyWindowSize();
    updateConsole();
    if (fullScreen_) setFullScreenMode(true);
    if (!shown) showFrame(wanted);
    if (self) emit openComplete();
}

void MovieEngine::clearMovie() {
    cancelOpenJob();
    clock_.halt();
    tickTimer_.stop();
    eventTimer_.stop();
    stopSound();
    sound_.reset();
    const int32_t old = state_;
    source_.reset();
    info_ = video::MovieInfo{};
    state_ = kNotLoaded;
    position_ = 0;
    selStart_ = 0;
    selEnd_ = -1;
    renderer_->clearFrame();
    if (fullScreenView_) fullScreenView_->hide();
    updateConsole();
    layoutChildren();
    if (old != kNotLoaded) emit stateChange(old, kNotLoaded);
}

void MovieEngine::reportError(short code, const QString& description) {
    bool cancel = false;
    emit error(code, description, tr8(texts::kErrorSource), &cancel);
    if (!cancel)
        qxm::prompt(description.toStdString(), texts::kErrorCaption, Buttons::Ok, Icon::Error);
}

// ---- frames and positions ------------------------------------------------------------------

bool MovieEngine::showFrame(int32_t frame) {
    if (!source_) return false;
    if (!source_->readBgr(frame, bgr_)) {
        reportError(kErrDecodeFailed, describe(kErrDecodeFailed, fileName_, frame, {}));
        return false;
    }
    const QImage image = imageFromBgr(bgr_, info_.width, info_.height);
    renderer_->setFrame(image, frame);
    if (fullScreenView_ && fullScreenView_->isVisible()) fullScreenView_->setFrame(image);
    return true;
}

int32_t MovieEngine::clampFrame(double frame) const {
    const int32_t last = std::max(0, info_.frameCount - 1);
    if (!(frame >= 0.0)) return 0;
    if (frame >= double(last)) return last;
    return int32_t(frame);
}

double MovieEngine::toUnits(int32_t frame) const {
    if (displayMode_ == kDisplayFrames) return frame;
    const double fps = info_.fps() > 0.0 ? info_.fps() : kFallbackFps;
    return frame / fps;
}

int32_t MovieEngine::fromUnits(double value) const {
    if (!std::isfinite(value)) return 0;
    double frames = value;
    if (displayMode_ != kDisplayFrames) {
        const double fps = info_.fps() > 0.0 ? info_.fps() : kFallbackFps;
        frames = std::floor(value * fps + 1e-6);
    }
    return int32_t(std::clamp(frames, double(std::numeric_limits<int32_t>::min()),
                              double(std::numeric_limits<int32_t>::max())));
}

int32_t MovieEngine::selectionFirst() const {
    return selStart_;
}
int32_t MovieEngine::selectionLast() const {
    return std::max(selStart_, selEnd_);
}

int32_t MovieEngine::ImageSourceWidth() const {
    return state_ == kNotLoaded ? 0 : info_.width;
}
int32_t MovieEngine::ImageSourceHeight() const {
    return state_ == kNotLoaded ? 0 : info_.height;
}

double MovieEngine::Duration() const {
    return state_ == kNotLoaded ? 0.0
                                : (displayMode_ == kDisplayFrames ? double(info_.frameCount)
                                                                  : toUnits(info_.frameCount));
}

double MovieEngine::CurrentPosition() const {
    if (state_ == kNotLoaded) return pendingPosition_.set ? pendingPosition_.value : 0.0;
    return toUnits(position_);
}

bool MovieEngine::setCurrentPosition(double position) {
    if (state_ == kNotLoaded) {
        // Kept for the movie being opened; with none, or after it failed to open, there is
        // nothing to position.
        if (!opening_) return false;
        pendingPosition_ = {true, position};
        return true;
    }
    setPosition(clampFrame(fromUnits(position)), true);
    if (state_ == kRunning) restartClock();
    return true;
}

void MovieEngine::setPosition(int32_t frame, bool notify) {
    const int32_t old = position_;
    position_ = frame;
    showFrame(frame);
    updateConsole();
    if (notify) emit positionChange(toUnits(old), toUnits(frame));
}

double MovieEngine::SelectionStart() const {
    if (state_ == kNotLoaded) return pendingStart_.set ? pendingStart_.value : 0.0;
    return toUnits(selStart_);
}

double MovieEngine::SelectionEnd() const {
    if (state_ == kNotLoaded) return pendingEnd_.set ? pendingEnd_.value : 0.0;
    return toUnits(selEnd_);
}

void MovieEngine::setSelectionStart(double position) {
    if (state_ == kNotLoaded) {
        pendingStart_ = {true, position};
        return;
    }
    selStart_ = clampFrame(fromUnits(position));
    if (state_ == kRunning) restartClock();
}

void MovieEngine::setSelectionEnd(double position) {
    if (state_ == kNotLoaded) {
        pendingEnd_ = {true, position};
        return;
    }
    selEnd_ = clampFrame(fromUnits(position));
    if (state_ == kRunning) restartClock();
}

bool MovieEngine::setPlayCount(int32_t count) {
    if (count < 0) return false;
    playCount_ = count;
    if (state_ == kRunning) {
        playsLeft_ = count;
        passesSeen_ = 0;
        restartClock();
    }
    return true;
}

bool MovieEngine::setVolume(double volume) {
    if (!(volume >= 0.0 && volume <= 1.0)) return false;
    volume_ = volume;
    if (sound_) sound_->setVolume(mute_ ? 0.0 : volume_);
    return true;
}

void MovieEngine::setMute(bool on) {
    mute_ = on;
    if (sound_) sound_->setVolume(mute_ ? 0.0 : volume_);
}

bool MovieEngine::setRate(double rate) {
    if (!(rate > 0.0) || !std::isfinite(rate)) return false;
    rate_ = rate;
    if (state_ == kRunning) restartClock();
    return true;
}

bool MovieEngine::setDisplayMode(int32_t mode) {
    if (mode != kDisplayTime && mode != kDisplayFrames) return false;
    displayMode_ = mode;
    updateConsole();
    return true;
}

// ---- playback ------------------------------------------------------------------------------

void MovieEngine::setState(int32_t state) {
    const int32_t old = state_;
    if (old == state) return;
    state_ = state;
    updateConsole();
    emit stateChange(old, state);
}

void MovieEngine::restartClock() {
    // Passes completed so far count against the play count; the clock restarts from the
    // frame shown now.
    if (playsLeft_ > 0) playsLeft_ = std::max<int64_t>(1, playsLeft_ - passesSeen_);
    passesSeen_ = 0;
    const int32_t first = selectionFirst(), last = selectionLast();
    if (position_ < first || position_ > last) setPosition(first, true);
    if (state_ != kRunning) return;
    runFrom_ = position_;
    const double fps = (info_.fps() > 0.0 ? info_.fps() : kFallbackFps) * rate_;
    clock_.start(PlaybackClock::Clock::now(), fps);
    startSound();
    scheduleTick();
}

void MovieEngine::startSound() {
    soundLeads_ = false;
    soundTimer_.stop();
    if (!sound_) return;
    // The sound plays at the movie's own rate only; at any other rate it is muted.
    if (rate_ != 1.0) {
        sound_->stop();
        return;
    }
    sound_->setVolume(mute_ ? 0.0 : volume_);
    soundLeads_ = sound_->start(runFrom_, selectionFirst(), selectionLast(), playsLeft_);
    if (soundLeads_) soundTimer_.start();
}

void MovieEngine::stopSound() {
    soundLeads_ = false;
    soundTimer_.stop();
    if (sound_) sound_->stop();
}

bool MovieEngine::followSound() {
    if (!soundLeads_ || !sound_ || state_ != kRunning || !clock_.running()) return false;
    sound_->pump();
    const auto now = PlaybackClock::Clock::now();
    const std::optional<double> heard = sound_->heardSeconds(now);
    if (!heard) {
        // The output failed or stuck: the picture goes on by the steady clock from here.
        stopSound();
        return false;
    }
    const double tolerance = std::min(kFollowToleranceSeconds, 0.5 / clock_.framesPerSecond());
    return clock_.follow(now, *heard, tolerance);
}

void MovieEngine::scheduleTick() {
    const auto now = PlaybackClock::Clock::now();
    const int64_t next = clock_.periodsAt(now) + 1;
    const auto wait = clock_.dueTime(next) - now;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    tickTimer_.start(int(std::clamp<long long>(ms, 0, 60000)));
}

void MovieEngine::Run() {
    if (state_ == kNotLoaded || state_ == kRunning) return;
    if (state_ == kStopped) {
        playsLeft_ = playCount_;
        passesSeen_ = 0;
    }
    const int32_t first = selectionFirst(), last = selectionLast();
    QPointer<MovieEngine> self(this);
    if (position_ < first || position_ >= last) {
        setPosition(first, true);
        if (!self || state_ == kNotLoaded || state_ == kRunning) return;
    }
    const int32_t old = state_;
    state_ = kRunning; // the clock runs before anyone hears of the change
    restartClock();
    updateConsole();
    emit stateChange(old, kRunning);
}

void MovieEngine::Pause() {
    if (state_ == kNotLoaded || state_ == kPaused) return;
    if (state_ == kStopped) {
        playsLeft_ = playCount_;
        passesSeen_ = 0;
    } else {
        onTick(); // bring the picture up to the clock before it halts
        if (state_ != kRunning) return;
    }
    clock_.halt();
    tickTimer_.stop();
    soundLeads_ = false;
    soundTimer_.stop();
    if (sound_) sound_->pause();
    setState(kPaused);
}

void MovieEngine::Stop() {
    if (state_ == kNotLoaded || state_ == kStopped) return;
    clock_.halt();
    tickTimer_.stop();
    stopSound();
    setState(kStopped);
}

void MovieEngine::finishPlayback() {
    clock_.halt();
    tickTimer_.stop();
    soundLeads_ = false;
    soundTimer_.stop();
    if (sound_) sound_->finish(); // the last frame's sound is heard to its end
    QPointer<MovieEngine> self(this);
    setState(kStopped);
    if (self && autoRewind_ && state_ == kStopped) setPosition(selectionFirst(), true);
}

void MovieEngine::onTick() {
    if (state_ != kRunning || !clock_.running()) return;
    if (soundLeads_) followSound();
    const int64_t periods = clock_.periodsAt(PlaybackClock::Clock::now());
    const int32_t first = selectionFirst(), last = selectionLast();
    const PlaybackStep step = playbackStepAt(periods, runFrom_, first, last, playsLeft_);
    QPointer<MovieEngine> self(this);
    if (step.finished) {
        if (position_ != last) {
            position_ = last;
            showFrame(last);
            updateConsole();
        }
        if (self) finishPlayback();
        return;
    }
    bool ok = true;
    if (step.passes > passesSeen_) {
        // Reported as the jump from the selection's end back to its start, whichever frame
        // was shown last before it.
        passesSeen_ = step.passes;
        position_ = step.frame;
        ok = showFrame(step.frame);
        updateConsole();
        if (!self) return;
        emit positionChange(toUnits(last), toUnits(step.frame));
    } else if (step.frame != position_) {
        position_ = step.frame;
        ok = showFrame(step.frame);
        updateConsole();
    }
    if (!self || state_ != kRunning || !clock_.running()) return;
    if (!ok) {
        Stop();
        return;
    }
    scheduleTick();
}

// ---- layout and window size ----------------------------------------------------------------

QSize MovieEngine::pictureSizeFor(int32_t mode) const {
    const int w = info_.width, h = info_.height;
    if (w <= 0 || h <= 0) return {};
    double share = 0.0;
    switch (mode) {
    case kOriginalSize:
        return {w, h};
    case kDoubleSize:
        return {2 * w, 2 * h};
    case kSixteenthScreen:
        share = 1.0 / 16.0;
        break;
    case kQuarterScreen:
        share = 1.0 / 4.0;
        break;
    case kHalfScreen:
        share = 1.0 / 2.0;
        break;
    default:
        return {w, h};
    }
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = s ? s->geometry().size() : QSize(w, h);
    const double scale =
        std::sqrt(share * double(screenSize.width()) * screenSize.height() / (double(w) * h));
    return {std::max(1, int(std::lround(w * scale))), std::max(1, int(std::lround(h * scale)))};
}

bool MovieEngine::setMovieWindowSize(int32_t mode) {
    if (mode < kOriginalSize || mode > kHalfScreen) return false;
    windowSize_ = mode;
    if (state_ != kNotLoaded) applyWindowSize();
    return true;
}

QSize MovieEngine::sizeHint() const {
    QSize picture = pictureSizeFor(windowSize_);
    if (!picture.isValid()) picture = QSize(320, 240);
    return {picture.width(), picture.height() + console_->panelHeight()};
}

void MovieEngine::applyWindowSize() {
    const QSize picture = pictureSizeFor(windowSize_);
    if (picture.isValid()) resize(picture.width(), picture.height() + console_->panelHeight());
    layoutChildren();
    updateGeometry();
}

void MovieEngine::layoutChildren() {
    const int w = width(), h = height();
    const int panel = std::min(h, console_->panelHeight());
    console_->setGeometry(0, h - panel, w, panel);
    console_->setVisible(panel > 0);
    const QRect area(0, 0, w, h - panel);
    const QRect picture =
        state_ != kNotLoaded ? fitKeepingAspect(QSize(info_.width, info_.height), area) : area;
    renderer_->setGeometry(picture);
    ownRendererGeometry_ = renderer_->geometry();
    ownConsoleGeometry_ = console_->geometry();
}

void MovieEngine::resizeEvent(QResizeEvent*) {
    // Children that a caller has placed itself stay where it put them.
    if (renderer_->geometry() == ownRendererGeometry_ &&
        console_->geometry() == ownConsoleGeometry_)
        layoutChildren();
}

void MovieEngine::setPanelPart(bool& part, bool on) {
    part = on;
    console_->setParts(showControls_, showTracker_, showDisplay_);
    applyWindowSize();
}

void MovieEngine::setShowDisplay(bool on) {
    setPanelPart(showDisplay_, on);
}
void MovieEngine::setShowControls(bool on) {
    setPanelPart(showControls_, on);
}
void MovieEngine::setShowTracker(bool on) {
    setPanelPart(showTracker_, on);
}

void MovieEngine::setEnableTracker(bool on) {
    enableTracker_ = on;
    updateConsole();
}

void MovieEngine::updateConsole() {
    const bool loaded = state_ != kNotLoaded;
    console_->setButtonStates(loaded && state_ != kRunning, state_ == kRunning,
                              state_ == kRunning || state_ == kPaused);
    console_->setTracker(std::max(0, info_.frameCount - 1), position_, loaded && enableTracker_);
    QString text;
    if (opening_)
        text = tr8(texts::kOpening).arg(openPercent_);
    else if (!loaded)
        text = tr8(texts::kNoMovie);
    else if (displayMode_ == kDisplayFrames)
        text = tr8(texts::kFrameDisplay).arg(position_).arg(info_.frameCount);
    else
        text = tr8(texts::kTimeDisplay)
                   .arg(formatSeconds(toUnits(position_)), formatSeconds(Duration()));
    console_->setDisplayText(text);
}

void MovieEngine::showContextMenu(const QPoint& at) {
    const auto actions = contextMenu_->actions();
    actions[0]->setEnabled(state_ != kNotLoaded && state_ != kRunning);
    actions[1]->setEnabled(state_ == kRunning);
    actions[2]->setEnabled(state_ == kRunning || state_ == kPaused);
    contextMenu_->popup(at);
}

void MovieEngine::setFullScreenMode(bool on) {
    fullScreen_ = on;
    if (!on) {
        if (fullScreenView_) fullScreenView_->hide();
        return;
    }
    if (state_ == kNotLoaded) return;
    if (!fullScreenView_)
        fullScreenView_ = std::make_unique<FullScreenView>([this] { setFullScreenMode(false); });
    fullScreenView_->setFrame(renderer_->frameImage());
    fullScreenView_->showFullScreen();
}

// ---- state as bytes ------------------------------------------------------------------------

QByteArray MovieEngine::saveState() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    const bool loaded = state_ != kNotLoaded;
    const Pending start = loaded ? Pending{selStart_ != 0, toUnits(selStart_)} : pendingStart_;
    const Pending end =
        loaded ? Pending{selEnd_ != info_.frameCount - 1, toUnits(selEnd_)} : pendingEnd_;
    const Pending position =
        loaded ? Pending{position_ != 0, toUnits(position_)} : pendingPosition_;
    out << kStateMagic << kStateVersion << fileName_ << qint32(playCount_) << rate_
        << enableContextMenu_ << showDisplay_ << showControls_ << showTracker_ << enableTracker_
        << qint32(displayMode_) << qint32(windowSize_) << fullScreen_ << autoRewind_;
    for (const Pending& p : {start, end, position})
        out << p.set << p.value;
    return bytes;
}

bool MovieEngine::loadState(const QByteArray& state) {
    QDataStream in(state);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0;
    QString name;
    qint32 playCount = 0, displayMode = 0, windowSize = 0;
    double rate = 0.0;
    bool contextMenu = false, display = false, controls = false, tracker = false;
    bool trackerOn = false, fullScreen = false, rewind = false;
    Pending pending[3];
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kStateMagic || version != kStateVersion)
        return false;
    in >> name >> playCount >> rate >> contextMenu >> display >> controls >> tracker >> trackerOn >>
        displayMode >> windowSize >> fullScreen >> rewind;
    for (Pending& p : pending)
        in >> p.set >> p.value;
    if (in.status() != QDataStream::Ok || !in.atEnd() || playCount < 0 || !(rate > 0.0) ||
        !std::isfinite(rate) || (displayMode != kDisplayTime && displayMode != kDisplayFrames) ||
        windowSize < kOriginalSize || windowSize > kHalfScreen)
        return false;
    for (const Pending& p : pending)
        if (!std::isfinite(p.value)) return false;

    setFileName(QString()); // whatever was loaded goes first
    displayMode_ = displayMode;
    playCount_ = playCount;
    rate_ = rate;
    enableContextMenu_ = contextMenu;
    showDisplay_ = display;
    showControls_ = controls;
    showTracker_ = tracker;
    enableTracker_ = trackerOn;
    windowSize_ = windowSize;
    fullScreen_ = fullScreen;
    autoRewind_ = rewind;
    console_->setParts(showControls_, showTracker_, showDisplay_);
    layoutChildren();
    pendingStart_ = pending[0];
    pendingEnd_ = pending[1];
    pendingPosition_ = pending[2];
    if (!name.isEmpty()) setFileName(name);
    updateConsole();
    return true;
}

std::unique_ptr<MovieEngine> MovieEngine::createFromState(const QByteArray& state,
                                                          QWidget* parent) {
    auto engine = std::make_unique<MovieEngine>(parent);
    if (!engine->loadState(state)) return nullptr;
    return engine;
}

} // namespace qxm::engine
