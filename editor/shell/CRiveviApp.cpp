#include "editor/shell/CRiveviApp.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include "editor/shell/CMainFrame.h"
#include "editor/shell/CRiveviDoc.h"
#include "editor/shell/CommandLine.h"
#include "editor/shell/EditorTexts.h"
#include "editor/shell/MovieGeometry.h"
#include "editor/shell/dialogs/AboutDialog.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/CommandIds.h"
#include "editor/view/OpenRequest.h"
#include "editor/view/PlayerLink.h"
#include "platform/dde/Dde.h"
#include "platform/prompter/Prompter.h"
#include "platform/toplevel/TopLevelPresence.h"
#include "platform/ui/SystemText.h"

namespace qxm::editor {

namespace {

constexpr const char* kLinkService = "ZIZAZI";
constexpr const char* kLinkTopic = "MESSAGE";

} // namespace

CRiveviApp::CRiveviApp() = default;

CRiveviApp::~CRiveviApp() {
    ExitInstance();
}

bool CRiveviApp::InitInstance(const StartOptions& options) {
    // One editor at a time: a second start ends silently.
    presence_ =
        std::make_unique<toplevel::TopLevelPresence>(QString::fromUtf8(text::kProgramTitle));
    if (!presence_->claim()) return false;

    context_.table.XScale = context_.table.YScale = 0.0;
    context_.doc.clearPending();

    dde_ = std::make_unique<dde::DdeServer>();
    if (!dde_->start(kLinkService, {kLinkTopic}, [this](const QString&, const QByteArray& data) {
            onExecute(data.toStdString());
            return true;
        })) {
        prompt(text::kDdeFailed, text::kProgramTitle, Buttons::Ok, Icon::Warning);
        return false;
    }

    frame_ = std::make_unique<CMainFrame>();
    view_ = new CRivEviFV(context_, frame_.get());
    frame_->setCentralWidget(view_);
    frame_->layout()->setSizeConstraint(QLayout::SetFixedSize);
    doc_ = std::make_unique<CRiveviDoc>(context_, *view_, *frame_);
    routeCommands();
    QObject::connect(view_, &CRivEviFV::playStateChanged, frame_.get(),
                     [this](int) { frame_->ShowPlaySlot(context_.state.Playing); });
    QObject::connect(view_, &CRivEviFV::movieWindowFailed, frame_.get(),
                     [this] { movieWindowFailed_ = true; });
    QObject::connect(
        qApp, &QGuiApplication::applicationStateChanged, frame_.get(),
        [this](Qt::ApplicationState s) { onApplicationState(s == Qt::ApplicationActive); });
    frame_->canClose = [this] {
        if (context_.state.busyWithMouse() || context_.doc.Opening) return false;
        return doc_->SaveBeforeDiscard();
    };

    // The first showing creates the movie window and with it the player control.
    frame_->adjustSize();
    if (QScreen* screen = frame_->screen()) {
        const QRect area = screen->availableGeometry();
        QRect r = frame_->frameGeometry();
        r.setSize(r.size().boundedTo(area.size()));
        r.moveCenter(area.center());
        frame_->move(r.topLeft());
    }
    frame_->show();
    if (movieWindowFailed_) {
        frame_->canClose = nullptr;
        frame_->close();
        return false;
    }

    context_.StartFolder = ui::toSystem(QDir::currentPath());
    context_.PlayerOption.clear();
    if (!options.arguments.empty()) {
        const CommandLine line = ParseCommandLine(JoinArguments(options.arguments));
        context_.PlayerOption = line.PlayerOption;
        if (line.hasPath && !line.PendingOpenPath.empty()) {
            const FileNameCheck check = CheckFileNameRule(line.PendingOpenPath, false);
            if (!check.valid) {
                prompt(check.message, text::kProgramTitle, Buttons::Ok, Icon::Warning);
            } else {
                context_.doc.PendingOpenPath = line.PendingOpenPath;
                doc_->OpenDocumentFile(line.PendingOpenPath);
                context_.doc.clearPending();
            }
        }
    }

    tracking_ = dlopen(options.trackingLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    context_.TrackingLoaded = tracking_ != nullptr;
    context_.TrackingLibrary = tracking_;
    frame_->UpdateCommandUI();
    return true;
}

int CRiveviApp::ExitInstance() {
    context_.table.Clear();
    if (tracking_) dlclose(tracking_);
    tracking_ = nullptr;
    context_.TrackingLoaded = false;
    context_.TrackingLibrary = nullptr;
    return 0;
}

void CRiveviApp::routeCommands() {
    CMainFrame& f = *frame_;
    const EditorContext& c = context_;
    f.setCommand(
        ID_FILE_OPEN, [this] { OnFileOpen(); }, [&c] { return !c.doc.Opening; });
    f.setCommand(
        ID_FILE_CLOSE, [this] { doc_->OnFileClose(); }, [&c] { return c.state.MovieOpen; });
    f.setCommand(
        ID_APP_EXIT, [this] { frame_->close(); }, [&c] { return !c.doc.Opening; });
    f.setCommand(ID_APP_ABOUT, [this] { OnAppAbout(); }, {});
    f.setCommand(
        ID_LINK_PLAYER, [this] { LinkToPlayer(context_, *view_, *frame_); },
        [&c] { return !c.PlayerOption.empty(); });
    for (const int id : {ID_FILE_SAVE, ID_VIDEO_PLAY, ID_VIDEO_PAUSE, ID_VIDEO_STOP, ID_VIDEO_FIRST,
                         ID_VIDEO_LAST, ID_VIDEO_PREV, ID_VIDEO_NEXT, ID_VIDEO_REWIND,
                         ID_VIDEO_FASTFORWARD, ID_ANCHOR_NEW, ID_ANCHOR_LIST, ID_HELP_TOPICS,
                         ID_MARK_PREV, ID_MARK_NEXT, ID_ANCHOR_DELETE_FRAME, ID_ANCHOR_AUTO}) {
        CRivEviFV* v = view_;
        f.setCommand(
            id, [v, id] { v->OnCommand(id); }, [v, id] { return v->CommandEnabled(id); });
    }
}

void CRiveviApp::OnFileOpen() {
    if (context_.doc.Opening) return;
    doc_->OnFileOpen();
}

void CRiveviApp::OnAppAbout() {
    view_->PauseAndShow();
    AboutDialog about(frame_.get());
    about.exec();
}

// A request over the link: remember what to open, then open it as the Open command does.
void CRiveviApp::onExecute(const std::string& data) {
    const OpenRequest request = ParseOpenRequest(data);
    if (request.empty) return;
    context_.doc.clearPending();
    context_.doc.PendingOpenPath = request.path;
    context_.doc.PendingAnchorID = request.anchorId;
    context_.doc.PendingAnchorSet = request.anchorIdSet;
    postFileOpen();
}

// The File Open command as posted by a link request: it waits while an open is running.
void CRiveviApp::postFileOpen() {
    QTimer::singleShot(context_.doc.Opening ? 100 : 0, frame_.get(), [this] {
        if (context_.doc.Opening)
            postFileOpen();
        else
            OnFileOpen();
    });
}

void CRiveviApp::onApplicationState(bool active) {
    if (!active) {
        if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
        if (CAnchorMovieWnd* movie = view_->movieWindow(); movie && movie->IsLoaded())
            context_.state.MovieOpen = true;
    }
    if (context_.state.MovieOpen)
        if (CAnchorMovieWnd* movie = view_->movieWindow()) movie->Redraw();
}

} // namespace qxm::editor
