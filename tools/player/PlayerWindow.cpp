#include "tools/player/PlayerWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "editor/anchors/MovieObjectFile.h"
#include "editor/view/PlayerLink.h"
#include "platform/prompter/Prompter.h"
#include "platform/ui/SystemText.h"
#include "player_control/definitions/QXMovieIds.h"
#include "tools/player/PlayerTexts.h"

namespace qxm::player {

namespace ids = qxm::qxmovie;
namespace link = editor::link;

namespace {

constexpr QSize kStartSize(480, 400);
constexpr int kRetryMs = 100;
constexpr int kOpenWaitMs = 30000; // for the opens under way before Edit in Movie Marquill

void message(const QString& text) {
    prompt(ui::toSystem(text), text::kTitle, Buttons::Ok, Icon::Warning);
}

// Dispatches events for ms milliseconds.
void nap(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString qs(const char* text) {
    return QString::fromUtf8(text);
}

// The area that holds the control's window; the control follows its size.
class Stage : public QWidget {
public:
    std::function<void()> resized;
    QSize sizeHint() const override { return kStartSize; }

protected:
    void resizeEvent(QResizeEvent*) override {
        if (resized) resized();
    }
};

} // namespace

PlayerWindow::PlayerWindow(std::string option) : option_(std::move(option)) {
    setWindowTitle(qs(text::kTitle));
    auto* stage = new Stage;
    stage->resized = [this] { control_.setGeometry(stage_->rect()); };
    stage_ = stage;
    setCentralWidget(stage_);

    QMenu* file = menuBar()->addMenu(qs(text::kFileMenu));
    file->addAction(qs(text::kOpen), QKeySequence::Open, this, [this] { chooseFile(); });
    file->addAction(qs(text::kEdit), QKeySequence(Qt::CTRL | Qt::Key_E), this,
                    [this] { editInMarquill(); });
    file->addSeparator();
    file->addAction(qs(text::kExit), QKeySequence::Quit, this, [this] { close(); });
    QMenu* view = menuBar()->addMenu(qs(text::kViewMenu));
    view->addAction(qs(text::kFullScreen), QKeySequence(Qt::Key_F11), this,
                    [this] { setFullScreen(true); });
    // Esc leaves full screen from any window of the player (the full-screen picture is one).
    leaveFullScreen_ = new QAction(this);
    leaveFullScreen_->setShortcut(Qt::Key_Escape);
    leaveFullScreen_->setShortcutContext(Qt::ApplicationShortcut);
    leaveFullScreen_->setEnabled(false);
    connect(leaveFullScreen_, &QAction::triggered, this, [this] { setFullScreen(false); });
    addAction(leaveFullScreen_);

    statusLine_ = new QLabel(qs(text::kReady));
    statusBar()->addWidget(statusLine_, 1);
    server_.setMaxExecuteData(kMaxLinkMessage);
}

PlayerWindow::~PlayerWindow() {
    server_.stop();
    control_.Destroy();
}

bool PlayerWindow::startLink(QString* error) {
    return server_.start(
        qs(link::kPlayerService), {qs(link::kTopic), qs(kSystemTopic)},
        [this](const QString& topic, const QByteArray& data) { return onLink(topic, data); },
        error);
}

bool PlayerWindow::createControl() {
    control_.setEventHandler([this](DispId id, Args args) { onEvent(id, args); });
    bool created = control_.Create(stage_, stage_->rect());
    if (created) {
        try {
            control_.SetShowControls(true);
            control_.SetShowAnchor(true);
            control_.SetChangeCursor(true);
            control_.SetEnableContextMenu(true);
        } catch (const editor::AutomationError&) {
            created = false;
        }
    }
    if (!created) message(qs(text::kNoControl));
    return created;
}

void PlayerWindow::openFile(std::string path, std::string anchorId) {
    queue_.push_back({std::move(path), std::move(anchorId), std::nullopt});
    if (!opening_) QTimer::singleShot(0, this, [this] { startNextOpen(); });
}

// Gives the control the next file's movie; the open ends in finishOpen when the control reports
// the movie open or failed.
void PlayerWindow::startNextOpen() {
    while (!opening_ && !queue_.empty()) {
        Open next = std::move(queue_.front());
        queue_.pop_front();
        path_.clear();
        anchorId_.clear();
        std::string movie = next.path;
        if (ui::fromSystem(next.path).endsWith(QStringLiteral(".mob"), Qt::CaseInsensitive)) {
            next.mob = anchors::ReadMovieObjectFile(next.path); // tells what is wrong inside
            if (!next.mob) {
                if (!QFileInfo::exists(ui::fromSystem(next.path))) message(qs(text::kCannotOpen));
                continue;
            }
            movie = next.mob->MoviePath;
        }
        opening_ = std::move(next);
        try {
            control_.SetMovieFile(movie);
        } catch (const editor::AutomationError& e) {
            opening_.reset();
            message(QString::fromUtf8(e.what()));
        }
    }
}

void PlayerWindow::finishOpen(bool opened) {
    if (!opening_) return;
    const Open open = std::move(*opening_);
    opening_.reset();
    // Whatever happens below, the next file waiting comes after it.
    QTimer::singleShot(0, this, [this] { startNextOpen(); });
    if (!opened) {
        message(qs(text::kCannotOpen));
        return;
    }
    try {
        if (open.mob) {
            // The anchors of a Movie Object File count from its first frame.
            const int32_t last = std::min(open.mob->EndFrame, control_.GetDuration() - 1);
            if (open.mob->StartFrame > last) {
                control_.SetMovieFile(std::string());
                message(qs(editor::text::kBadFrameRange));
                return;
            }
            control_.SetAnchorFrameOrigin(open.mob->StartFrame);
            control_.SetSelectionEnd(last);
            control_.SetSelectionStart(open.mob->StartFrame);
        }
    } catch (const editor::AutomationError& e) {
        message(QString::fromUtf8(e.what()));
        return;
    }
    path_ = open.path;
    fitToMovie();
    const QString name = QFileInfo(ui::fromSystem(open.path)).fileName();
    showStatus(qs(text::kOpened).arg(name));
    if (open.anchorId.empty()) return;
    bool enabled = false;
    try {
        enabled = control_.EnableAnchor(open.anchorId);
    } catch (const editor::AutomationError&) {
    }
    if (!enabled) {
        message(qs(text::kNoSuchAnchor).arg(ui::fromSystem(open.anchorId)));
        return;
    }
    anchorId_ = open.anchorId;
    showStatus(qs(text::kOpenedAnchor).arg(name, ui::fromSystem(open.anchorId)));
}

void PlayerWindow::waitForOpens() {
    const QDeadlineTimer deadline(kOpenWaitMs);
    while ((opening_ || !queue_.empty()) && !deadline.hasExpired())
        nap(kRetryMs / 2);
}

bool PlayerWindow::editInMarquill() {
    if (editing_) return false; // asked again while waiting for the editor
    const QScopedValueRollback<bool> editing(editing_, true);
    waitForOpens();
    if (path_.empty()) {
        message(qs(text::kNothingToEdit));
        return false;
    }
    const std::optional<std::string> request = editor::OpenRequestText(path_, anchorId_);
    if (!request) {
        message(qs(text::kPathTooLong));
        return false;
    }
    try {
        control_.Pause();
    } catch (const editor::AutomationError&) {
    }

    const QString service = qs(link::kEditorService), topic = qs(link::kTopic);
    dde::DdeClient client;
    if (!client.connect(service, topic)) {
        // No editor runs: start one, with the option this player got (so that its Movie
        // Player command leads back here), and wait for its server.
        const QString program = editor::FindCompanionProgram(qs(link::kEditorProgram));
        const std::string option = option_.empty() ? link::kDefaultPlayerOption : option_;
        if (program.isEmpty() ||
            !QProcess::startDetached(program, {qs(link::kOptionSwitch) + ui::fromSystem(option)},
                                     QDir::currentPath())) {
            message(qs(text::kNoEditor));
            return false;
        }
        showStatus(qs(text::kStartingEditor));
        const QDeadlineTimer deadline(link::kEditorWaitMs);
        while (!client.connect(service, topic, kRetryMs * 10)) {
            if (deadline.hasExpired()) {
                message(qs(text::kEditorSilent));
                return false;
            }
            nap(kRetryMs);
        }
    }
    QByteArray data = QByteArray::fromStdString(*request);
    data.append('\0');
    if (!client.execute(data, link::kExecuteTimeoutMs)) {
        message(qs(text::kEditorSilent));
        return false;
    }
    showStatus(qs(text::kSentToEditor).arg(QFileInfo(ui::fromSystem(path_)).fileName()));
    return true;
}

void PlayerWindow::setFullScreen(bool on) {
    if (!control_.created() || path_.empty()) return;
    try {
        control_.SetFullScreenMode(on);
    } catch (const editor::AutomationError&) {
        return;
    }
    leaveFullScreen_->setEnabled(on);
}

bool PlayerWindow::onLink(const QString& topic, const QByteArray& data) {
    const qsizetype nul = data.indexOf('\0');
    const QByteArray text = nul < 0 ? data : data.left(nul);
    if (topic.compare(qs(link::kTopic), Qt::CaseInsensitive) == 0) {
        const std::optional<editor::HandOver> handOver = editor::ParseHandOver(text.toStdString());
        if (!handOver) return false;
        const QString path = QFileInfo(ui::fromSystem(handOver->path)).absoluteFilePath();
        openFile(ui::toSystem(path), handOver->anchorId);
        return true;
    }
    const QByteArray command = text.trimmed();
    if (command.compare(kEditCommand, Qt::CaseInsensitive) == 0) return editInMarquill();
    if (command.compare(kQuitCommand, Qt::CaseInsensitive) == 0) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return true;
    }
    return false;
}

void PlayerWindow::onEvent(DispId id, Args args) {
    const auto argText = [&](std::size_t i) {
        return i < args.size() ? args[i].asString() : std::string();
    };
    const auto event = [&](const char* name) {
        showStatus(qs(text::kEvent).arg(qs(name), ui::fromSystem(argText(0))));
    };
    switch (id) {
    case ids::EVENTID_OpenComplete:
    case ids::EVENTID_OnError: {
        // Finished after the event, outside the control's own call.
        const bool opened = id == ids::EVENTID_OpenComplete;
        QTimer::singleShot(0, this, [this, opened] { finishOpen(opened); });
        break;
    }
    case ids::EVENTID_OnActivateAnchor:
        anchorId_ = argText(0);
        event("OnActivateAnchor");
        break;
    case ids::EVENTID_OnCursorIn:
        event("OnCursorIn");
        break;
    case ids::EVENTID_OnCursorOut:
        event("OnCursorOut");
        break;
    default:
        break;
    }
}

void PlayerWindow::chooseFile() {
    FileRequest request{text::kOpenTitle, text::kOpenFilter};
    request.mustExist = true;
    if (!path_.empty()) request.initialPath = path_;
    if (const std::optional<std::string> chosen = chooseOpenFile(request)) openFile(*chosen, {});
}

// The window takes the movie's own size (picture, its margins and the panel), as far as the
// screen allows; the user may resize it afterwards.
void PlayerWindow::fitToMovie() {
    QSize picture;
    try {
        picture = QSize(control_.GetImageSourceWidth(), control_.GetImageSourceHeight());
    } catch (const editor::AutomationError&) {
        return;
    }
    if (picture.isEmpty()) return;
    int panel = 0;
    if (QWidget* window = control_.window())
        if (auto* console = window->findChild<QWidget*>(QStringLiteral("QzCtrlConsole"));
            console && console->isVisible())
            panel = console->height();
    QSize wanted = picture + QSize(4, 8 + panel);
    if (const QScreen* screen = this->screen())
        wanted = wanted.boundedTo(screen->availableGeometry().size() - (size() - stage_->size()) -
                                  (frameGeometry().size() - size()));
    resize(size() - stage_->size() + wanted);
}

void PlayerWindow::showStatus(const QString& text) {
    statusLine_->setText(text);
}

} // namespace qxm::player
