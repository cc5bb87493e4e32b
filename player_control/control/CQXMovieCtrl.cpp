#include "player_control/control/CQXMovieCtrl.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QPainter>

#include <cmath>

#include "platform/engine/ControlConsole.h"
#include "platform/engine/MovieEngine.h"
#include "platform/engine/VideoRenderer.h"
#include "platform/sound/SoundService.h"
#include "player_control/anchors/AnchorText.h"
#include "player_control/control/ControlLogic.h"
#include "player_control/control/QXMovieAutomation.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/pages/QXMovieAboutDlg.h"

namespace qxm::qxmovie {

namespace {

// The private message that clears the movie after a failed open.
const QEvent::Type kUnloadMovieEvent = QEvent::Type(QEvent::User + 0x0B00);

[[noreturn]] void throwTableError(HRESULT code, const strings::TableString& s) {
    throw ComError(code, s.text, s.id, strings::kLibHelpFile, strings::kErrorSource);
}

std::int32_t truncPosition(double v) {
    return truncToInt32(v);
}

} // namespace

void IControlSite::requestNewSize(CQXMovieCtrl& control, QSize size) {
    control.setObjectRect(QRect(control.pos(), size));
}

CQXMovieCtrl::CQXMovieCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName("QXMovieCtrl");
    // Children are painted by themselves; the control itself paints nothing.
    setAttribute(Qt::WA_NoSystemBackground);
    resize(kInitialWidth, kInitialHeight);
    automation_ = makeObject<QXMovieAutomation>(this);
}

CQXMovieCtrl::~CQXMovieCtrl() {
    sound::playSound({}, false, false); // stops a click sound still playing
    cursor_.uninstall();
    anchorTimer_.stop();
    resetAnchorReferences();
    anchors_.Clear();
    shownMenu_.reset();
    destroyEngine();
    if (automation_) automation_->detach();
}

ComPtr<IDispatch> CQXMovieCtrl::dispatch() const {
    return automation_.as<IDispatch>();
}
ComPtr<IEventSource> CQXMovieCtrl::eventSource() const {
    return automation_.as<IEventSource>();
}

void CQXMovieCtrl::fire(DispId id, std::initializer_list<Variant> args) {
    if (automation_) automation_->fire(id, Args(args.begin(), args.size()));
}

// ---- container side ---------------------------------------------------------------------

int CQXMovieCtrl::createControlWindow() {
    if (windowCreated_) return 0;
    if (!state_.MovieFile.empty()) {
        const std::string resolved = ResolveMoviePath(state_.MovieFile);
        if (const int code = anchors_.LoadAnchors(anchorFilePath(resolved)); code != 0) return code;
    }
    if (const int code = CreateEngine(); code != 0) return code;
    windowCreated_ = true;
    return 0;
}

std::string CQXMovieCtrl::anchorReadErrorText() const {
    std::string text = strings::kAnchorDataReadError.text;
    if (state_.MovieFile.empty()) return text;
    text += ": " + anchorFilePath(ResolveMoviePath(state_.MovieFile));
    const AnchorLoadProblem& problem = anchors_.LastProblem();
    if (problem.line != 0)
        text += " line " + std::to_string(problem.line) + ": \"" + problem.text + "\"";
    return text;
}

void CQXMovieCtrl::setObjectRect(const QRect& rect) {
    const bool sameSize = rect.size() == size();
    setGeometry(rect);
    if (sameSize) // no resize event follows: lay out now
        RelayoutChildren(false);
}

void CQXMovieCtrl::resizeEvent(QResizeEvent*) {
    if (engine_) RelayoutChildren(false);
}

void CQXMovieCtrl::closeControl() {
    if (engine_ && movieLoaded()) {
        engine_->Stop();
        clearMovie();
    }
    destroyEngine();
    windowCreated_ = false;
}

void CQXMovieCtrl::closeEvent(QCloseEvent* event) {
    closeControl();
    QWidget::closeEvent(event);
}

bool CQXMovieCtrl::event(QEvent* event) {
    if (event->type() == kUnloadMovieEvent) {
        unloadMovie();
        return true;
    }
    return QWidget::event(event);
}

bool CQXMovieCtrl::userMode() const {
    return site_ ? site_->userMode() : true;
}

