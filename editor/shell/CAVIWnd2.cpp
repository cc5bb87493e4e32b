#include "editor/shell/CAVIWnd2.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

#include "editor/anchors/MovieObjectFile.h"
#include "editor/shell/EditorTexts.h"
#include "editor/shell/MovieGeometry.h"
#include "platform/codepage/CodePage.h"
#include "platform/prompter/Prompter.h"
#include "player_control/definitions/QXMovieIds.h"

namespace qxm::editor {

namespace ids = qxm::qxmovie;

namespace {

constexpr int kMovieWindowId = 100;
constexpr int kFrameWidth = 2; // the sunken frame around the picture, on each side

void message(const char* what) {
    prompt(what, text::kProgramTitle, Buttons::Ok, Icon::Warning);
}

bool endsWithMob(const std::string& path) {
    return path.size() >= 4 &&
           codepage::equalsIgnoreAsciiCase(std::string_view(path).substr(path.size() - 4), ".mob");
}

} // namespace

CAVIWnd2::CAVIWnd2() {
    setObjectName(QString::number(kMovieWindowId));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CAVIWnd2::~CAVIWnd2() {
    Control.Destroy();
}

int CAVIWnd2::Create(QWidget* parent, int fitMode, int border, std::string* why) {
    Border = border;
    FitMode = fitMode;
    setParent(parent);
    const QRect inside =
        parent ? parent->rect().adjusted(border, border, -border, -border) : QRect(0, 0, 0, 0);
    setGeometry(inside);
    show();
    Control.setEventHandler([this](DispId id, Args args) { onControlEvent(id, args); });
    if (!Control.Create(this, rect().adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth),
                        why))
        return 1;
    try {
        Control.SetShowAnchor(false);
        Control.SetChangeCursor(false);
        Control.SetEnableContextMenu(false);
        Control.SetShowControls(false);
    } catch (const AutomationError& e) {
        if (why) *why = e.what();
        Control.Destroy();
        return 1;
    }
    SetPlayState(kStateNoMovie);
    return 0;
}

bool CAVIWnd2::CheckFileName(const std::string& name, bool inMob) {
    const FileNameCheck check = CheckFileNameRule(name, inMob);
    Trackable = check.trackable;
    if (!check.valid) message(check.message);
    return check.valid;
}

void CAVIWnd2::setOpenResult(int result) {
    OpenResult = result;
    if (openWait_) openWait_->quit();
}

void CAVIWnd2::OpenCompleted() {
    setOpenResult(1);
}
void CAVIWnd2::OpenFailed(int) {
    setOpenResult(2);
}

int CAVIWnd2::Open(const std::string& requested) {
    if (!Control.created()) return kMovieFailed;
    if (Loaded) Close(true);
    if (!CheckFileName(requested, false)) return kMovieFailed;

    std::string path = requested;
    FromMob = false;
    int32_t mobStart = 0, mobEnd = 0;
    if (endsWithMob(path)) {
        const auto mob = anchors::ReadMovieObjectFile(path);
        if (!mob) return kMovieFailed;
        if (mob->StartFrame >= mob->EndFrame) {
            message(text::kBadFrameRange);
            return kMovieFailed;
        }
        path = mob->MoviePath;
        Trackable = CheckFileNameRule(path, true).trackable;
        mobStart = mob->StartFrame;
        mobEnd = mob->EndFrame;
        FromMob = true;
    }

    OpenResult = 0;
    try {
        Control.SetMovieFile(path);
        QEventLoop wait;
        openWait_ = &wait;
        if (OpenResult == 0) wait.exec();
        openWait_ = nullptr;
    } catch (const AutomationError&) {
        openWait_ = nullptr;
        message(text::kAnchorReadError);
        return kMovieException;
    }
    if (OpenResult != 1) {
        message(text::kCannotOpen);
        return OpenResult;
    }

    Loaded = true;
    MoviePath = path;
    try {
        ImageWidth = Control.GetImageSourceWidth();
        ImageHeight = Control.GetImageSourceHeight();
        Duration = Control.GetDuration();
        findRenderer();
        if (FromMob) {
            if (mobStart > Duration - 1 || mobStart >= mobEnd) {
                message(text::kBadFrameRange);
                Close(true);
                return kMovieFailed;
            }
            mobEnd = std::min(mobEnd, Duration - 1);
            First = 0;
            Last = mobEnd - mobStart;
            Origin = mobStart;
            OriginEnd = mobEnd;
        } else {
            First = 0;
            Last = Duration - 1;
            Origin = 0;
            OriginEnd = Duration - 1;
        }
        // The control's anchor frames count from the same frame as the editor's.
        Control.SetAnchorFrameOrigin(Origin);
        Control.SetSelectionEnd(Origin + Last);
        Control.SetSelectionStart(Origin + First);
    } catch (const AutomationError&) {
        message(text::kCannotOpen);
        Close(true);
        return kMovieFailed;
    }
    placeWindow();
    if (const int r = GoTo(GoToKind::First); r != kMovieOk) {
        Close(true);
        return r;
    }
    return kMovieOk;
}

int CAVIWnd2::Close(bool shrink) {
    if (!Loaded) return kMovieOk;
    try {
        Control.SetMovieFile(std::string());
    } catch (const AutomationError&) {
        // the movie is gone from the editor's side whatever the control says
    }
    Loaded = false;
    Renderer = nullptr;
    SetPlayState(kStateNoMovie);
    if (shrink && PlayState_ != kStateCreated) setGeometry(Border, Border, 0, 0);
    return kMovieOk;
}

void CAVIWnd2::findRenderer() {
    Renderer = nullptr;
    QWidget* control = Control.window();
    if (!control) return;
    auto* engine = control->findChild<QWidget*>("ActiveMovieWndClass", Qt::FindDirectChildrenOnly);
    if (engine) Renderer = engine->findChild<QWidget*>("VideoRenderer", Qt::FindDirectChildrenOnly);
}

void CAVIWnd2::Scales(double& x, double& y) const {
    if (!Renderer || Renderer->width() <= 0 || Renderer->height() <= 0) {
        x = y = 1.0;
        return;
    }
    x = double(ImageWidth) / Renderer->width();
    y = double(ImageHeight) / Renderer->height();
}

void CAVIWnd2::placeWindow() {
    QWidget* parent = parentWidget();
    if (!parent) return;
    if (FitMode != 1) {
        QWidget* control = Control.window();
        move(Border, Border);
        if (control) resize(control->size());
        return;
    }
    double s = 1.0, unused = 1.0;
    Scales(s, unused);
    const PlacedRect r =
        FitMovieWindow(parent->width(), parent->height(), Border, s, ImageWidth, ImageHeight);
    setUpdatesEnabled(false);
    setGeometry(r.left, r.top, r.width, r.height);
    setUpdatesEnabled(true);
    Control.setGeometry(rect().adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth));
    update();
}

