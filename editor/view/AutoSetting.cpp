#include "editor/view/AutoSetting.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWindow>

#include <dlfcn.h>

#include <array>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "editor/anchors/MovieObjectFile.h"
#include "editor/shell/EditorTexts.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/WaitCursor.h"
#include "platform/codepage/CodePage.h"
#include "platform/prompter/Prompter.h"
#include "platform/ui/SystemText.h"
#include "tracking/include/qxmtrack.h"

namespace qxm::editor {

namespace {

// ---- the library's entry points -------------------------------------------------------------

using InitFn = decltype(&::InitSetAuto);
using ExitFn = decltype(&::ExitSetAuto);
using ExecFn = decltype(&::ExecSetAuto);
using FreeFn = decltype(&::FreeSetAutoAnchorData);
using ErrorFn = decltype(&::GetSetAutoErrorString);

struct TrackingEntries {
    InitFn init = nullptr;
    ExitFn exit = nullptr;
    ExecFn exec = nullptr;
    FreeFn free = nullptr;
    ErrorFn error = nullptr;
};

template <class Fn> bool bind(void* library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(dlsym(library, name));
    return fn != nullptr;
}

// All five entry points, or nothing when the library lacks any of them.
std::optional<TrackingEntries> bindEntries(void* library) {
    if (!library) return std::nullopt;
    TrackingEntries e;
    const bool all = bind(library, "InitSetAuto", e.init) & bind(library, "ExitSetAuto", e.exit) &
                     bind(library, "ExecSetAuto", e.exec) &
                     bind(library, "FreeSetAutoAnchorData", e.free) &
                     bind(library, "GetSetAutoErrorString", e.error);
    if (!all) return std::nullopt;
    return e;
}

// The library's message for a result code. The library writes well under 100 bytes; the last
// byte is kept a terminator whatever it writes.
constexpr std::size_t kMessageBytes = 256;

std::string libraryMessage(ErrorFn error, int32_t code) {
    std::array<char, kMessageBytes> buffer{};
    error(code, buffer.data());
    buffer.back() = '\0';
    return buffer.data();
}

void showLibraryMessage(ErrorFn error, int32_t code) {
    prompt(libraryMessage(error, code), text::kProgramTitle, Buttons::Ok);
}

// One opened movie in the library: ExitSetAuto when the run ends.
class LibrarySession {
public:
    explicit LibrarySession(ExitFn exit) : exit_(exit) {}
    ~LibrarySession() { exit_(); }
    LibrarySession(const LibrarySession&) = delete;
    LibrarySession& operator=(const LibrarySession&) = delete;

private:
    ExitFn exit_;
};

// The record array of ExecSetAuto, given back to the library that allocated it.
class LibraryRecords {
public:
    explicit LibraryRecords(FreeFn free) : free_(free) {}
    ~LibraryRecords() {
        if (records) free_(records);
    }
    LibraryRecords(const LibraryRecords&) = delete;
    LibraryRecords& operator=(const LibraryRecords&) = delete;

    int32_t count = 0;
    SetAutoAnchorRecord* records = nullptr;

private:
    FreeFn free_;
};

// ---- the movie the library opens ------------------------------------------------------------

struct TrackedMovie {
    std::string path;
    int32_t origin = 0; // the library's frame number of the editor's frame 0
};

bool isMovieObjectPath(const std::string& path) {
    constexpr std::string_view kExtension = ".mob";
    return path.size() >= kExtension.size() &&
           codepage::equalsIgnoreAsciiCase(
               std::string_view(path).substr(path.size() - kExtension.size()), kExtension);
}

// The document's movie: a Movie Object File's movie and its StartFrame, or the document
// itself from frame 0. Nothing when the Movie Object File cannot be read (its reader has
// said why).
std::optional<TrackedMovie> trackedMovie(const std::string& documentPath) {
    if (!isMovieObjectPath(documentPath)) return TrackedMovie{documentPath, 0};
    const std::optional<anchors::MovieObject> mob = anchors::ReadMovieObjectFile(documentPath);
    if (!mob) return std::nullopt;
    return TrackedMovie{mob->MoviePath, mob->StartFrame};
}

// ---- waiting for the library ----------------------------------------------------------------

// The modal dialog the editor shows while the library works: a line of text and a busy bar,
// no button; neither Escape nor the window's close button ends it.
class WaitDialog : public QDialog {
public:
    explicit WaitDialog(QWidget* parent)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
        setObjectName("AutomaticSettingWait");
        setWindowTitle(ui::fromSystem(text::kProgramTitle));
        setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(ui::fromSystem(text::autoset::kWorking), this));
        auto* bar = new QProgressBar(this);
        bar->setRange(0, 0); // no measure of the work: a busy indicator
        bar->setTextVisible(false);
        bar->setMinimumWidth(240);
        layout->addWidget(bar);
    }
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Drops every user input of the application while it lives, except input to a modal window
// opened on top of the wait dialog (a message box the library shows while it works). Posted
// and synthesised events are dropped too, which the window system's modality alone does not
// do.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(const QWidget& wait) : wait_(wait) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return isUserInput(event->type()) && !forModalOnTop(watched);
    }

private:
    bool forModalOnTop(QObject* watched) const {
        const QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == &wait_) return false;
        if (const auto* window = qobject_cast<QWindow*>(watched))
            return window == modal->windowHandle();
        for (QObject* o = watched; o; o = o->parent())
            if (const auto* widget = qobject_cast<QWidget*>(o)) return widget->window() == modal;
        return false;
    }

    const QWidget& wait_;
};