void CQXMovieCtrl::propertyChanged(DispId id) {
    if (site_) site_->propertyChanged(id);
}

void CQXMovieCtrl::requestSize(QSize size) {
    if (site_)
        site_->requestNewSize(*this, size);
    else
        IControlSite().requestNewSize(*this, size);
}

// ---- engine -----------------------------------------------------------------------------

int CQXMovieCtrl::CreateEngine() {
    destroyEngine();
    auto first = std::make_unique<engine::MovieEngine>(this);
    first->hide();
    first->setGeometry(rect());
    engine_ = first.get();
    first->setDisplayMode(engine::kDisplayFrames);
    first->setAutoRewind(false);
    first->setEnableContextMenu(false);

    // The stored values go through the setters, which now reach the engine. A persisted value
    // out of range leaves the engine's own setting for that one property.
    auto apply = [](auto&& setter) {
        try {
            setter();
        } catch (const ComError&) {
        }
    };
    apply([&] { setAutoRepeat(state_.AutoRepeat); });
    apply([&] { setPlaybackRate(state_.PlaybackRate); });
    if (first->ShowTracker() != state_.ShowTracker) first->setShowTracker(state_.ShowTracker);
    if (first->ShowControls() != state_.ShowControls) first->setShowControls(state_.ShowControls);
    if (first->ShowDisplay() != state_.ShowDisplay) first->setShowDisplay(state_.ShowDisplay);
    if (first->MovieWindowSize() != state_.MovieWindowSetting)
        apply([&] { setMovieWindowSetting(state_.MovieWindowSetting); });
    if (first->FullScreenMode() != state_.FullScreenMode)
        apply([&] { setFullScreenMode(state_.FullScreenMode); });
    if (!state_.MovieFile.empty()) {
        engineError_ = 0;
        const std::string resolved = ResolveMoviePath(state_.MovieFile);
        if (!resolved.empty()) first->setFileName(QString::fromStdString(resolved));
    }

    // The configured engine is saved whole and made again from those bytes, visible.
    const QByteArray saved = first->saveState();
    const QRect where = first->geometry();
    engine_ = nullptr;
    first.reset();
    engineError_ = 0;
    if (saved.isEmpty()) return ANCHOR_ERR_MEMORY;
    std::unique_ptr<engine::MovieEngine> second = engine::MovieEngine::createFromState(saved, this);
    if (!second) return ANCHOR_ERR_MEMORY;
    second->setGeometry(where);
    second->setProperty("controlId", kEngineControlId);
    engine_ = second.release(); // owned by the control as its child from now on
    connectEngine();
    engine_->show();
    if (state_.MovieFile.empty()) autoSize_ = true;
    return 0;
}

void CQXMovieCtrl::destroyEngine() {
    if (!engine_) return;
    engine::MovieEngine* e = engine_;
    engine_ = nullptr;
    renderer_ = nullptr;
    e->disconnect(this);
    delete e; // a child widget: ends it at once, as destroying its window does
}

void CQXMovieCtrl::connectEngine() {
    engine::MovieEngine* e = engine_;
    connect(e, &engine::MovieEngine::openComplete, this, &CQXMovieCtrl::onOpenComplete);
    connect(e, &engine::MovieEngine::stateChange, this, &CQXMovieCtrl::onStateChange);
    connect(e, &engine::MovieEngine::positionChange, this, &CQXMovieCtrl::onPositionChange);
    connect(e, &engine::MovieEngine::timer, this, &CQXMovieCtrl::onTimer);
    connect(e, &engine::MovieEngine::error, this,
            [this](short code, const QString&, const QString&, bool* cancel) {
                onError(code, cancel);
            });
    connect(e, &engine::MovieEngine::mouseDown, this, &CQXMovieCtrl::onMouseDown);
    connect(e, &engine::MovieEngine::mouseMove, this, &CQXMovieCtrl::onMouseMove);
    connect(e, &engine::MovieEngine::mouseUp, this, &CQXMovieCtrl::onMouseUp);
    connect(e, &engine::MovieEngine::dblClick, this, &CQXMovieCtrl::onDblClick);
    e->setOverlayPainter([this](QPainter& p) { paintAnchorFrame(p); });
}