// One control call for an operation: kMovieFailed without a movie or when the call fails.
template <class Call> int CAVIWnd2::withMovie(Call call) {
    if (!Loaded) return kMovieFailed;
    try {
        call();
    } catch (const AutomationError&) {
        return kMovieFailed;
    }
    return kMovieOk;
}

int CAVIWnd2::GoTo(GoToKind kind, int32_t frame) {
    return withMovie([&] {
        Control.Pause();
        const int32_t target = kind == GoToKind::First  ? First
                               : kind == GoToKind::Last ? Last
                                                        : ClampToRange(frame, First, Last);
        SetPlayState(kStatePositioning);
        Control.SetCurrentPosition(Origin + target);
        SetPlayState(kStateStopped);
    });
}

int CAVIWnd2::Step(bool backward, int32_t n) {
    return withMovie([&] {
        Control.Pause();
        const int32_t c = CurrentFrame();
        const int32_t d = StepDistance(c, n, backward, First, Last);
        if (d == 0) return;
        SetPlayState(kStateRunning);
        Control.SetCurrentPosition(Origin + (backward ? c - d : c + d));
        SetPlayState(kStateStopped);
    });
}

int CAVIWnd2::Play(int32_t frame) {
    return withMovie([&] { Control.Play(frame); });
}

int CAVIWnd2::Pause() {
    return withMovie([&] { Control.Pause(); });
}

int CAVIWnd2::Stop() {
    return withMovie([&] { Control.Stop(); });
}

int32_t CAVIWnd2::CurrentFrame() {
    if (!Loaded) return kMovieFailed;
    int32_t f = Control.GetCurrentPosition();
    if (FromMob) f = std::max(0, f - Origin);
    return f;
}

int32_t CAVIWnd2::FrameCount() const {
    if (!Loaded) return kMovieFailed;
    return OriginEnd - Origin + 1;
}

bool CAVIWnd2::ImageSize(int& width, int& height) {
    if (!Loaded) return false;
    try {
        width = Control.GetImageSourceWidth();
        height = Control.GetImageSourceHeight();
    } catch (const AutomationError&) {
        return false;
    }
    return width > 0 && height > 0;
}

void CAVIWnd2::onControlEvent(DispId id, Args args) {
    auto arg = [&](std::size_t i) { return i < args.size() ? args[i].asI4() : 0; };
    auto frameNow = [this] {
        try {
            SetCurrentFrame(CurrentFrame());
        } catch (const AutomationError&) {
        }
    };
    switch (id) {
    case ids::EVENTID_OnStateChange:
        switch (arg(1)) {
        case -1:
            SetPlayState(kStateNoMovie);
            break;
        case 0:
            SetPlayState(kStateStopped);
            if (Loaded) frameNow();
            break;
        case 1:
            SetPlayState(kStatePaused);
            if (Loaded) frameNow();
            break;
        case 2:
            SetPlayState(kStateRunning);
            break;
        default:
            break;
        }
        break;
    case ids::EVENTID_OnPositionChange:
    case ids::EVENTID_OnTimer:
        if (Loaded) frameNow();
        break;
    case ids::EVENTID_OpenComplete:
        OpenCompleted();
        break;
    case ids::EVENTID_OnError:
        OpenFailed(arg(0));
        break;
    case ids::EVENTID_OnMovieFinish:
        MovieFinished();
        break;
    case ids::EVENTID_MouseDown:
    case ids::EVENTID_MouseUp:
    case ids::EVENTID_MouseMove: {
        const bool left = arg(0) == 1;
        const int x = arg(2), y = arg(3);
        // Posted, as the control's window messages were: handled after the event returns.
        QMetaObject::invokeMethod(
            this,
            [this, id, left, x, y] {
                if (id == ids::EVENTID_MouseMove)
                    MouseMoved(x, y);
                else if (id == ids::EVENTID_MouseDown)
                    left ? LeftButtonDown(x, y) : RightButtonDown(x, y);
                else
                    left ? LeftButtonUp(x, y) : RightButtonUp(x, y);
            },
            Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
}

void CAVIWnd2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = 1;
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
}

void CAVIWnd2::closeEvent(QCloseEvent* event) {
    if (Loaded) Close(false);
    QWidget::closeEvent(event);
}

} // namespace qxm::editor
