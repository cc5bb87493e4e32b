// qxm-control-demo: shows a movie with its anchors in the player control and prints every
// event the control fires, one line each, with its arguments.
//
//   qxm-control-demo [--no-timer] [--exit-after-open] [--double-click] MOVIE
//
// Exit status: 0 after the window closes (or after the movie opened, with --exit-after-open),
// 1 when the control cannot be created or the movie fails to open, 2 for a bad command line.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "QxmVersion.h"
#include "platform/component/Dispatch.h"
#include "player_control/control/CQXMovieCtrl.h"
#include "player_control/control/QXMovieTypeLib.h"
#include "platform/ui/QtPrompter.h"

namespace {

using namespace qxm;
using namespace qxm::qxmovie;

int usage(FILE* to, int status) {
    std::fprintf(to, "usage: qxm-control-demo [--no-timer] [--exit-after-open] [--double-click] "
                     "MOVIE\n"
                     "Plays MOVIE in the player control with the anchors of its anchor object\n"
                     "file (MOVIE with the extension .obj) and prints every event.\n"
                     "  --no-timer         leave out OnTimer and MouseMove events\n"
                     "  --exit-after-open  end once the movie has opened (0) or failed (1)\n"
                     "  --double-click     activate anchors by double click\n"
                     "  --help, --version  this text, the version\n");
    return status;
}

} // namespace

int main(int argc, char** argv) {
    bool noTimer = false, exitAfterOpen = false, doubleClick = false;
    std::string movie;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-timer")
            noTimer = true;
        else if (arg == "--exit-after-open")
            exitAfterOpen = true;
        else if (arg == "--double-click")
            doubleClick = true;
        else if (arg == "--help" || arg == "-h")
            return usage(stdout, 0);
        else if (arg == "--version") {
            std::printf("qxm-control-demo (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
            return 0;
        } else if (!arg.empty() && arg[0] == '-')
            return usage(stderr, 2);
        else if (movie.empty())
            movie = arg;
        else
            return usage(stderr, 2);
    }
    if (movie.empty()) return usage(stderr, 2);

    QApplication app(argc, argv);
    qxm::ui::installQtPrompter();
    CQXMovieCtrl control;
    control.setWindowTitle(QString::fromStdString("QX-MOVIE control demo - " + movie));
    QXMovieState state;
    state.ShowAnchor = true; // frame the clicked anchor
    state.ActivateMethod = doubleClick ? 1 : 0;
    state.AutoPlay = !exitAfterOpen;
    control.loadState(state);
    if (control.createControlWindow() != 0) {
        std::fprintf(stderr, "qxm-control-demo: the control cannot be created\n");
        return 1;
    }

    int status = 0;
    ComPtr<IDispatch> sink = makeEventSink([&](DispId id, Args args) {
        if (noTimer && (id == EVENTID_OnTimer || id == EVENTID_MouseMove)) return;
        std::printf("%s\n", describeEvent(id, args).c_str());
        std::fflush(stdout);
        if (exitAfterOpen && id == EVENTID_OpenComplete)
            QTimer::singleShot(0, &app, [&] { app.exit(0); });
    });
    std::uint32_t cookie = 0;
    control.eventSource()->advise(IID_NULL, sink.get(), cookie);

    ExcepInfo info;
    if (dispPut(*control.dispatch(), "MovieFile", Variant(movie), &info) != S_OK) {
        std::fprintf(stderr, "qxm-control-demo: %s (0x%08X)\n", info.description.c_str(),
                     unsigned(info.scode));
        return 1;
    }
    if (exitAfterOpen) {
        // A failed open clears the movie instead of completing it.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &app, [&] {
            if (control.MovieFile().empty()) {
                status = 1;
                app.exit(1);
            }
        });
        poll.start(50);
        status = app.exec();
    } else {
        control.show();
        status = app.exec();
    }
    control.eventSource()->unadvise(cookie);
    return status;
}