bool CQXMovieCtrl::movieLoaded() const {
    return !state_.MovieFile.empty() && engine_ && engine_->CurrentState() != engine::kNotLoaded;
}

bool CQXMovieCtrl::engineRunning() const {
    return !state_.MovieFile.empty() && engine_ && engine_->CurrentState() == engine::kRunning;
}

std::string CQXMovieCtrl::ResolveMoviePath(const std::string& path) const {
    return resolveMoviePath(path, site_ ? site_->pageLocation() : std::nullopt);
}

void CQXMovieCtrl::Seek(std::int32_t frame) {
    // A movie that failed to open (or none) has no position to go to.
    if (engine_ && !engine_->setCurrentPosition(double(frame))) throw ComError::code(E_UNEXPECTED);
    setModified();
}

// ---- opening and clearing ---------------------------------------------------------------

void CQXMovieCtrl::openMovie(const std::string& path) {
    autoSize_ = true;
    SelectAnchor({});
    const std::string resolved = ResolveMoviePath(path);
    resetAnchorReferences();
    if (anchors_.LoadAnchors(anchorFilePath(resolved)) != 0)
        throwTableError(controlError(ANCHOR_ERR_FORMAT), strings::kAnchorDataReadError);
    if (!state_.MovieFile.empty()) engine_->setFileName(QString());
    engineError_ = 0;
    engine_->setFileName(QString::fromStdString(resolved));
    state_.MovieFile = resolved;
    propertyChanged(DISPID_MovieFile);
    setModified();
}

void CQXMovieCtrl::clearMovie() {
    autoSize_ = true;
    SelectAnchor({});
    resetAnchorReferences();
    anchors_.Clear();
    if (engine_) engine_->setFileName(QString());
    state_.AnchorFrameOrigin = 0;
    enabledAnchorId_.clear();
    renderer_ = nullptr;
    naturalSize_ = QSize(0, 0);
    imageSourceWidth_ = imageSourceHeight_ = 0;
    state_.SelectionEnd = -1;
    state_.SelectionStart = 0;
    setModified();
    if (engine_) engine_->setEnableTracker(false);
    RelayoutChildren(true);
    anchorNum_ = 0;
    state_.MovieFile.clear();
    propertyChanged(DISPID_MovieFile);
    setModified();
}

void CQXMovieCtrl::unloadMovie() {
    if (engine_) clearMovie();
}

// The anchor list is about to be cleared or read again: nothing may keep pointing into it.
void CQXMovieCtrl::resetAnchorReferences() {
    applyStateChange(selection_.reset());
    applyCursorStep(tracker_.reset(state_.ChangeCursor));
}

void CQXMovieCtrl::onOpenComplete() {
    if (engineError_ != 0) {
        QCoreApplication::postEvent(this, new QEvent(kUnloadMovieEvent));
        return;
    }
    state_.AnchorFrameOrigin = 0;
    enabledAnchorId_.clear();
    renderer_ = engine_->renderer();
    naturalSize_ = renderer_ ? renderer_->frameGeometry().size() : QSize(0, 0);
    imageSourceWidth_ = engine_->ImageSourceWidth();
    imageSourceHeight_ = engine_->ImageSourceHeight();
    state_.SelectionEnd = truncPosition(engine_->SelectionEnd());
    state_.SelectionStart = truncPosition(engine_->SelectionStart());
    setModified();
    engine_->setEnableTracker(true);
    if (autoSize_)
        RelayoutChildren(true);
    else
        RelayoutChildren(false); // the engine sized itself to the movie: back into our extent
    anchorNum_ = anchors_.Count();
    setModified();
    if (userMode() && state_.AutoPlay) Play(-1);
    autoSize_ = true;
    fire(EVENTID_OpenComplete);
}

// ---- engine events ----------------------------------------------------------------------

void CQXMovieCtrl::onStateChange(int oldState, int newState) {
    StopFacts facts;
    if (newState == engine::kStopped && movieLoaded()) {
        facts.movieLoaded = true;
        facts.position = truncPosition(engine_->CurrentPosition());
        facts.duration = truncPosition(engine_->Duration());
        facts.selectionEnd = state_.SelectionEnd;
        if (state_.AutoRewind) Seek(state_.SelectionStart);
    }
    switch (stateEventFor(newState, facts)) {
    case StateEvent::MovieStart:
        fire(EVENTID_OnMovieStart);
        break;
    case StateEvent::MovieStop:
        fire(EVENTID_OnMovieStop);
        break;
    case StateEvent::MovieFinish:
        fire(EVENTID_OnMovieFinish);
        break;
    case StateEvent::None:
        break;
    }
    fire(EVENTID_OnStateChange, {Variant(std::int32_t(oldState)), Variant(std::int32_t(newState))});
}

