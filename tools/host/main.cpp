// qxmhost: a control test container. Creates a control by ProgID through the component
// registry, loads its properties, shows it and takes commands from standard input; see
// HostSession.h for the output lines and usage() for the commands.
#include <QApplication>
#include <QDialog>

#include <cstdio>
#include <cstring>
#include <string>

#include "QxmVersion.h"
#include "platform/prompter/Prompter.h"
#include "platform/ui/QtPrompter.h"
#include "tools/host/HostSession.h"
#include "tools/host/HostText.h"

namespace {

const char* const kUsage =
    "usage: qxmhost [--progid PROGID] [--bag FILE | --stream FILE] [--location URL] [--design]\n"
    "               [--batch] [NAME=VALUE ...]\n"
    "       qxmhost --help | --version\n"
    "Creates the control (default QXMOVIE.QXMovieCtrl.2) through the component registry,\n"
    "loads its properties from the bag file (name=value lines) with the NAME=VALUE arguments\n"
    "on top, or from a stream saved by save-stream, shows it and reads commands:\n"
    "  get NAME [INDEX]         set NAME [INDEX] VALUE    call NAME [ARGS...]\n"
    "  save FILE                save-stream FILE          wait EVENT [MS]\n"
    "  grab FILE.png            size WIDTH HEIGHT         verb N (-7: property sheet)\n"
    "  quit\n"
    "Events print as \"event NAME ARGS...\", replies as \"ok [VALUE]\" or \"error CODE TEXT\".\n"
    "--location offers a page URL for relative movie paths; --design runs in design mode;\n"
    "--batch prints messages as \"prompt\" lines instead of showing them and closes every\n"
    "dialog at once with a \"prompt-dialog\" line.\n";

// Messages as output lines, answered with the first button; file choices cancelled.
class BatchPrompter : public qxm::PromptHandler {
public:
    explicit BatchPrompter(qxm::host::HostSession& session) : session_(session) {}
    qxm::Answer ask(const qxm::Prompt& p) override {
        session_.print("prompt " + qxm::host::showValue(p.caption) + " " +
                       qxm::host::showValue(p.text));
        return qxm::defaultAnswer(p.buttons);
    }
    std::optional<std::string> chooseOpenFile(const qxm::FileRequest& r) override {
        session_.print("prompt-file " + qxm::host::showValue(r.title));
        return std::nullopt;
    }

private:
    qxm::host::HostSession& session_;
};

// In batch mode nobody is there to close a dialog, and the dialog's own event loop would keep
// standard input waiting for ever: every dialog that shows is noted and closed at once, as if
// cancelled.
class BatchDialogCloser : public QObject {
public:
    explicit BatchDialogCloser(qxm::host::HostSession& session) : session_(session) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isWindow()) {
                session_.print("prompt-dialog " +
                               qxm::host::showValue(dialog->windowTitle().toStdString()) +
                               " closed (--batch shows no dialogs)");
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
            }
        return false;
    }

private:
    qxm::host::HostSession& session_;
};

bool takeValue(int argc, char** argv, int& i, std::string& out) {
    if (i + 1 >= argc) return false;
    out = argv[++i];
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qxm::host::HostOptions options;
    bool batch = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        bool ok = true;
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("qxmhost (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
            return 0;
        } else if (a == "--progid") {
            ok = takeValue(argc, argv, i, options.progId);
        } else if (a == "--bag") {
            ok = takeValue(argc, argv, i, options.bagFile);
        } else if (a == "--stream") {
            ok = takeValue(argc, argv, i, options.streamFile);
        } else if (a == "--location") {
            std::string url;
            ok = takeValue(argc, argv, i, url);
            options.location = url;
        } else if (a == "--design") {
            options.designMode = true;
        } else if (a == "--batch") {
            batch = true;
        } else if (a.find('=') != std::string::npos && a[0] != '-') {
            options.assignments.push_back(a);
        } else {
            ok = false;
        }
        if (!ok || (!options.bagFile.empty() && !options.streamFile.empty())) {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    QApplication app(argc, argv);
    qxm::host::HostSession session;
    BatchPrompter batchPrompter(session);
    BatchDialogCloser dialogCloser(session);
    if (batch) {
        qxm::setPromptHandler(&batchPrompter);
        app.installEventFilter(&dialogCloser);
    } else
        qxm::ui::installQtPrompter();

    std::string message;
    if (const int status = session.start(options, &message); status != 0) {
        std::fprintf(stderr, "qxmhost: %s\n", message.c_str());
        return status;
    }
    session.readStandardInput();
    const int status = app.exec();
    if (batch) qxm::setPromptHandler(nullptr);
    return status;
}