// Runs work on a thread of its own while this thread serves events behind the wait dialog,
// the wait cursor and the input blocker, and returns once work has returned. Only work
// touches the library meanwhile. Should no thread be available, work runs here.
void runWhileWaiting(QWidget* parent, const std::function<void()>& work) {
    WaitCursor cursor;
    WaitDialog dialog(parent);
    InputBlocker blocker(dialog);
    dialog.show();

    QEventLoop loop;
    bool finished = false; // set on this thread, by the call the worker queues at its end
    std::thread worker;
    try {
        worker = std::thread([&] {
            work();
            QMetaObject::invokeMethod(
                &dialog,
                [&] {
                    finished = true;
                    loop.quit();
                },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        work();
        return;
    }
    // The loop may also be ended by an application-wide exit; the library must finish first.
    while (!finished)
        loop.exec();
    worker.join();
}

// Sets a flag for a scope and puts the previous value back.
class FlagScope {
public:
    FlagScope(bool& flag, bool value) : flag_(flag), previous_(std::exchange(flag, value)) {}
    ~FlagScope() { flag_ = previous_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool previous_;
};

// A run is in progress. The library keeps one state for the process and is never entered
// twice; the event loop of a run could otherwise start another one.
bool g_running = false;

// ---- the run --------------------------------------------------------------------------------

// What is handed to ExecSetAuto: the library's frame numbers and movie pixels.
struct TrackRequest {
    int32_t start = 0;
    int32_t end = 0;
    anchors::Rect first;
    anchors::Rect last;
};

TrackRequest requestFor(const anchors::AnchorTable& table, const anchors::AnchorRecord& anchor,
                        int32_t origin) {
    return {anchor.StartFrame + origin, anchor.EndFrame + origin,
            table.ToMovie(anchor.Entries.front().rect()),
            table.ToMovie(anchor.Entries.back().rect())};
}

// The records as key frames of the editor: frames from the working range's start, rectangles
// in display pixels. False after "No Memory Available." when there is no room for them.
bool keyFramesOf(const anchors::AnchorTable& table, const LibraryRecords& result, int32_t origin,
                 std::vector<anchors::FrameEntry>& out) {
    try {
        out.reserve(std::size_t(result.count));
    } catch (const std::bad_alloc&) {
        anchors::ShowNoMemory();
        return false;
    }
    for (int32_t i = 0; i < result.count; ++i) {
        const SetAutoAnchorRecord& r = result.records[i];
        anchors::FrameEntry entry;
        entry.Frame = r.frame - origin;
        entry.setRect(table.ToDisplay({r.left, r.top, r.right, r.bottom}));
        out.push_back(entry);
    }
    return true;
}

} // namespace

void RunAutomaticSetting(EditorContext& context, CRivEviFV& view) {
    if (g_running) return;
    FlagScope running(g_running, true);

    view.PauseAndShow();
    const std::optional<TrackingEntries> lib =
        bindEntries(context.TrackingLoaded ? context.TrackingLibrary : nullptr);
    if (!lib) return;

    anchors::AnchorTable& table = context.table;
    const int current = table.CurrentAnchor;
    if (current < 0 || std::size_t(current) >= table.size()) return;
    const std::size_t index = std::size_t(current);
    if (table[index].EntryCount() < 2) return;
    if (table[index].EntryCount() > 2 &&
        prompt(text::autoset::kDeleteQuestion, text::autoset::kDeleteCaption, Buttons::YesNo,
               Icon::Question) != Answer::Yes)
        return;

    const std::string document = context.doc.PathName;
    const std::optional<TrackedMovie> movie = trackedMovie(document);
    if (!movie) return;

    const int32_t opened = lib->init(movie->path.c_str(), nullptr);
    if (opened != 0) {
        showLibraryMessage(lib->error, opened);
        return;
    }
    // From here on the document counts as busy, as while a movie opens: a link request to open
    // a file waits for the end of the run instead of closing the movie under it.
    FlagScope busy(context.doc.Opening, true);
    LibrarySession session(lib->exit);
    LibraryRecords result(lib->free);

    const anchors::AnchorRecord& anchor = table[index];
    const std::string anchorId = anchor.ID;
    const TrackRequest request = requestFor(table, anchor, movie->origin);
    context.state.MarkSelected = false;
    context.state.SelectedMark = -1;

    int32_t code = 0;
    runWhileWaiting(view.window(), [&] {
        code = lib->exec(request.start, request.end, request.first.Left, request.first.Top,
                         request.first.Right, request.first.Bottom, request.last.Left,
                         request.last.Top, request.last.Right, request.last.Bottom, &result.count,
                         &result.records);
    });

    if (code < 0) {
        showLibraryMessage(lib->error, code);
        return;
    }
    // A result without records leaves the anchor as it was; so does a table that is no longer
    // the one the run started from.
    if (result.count <= 0 || !result.records) return;
    if (context.doc.PathName != document || table.CurrentAnchor != current ||
        index >= table.size() || table[index].ID != anchorId)
        return;

    std::vector<anchors::FrameEntry> keyFrames;
    if (!keyFramesOf(table, result, movie->origin, keyFrames)) return;
    // AnchorDataSaved goes false with the new key frames.
    if (table.ReplaceEntries(index, keyFrames) != anchors::EditResult::Ok) return;
    view.ShowRectAtFrame();
    if (CAnchorMovieWnd* movieWindow = view.movieWindow()) movieWindow->Redraw();
    view.RedrawMarks(current);
}

} // namespace qxm::editor