void CQXMovieCtrl::onPositionChange(double oldPosition, double newPosition) {
    const std::int32_t n = truncPosition(newPosition);
    const std::int32_t clamped = clampToSelection(n, state_.SelectionStart, state_.SelectionEnd);
    if (clamped != n) Seek(clamped);
    fire(EVENTID_OnPositionChange, {Variant(truncPosition(oldPosition)), Variant(clamped)});
}

void CQXMovieCtrl::onTimer() {
    cursorCheckAtCursor();
    fire(EVENTID_OnTimer);
}

void CQXMovieCtrl::onError(short code, bool* cancelDisplay) {
    if (code == kIgnoredEngineError) return;
    engineError_ = code;
    if (cancelDisplay) *cancelDisplay = true;
    fire(EVENTID_OnError, {Variant(std::int32_t(code))});
}

bool CQXMovieCtrl::overRenderer(int x, int y) const {
    return renderer_ && renderer_->isVisible() && renderer_->rect().contains(x, y);
}

void CQXMovieCtrl::onMouseDown(short button, short shift, int x, int y) {
    if (!overRenderer(x, y)) return;
    lastButton_ = button;
    lastShift_ = shift;
    lastPoint_ = windowToPicture({x, y}, scaleNow());
    const AnchorRef hit = hitTestWithEnabled(anchors_, anchorFrameNow(), lastPoint_,
                                             enabledAnchorId_, selectedAnchor());
    if (hit) {
        if (engine_) engine_->Pause();
        SelectAnchor(hit);
        if (state_.ClickSound) sound::playSound(state_.SoundFile, true, true);
    } else {
        SelectAnchor({});
    }
    const AnchorRef selected = selectedAnchor();
    if ((button & engine::kLeftButton) && state_.ActivateMethod == 0 && selected)
        fire(EVENTID_OnActivateAnchor, {Variant(anchors_.Record(selected)->id)});
    fire(EVENTID_MouseDown,
         {Variant(button), Variant(shift), Variant(std::int32_t(x)), Variant(std::int32_t(y))});
}

void CQXMovieCtrl::onMouseMove(short button, short shift, int x, int y) {
    if (!overRenderer(x, y)) return;
    TrackCursor(x, y);
    fire(EVENTID_MouseMove,
         {Variant(button), Variant(shift), Variant(std::int32_t(x)), Variant(std::int32_t(y))});
}

void CQXMovieCtrl::onMouseUp(short button, short shift, int x, int y) {
    if (!overRenderer(x, y)) return;
    QPointer<CQXMovieCtrl> self(this);
    if ((lastButton_ & engine::kRightButton) && state_.EnableContextMenu) {
        shownMenu_ = buildContextMenu();
        shownMenu_->popup(mapToGlobal(QPoint(x, y)));
    }
    if (self)
        fire(EVENTID_MouseUp,
             {Variant(button), Variant(shift), Variant(std::int32_t(x)), Variant(std::int32_t(y))});
}

void CQXMovieCtrl::onDblClick() {
    if (!renderer_) return;
    const AnchorRef selected = selectedAnchor();
    if ((lastButton_ & engine::kLeftButton) && state_.ActivateMethod == 1 && selected)
        fire(EVENTID_OnActivateAnchor, {Variant(anchors_.Record(selected)->id)});
}

// ---- anchors: selection, frame, cursor --------------------------------------------------

std::int32_t CQXMovieCtrl::anchorFrameNow() const {
    const double position = engine_ ? engine_->CurrentPosition() : 0.0;
    return anchorFrameAt(position, state_.AnchorFrameOrigin);
}

ScaleFactors CQXMovieCtrl::scaleNow() const {
    std::optional<PixelSize> window;
    if (renderer_)
        window = PixelSize{renderer_->frameGeometry().width(), renderer_->frameGeometry().height()};
    return anchorScaleFactors({imageSourceWidth_, imageSourceHeight_}, window);
}

AnchorRef CQXMovieCtrl::hitTestAt(int x, int y) const {
    return hitTestWithEnabled(anchors_, anchorFrameNow(), windowToPicture({x, y}, scaleNow()),
                              enabledAnchorId_, selectedAnchor());
}

void CQXMovieCtrl::SelectAnchor(AnchorRef anchor) {
    applyStateChange(selection_.select(anchors_, anchor));
}

void CQXMovieCtrl::applyStateChange(SelectionChange change) {
    if (!change.changed) return;
    if (change.stopTimer) {
        anchorTimer_.stop();
        if (renderer_) renderer_->repaint(); // erases a drawn frame
    }
    if (change.startTimer) {
        if (renderer_) renderer_->repaint(); // draws the frame through the overlay
        anchorTimer_.start(kAnchorTimerMs, this);
    }
}

void CQXMovieCtrl::paintAnchorFrame(QPainter& painter) {
    if (!state_.ShowAnchor || engineRunning() || !renderer_) return;
    const auto rect =
        selectedFrameInWindow(anchors_, selectedAnchor(), anchorFrameNow(), scaleNow());
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return;
    // A one-pixel frame on the rectangle's inside edges, right and bottom excluded.
    const QColor red(255, 0, 0);
    const int l = rect->left, t = rect->top, w = rect->right - rect->left,
              h = rect->bottom - rect->top;
    painter.fillRect(QRect(l, t, w, 1), red);
    painter.fillRect(QRect(l, t + h - 1, w, 1), red);
    painter.fillRect(QRect(l, t, 1, h), red);
    painter.fillRect(QRect(l + w - 1, t, 1, h), red);
}

void CQXMovieCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() != anchorTimer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (state_.ShowAnchor && selectedAnchor() && !engineRunning() && renderer_) renderer_->update();
    cursorCheckAtCursor();
}

void CQXMovieCtrl::cursorCheckAtCursor() {
    if (!renderer_) return;
    const QPoint p = renderer_->mapFromGlobal(QCursor::pos());
    TrackCursor(p.x(), p.y());
}

void CQXMovieCtrl::TrackCursor(int x, int y) {
    applyCursorStep(tracker_.track(anchors_, hitTestAt(x, y), state_.ChangeCursor));
}

void CQXMovieCtrl::applyCursorStep(const CursorStep& step) {
    if (step.cursorOutId) fire(EVENTID_OnCursorOut, {Variant(*step.cursorOutId)});
    if (step.cursorInId) fire(EVENTID_OnCursorIn, {Variant(*step.cursorInId)});
    if (!renderer_) return;
    if (step.cursor == CursorChange::InstallAnchorCursor) {
        if (!cursorLoaded_) {
            cursor_.load(state_.CursorFile);
            cursorLoaded_ = true;
        }
        if (cursor_.installedOn() != renderer_) cursor_.install(renderer_);
    } else if (step.cursor == CursorChange::RestoreClassCursor) {
        cursor_.uninstall();
        renderer_->setCursor(engine_ ? engine_->cursor() : QCursor(Qt::ArrowCursor));
    }
}

// ---- properties ---------------------------------------------------------------------------

void CQXMovieCtrl::throwInvalidValue() const {
    throwTableError(CTL_E_INVALIDPROPERTYVALUE, strings::kInvalidPropertyValue);
}

void CQXMovieCtrl::requireAccepted(DispId id, std::int32_t v) const {
    if (!findControlProperty(id)->accepts(v)) throwInvalidValue();
}

namespace {

using C = CQXMovieCtrl;

// The setters of the properties whose setting does more than store the value.
using Effect =
    std::variant<void (C::*)(bool), void (C::*)(std::int32_t), void (C::*)(const std::string&)>;
struct PropertyEffect {
    DispId id;
    Effect set;
};
const PropertyEffect kPropertyEffects[] = {
    {DISPID_AutoRepeat, &C::setAutoRepeat},
    {DISPID_MovieFile, &C::setMovieFile},
    {DISPID_MovieWindowSetting, &C::setMovieWindowSetting},
    {DISPID_ShowControls, &C::setShowControls},
    {DISPID_ShowDisplay, &C::setShowDisplay},
    {DISPID_ShowTracker, &C::setShowTracker},
    {DISPID_SelectionEnd, &C::setSelectionEnd},
    {DISPID_SelectionStart, &C::setSelectionStart},
    {DISPID_FullScreenMode, &C::setFullScreenMode},
    {DISPID_CursorFile, &C::setCursorFile},
    {DISPID_ShowAnchor, &C::setShowAnchor},
    {DISPID_CurrentPosition, &C::setCurrentPosition},
    {DISPID_PlaybackRate, &C::setPlaybackRate},
    {DISPID_AnchorFrameOrigin, &C::setAnchorFrameOrigin},
};

// The properties the control works out instead of keeping them in its state.
struct WorkedOutValue {
    DispId id;
    std::int32_t (C::*get)() const;
};
const WorkedOutValue kWorkedOutValues[] = {
    {DISPID_AnchorNum, &C::AnchorNum},
    {DISPID_CurrentPosition, &C::CurrentPosition},
    {DISPID_ImageSourceHeight, &C::ImageSourceHeight},
    {DISPID_ImageSourceWidth, &C::ImageSourceWidth},
    {DISPID_Duration, &C::Duration},
};

} // namespace

Variant CQXMovieCtrl::property(const PropertyDescriptor& p) const {
    for (const WorkedOutValue& w : kWorkedOutValues)
        if (w.id == p.id) return Variant((this->*w.get)());
    return std::visit(
        [this](auto m) {
            if constexpr (std::is_same_v<decltype(m), std::monostate>)
                return Variant(); // every property outside the state has its getter above
            else
                return Variant(state_.*m);
        },
        p.member);
}

void CQXMovieCtrl::setProperty(const PropertyDescriptor& p, const Variant& value) {
    for (const PropertyEffect& e : kPropertyEffects) {
        if (e.id != p.id) continue;
        std::visit(
            [&](auto set) {
                using Set = decltype(set);
                if constexpr (std::is_same_v<Set, void (C::*)(bool)>)
                    (this->*set)(value.asBool());
                else if constexpr (std::is_same_v<Set, void (C::*)(std::int32_t)>)
                    (this->*set)(value.asI4());
                else
                    (this->*set)(value.asString());
            },
            e.set);
        return;
    }
    std::visit(
        [&](auto m) {
            using M = decltype(m);
            if constexpr (std::is_same_v<M, bool QXMovieState::*>) {
                state_.*m = value.asBool();
            } else if constexpr (std::is_same_v<M, std::int32_t QXMovieState::*>) {
                const std::int32_t v = value.asI4();
                if (!p.accepts(v)) throwInvalidValue();
                state_.*m = v;
            } else if constexpr (std::is_same_v<M, std::string QXMovieState::*>) {
                state_.*m = value.asString();
            } else {
                throw ComError::code(DISP_E_MEMBERNOTFOUND); // a value the control works out
            }
        },
        p.member);
    setModified();
}

void CQXMovieCtrl::setAutoRepeat(bool v) {
    state_.AutoRepeat = v;
    if (engine_) engine_->setPlayCount(v ? 0 : 1);
    setModified();
}

void CQXMovieCtrl::setMovieFile(const std::string& v) {
    if (!engine_) {
        state_.MovieFile = v;
        propertyChanged(DISPID_MovieFile);
        setModified();
        return;
    }
    if (v.empty())
        clearMovie();
    else
        openMovie(v);
}

void CQXMovieCtrl::setMovieWindowSetting(std::int32_t v) {
    requireAccepted(DISPID_MovieWindowSetting, v);
    state_.MovieWindowSetting = v;
    if (engine_) {
        engine_->setFullScreenMode(false);
        engine_->setMovieWindowSize(v);
        RelayoutChildren(autoSize_);
    }
    setModified();
}

void CQXMovieCtrl::setShowControls(bool v) {
    state_.ShowControls = v;
    if (engine_) {
        engine_->setShowControls(v);
        RelayoutChildren(true);
    }
    setModified();
}

void CQXMovieCtrl::setShowDisplay(bool v) {
    state_.ShowDisplay = v;
    if (engine_) {
        engine_->setShowDisplay(v);
        RelayoutChildren(true);
    }
    setModified();
}

void CQXMovieCtrl::setShowTracker(bool v) {
    state_.ShowTracker = v;
    if (engine_) engine_->setShowTracker(v);
    setModified();
}

void CQXMovieCtrl::setSelectionEnd(std::int32_t v) {
    const std::int32_t d = engine_ ? truncPosition(engine_->Duration()) : -1;
    if (d < 0 || v < state_.SelectionStart || v > d) throwInvalidValue();
    if (engine_) engine_->setSelectionEnd(double(v));
    state_.SelectionEnd = v;
    setModified();
}

void CQXMovieCtrl::setSelectionStart(std::int32_t v) {
    const std::int32_t d = engine_ ? truncPosition(engine_->Duration()) : -1;
    if (d < 0 || v < 0 || v > state_.SelectionEnd) throwInvalidValue();
    if (engine_) engine_->setSelectionStart(double(v));
    state_.SelectionStart = v;
    Seek(v);
    setModified();
}

void CQXMovieCtrl::setFullScreenMode(bool v) {
    state_.FullScreenMode = v;
    if (engine_) engine_->setFullScreenMode(v);
    setModified();
}

void CQXMovieCtrl::setCursorFile(const std::string& v) {
    state_.CursorFile = v;
    cursorLoaded_ = false; // the next use reads the new file
    propertyChanged(DISPID_CursorFile);
    setModified();
}

void CQXMovieCtrl::setShowAnchor(bool v) {
    state_.ShowAnchor = v;
    if (renderer_) renderer_->repaint();
    setModified();
}

std::int32_t CQXMovieCtrl::CurrentPosition() const {
    if (!engine_) throw ComError::code(E_UNEXPECTED);
    return truncPosition(engine_->CurrentPosition());
}

std::int32_t CQXMovieCtrl::Duration() const {
    if (!engine_) throw ComError::code(E_UNEXPECTED);
    return truncPosition(engine_->Duration());
}

void CQXMovieCtrl::setPlaybackRate(std::int32_t v) {
    requireAccepted(DISPID_PlaybackRate, v);
    // The rate of each PlaybackRate value: normal, double, half speed.
    static constexpr double kRates[] = {1.0, 2.0, 0.5};
    state_.PlaybackRate = v;
    if (engine_) engine_->setRate(kRates[v]);
    setModified();
}

void CQXMovieCtrl::setAnchorFrameOrigin(std::int32_t v) {
    state_.AnchorFrameOrigin = v;
    SelectAnchor({});
    setModified();
}

// ---- methods ------------------------------------------------------------------------------

void CQXMovieCtrl::Play(std::int32_t frameNo) {
    if (frameNo >= 0) Seek(frameNo);
    if (engine_) engine_->Run();
}

void CQXMovieCtrl::Stop() {
    if (engine_) engine_->Stop();
}

void CQXMovieCtrl::Pause() {
    if (engine_) engine_->Pause();
}

bool CQXMovieCtrl::EnableAnchor(const std::string& anchorId) {
    if (anchorId.empty()) {
        enabledAnchorId_.clear();
        return true;
    }
    if (!movieLoaded()) return false;
    const AnchorRef record = anchors_.Find(anchorId);
    if (!record) return false;
    enabledAnchorId_ = anchorId;
    Pause();
    SelectAnchor(record);
    std::int32_t start = 0, end = 0;
    anchors_.Range(record, start, end);
    Seek(start + state_.AnchorFrameOrigin);
    return true;
}

std::string CQXMovieCtrl::AnchorID(std::int32_t index) const {
    if (index < 0 || index >= anchors_.Count())
        throwTableError(CTL_E_INVALIDPROPERTYARRAYINDEX, strings::kInvalidPropertyArrayIndex);
    return anchors_.ID(index);
}

std::string CQXMovieCtrl::AnchorName(std::int32_t index) const {
    if (index < 0 || index >= anchors_.Count())
        throwTableError(CTL_E_INVALIDPROPERTYARRAYINDEX, strings::kInvalidPropertyArrayIndex);
    return anchors_.Name(index);
}

void CQXMovieCtrl::AboutBox() {
    showAboutBox(this);
}

// ---- layout -------------------------------------------------------------------------------

void CQXMovieCtrl::RelayoutChildren(bool autoSize) {
    if (!engine_) return;
    if (autoSize) {
        naturalSize_ = renderer_ ? renderer_->frameGeometry().size() : QSize(0, 0);
        requestSize(engine_->frameGeometry().size());
        return;
    }
    const QRect client = rect();
    if (userMode()) {
        engine::ControlConsole* console = engine_->console();
        LayoutInput in;
        in.clientWidth = client.width();
        in.clientHeight = client.height();
        if (console && console->isVisibleTo(engine_)) in.consoleHeight = console->height();
        in.hasRenderer = renderer_ != nullptr;
        in.naturalWidth = naturalSize_.width();
        in.naturalHeight = naturalSize_.height();
        const LayoutResult out = layoutInUserMode(in);
        auto apply = [&] {
            if (out.console)
                console->setGeometry(out.console->x, out.console->y, out.console->width,
                                     std::max(0, out.console->height));
            if (out.renderer && renderer_) {
                renderer_->setUpdatesEnabled(false); // moved without repainting
                renderer_->setGeometry(out.renderer->x, out.renderer->y,
                                       std::max(0, out.renderer->width),
                                       std::max(0, out.renderer->height));
                renderer_->setUpdatesEnabled(true);
            }
        };
        apply();
        engine_->setGeometry(0, 0, client.width(), client.height());
        apply(); // the engine may have arranged its children itself on the resize
    } else {
        engine_->setGeometry(0, 0, client.width(), client.height());
    }
    engine_->update();
}

// ---- context menu -------------------------------------------------------------------------

std::unique_ptr<QMenu> CQXMovieCtrl::buildContextMenu() {
    namespace s = strings;
    auto menu = std::make_unique<QMenu>();
    QPointer<CQXMovieCtrl> self(this);
    auto add = [&](const char* text, int id, bool enabled, std::optional<bool> checked) {
        QAction* a = menu->addAction(QString::fromUtf8(text));
        a->setData(id);
        a->setEnabled(enabled);
        if (checked) {
            a->setCheckable(true);
            a->setChecked(*checked);
        }
        QObject::connect(a, &QAction::triggered, this, [self, id] {
            if (self) self->runMenuCommand(id);
        });
    };
    const std::int32_t st = engine_ ? engine_->CurrentState() : engine::kNotLoaded;
    const bool running = engineRunning();
    const bool paused = !state_.MovieFile.empty() && st == engine::kPaused;
    add(s::kMenuPlay, ID_MENU_PLAY, movieLoaded() && !running, std::nullopt);
    add(s::kMenuPause, ID_MENU_PAUSE, running, std::nullopt);
    add(s::kMenuStop, ID_MENU_STOP, running || paused, std::nullopt);
    menu->addSeparator();
    add(s::kMenuControls, ID_MENU_CONTROLS, true, state_.ShowControls);
    menu->addSeparator();
    add(s::kMenuAnchor, ID_MENU_ANCHOR, true, state_.ShowAnchor);
    add(s::kMenuCursor, ID_MENU_CURSOR, true, state_.ChangeCursor);
    menu->addSeparator();
    add(s::kMenuProperties, ID_MENU_PROPERTIES, true, std::nullopt);
    menu->addSeparator();
    add(s::kMenuAbout, ID_MENU_ABOUT, true, std::nullopt);
    return menu;
}

void CQXMovieCtrl::runMenuCommand(int commandId) {
    switch (commandId) {
    case ID_MENU_PLAY:
        Play(-1);
        break;
    case ID_MENU_PAUSE:
        Pause();
        break;
    case ID_MENU_STOP:
        Stop();
        break;
    case ID_MENU_CONTROLS:
        setShowControls(!state_.ShowControls);
        break;
    case ID_MENU_ANCHOR:
        setShowAnchor(!state_.ShowAnchor);
        break;
    case ID_MENU_CURSOR:
        setProperty(*findControlProperty(DISPID_ChangeCursor), Variant(!state_.ChangeCursor));
        break;
    case ID_MENU_PROPERTIES:
        if (site_) site_->showProperties(*this);
        break;
    case ID_MENU_ABOUT:
        AboutBox();
        break;
    default:
        break;
    }
}

} // namespace qxm::qxmovie
