// qxm-engine-demo FILE: shows a movie in the movie engine with its control panel.
//   --size N     window size mode (0 original, 1 double, 2/3/4 a 16th/quarter/half of the screen)
//   --rate R     playback rate
//   --play       start playing when the movie is open
//   --frame N    go to frame N when the movie is open
//   --grab PNG   save a picture of the window when the movie is open (and positioned), then quit
#include "QxmVersion.h"
#include "platform/engine/MovieEngine.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

using qxm::engine::MovieEngine;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("qxm-engine-demo");
    QApplication::setApplicationVersion(QStringLiteral("(" QXM_PRODUCT ") " QXM_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription("Shows a movie in the movie engine.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("FILE", "the movie to show");
    const QCommandLineOption size("size", "window size mode 0..4", "N", "0");
    const QCommandLineOption rate("rate", "playback rate", "R", "1.0");
    const QCommandLineOption play("play", "start playing when open");
    const QCommandLineOption frame("frame", "go to this frame when open", "N");
    const QCommandLineOption grab("grab", "save the window as PNG when open, then quit", "PNG");
    parser.addOptions({size, rate, play, frame, grab});
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "usage: qxm-engine-demo [options] FILE (see --help)\n");
        return 2;
    }

    QWidget window;
    window.setWindowTitle("Movie engine - " + parser.positionalArguments().first());
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* engine = new MovieEngine(&window);
    layout->addWidget(engine);
    bool ok = false;
    if (!engine->setMovieWindowSize(parser.value(size).toInt(&ok)) || !ok) {
        std::fprintf(stderr, "qxm-engine-demo: --size takes 0 to 4\n");
        return 2;
    }
    if (!engine->setRate(parser.value(rate).toDouble(&ok)) || !ok) {
        std::fprintf(stderr, "qxm-engine-demo: --rate takes a positive number\n");
        return 2;
    }
    int exitCode = 0;
    QObject::connect(engine, &MovieEngine::error,
                     [&exitCode](short code, const QString& text, const QString&, bool*) {
                         std::fprintf(stderr, "error %d: %s\n", code, qPrintable(text));
                         exitCode = 1;
                     });
    QObject::connect(engine, &MovieEngine::openComplete, [&] {
        if (engine->CurrentState() == qxm::engine::kNotLoaded) {
            if (parser.isSet(grab)) QTimer::singleShot(0, &app, [] { QApplication::exit(1); });
            return;
        }
        window.adjustSize();
        if (parser.isSet(frame)) engine->setCurrentPosition(parser.value(frame).toDouble());
        if (parser.isSet(grab)) {
            const QPixmap picture = window.grab();
            const bool saved = !picture.isNull() && picture.save(parser.value(grab), "PNG");
            if (!saved)
                std::fprintf(stderr, "qxm-engine-demo: cannot write %s\n",
                             qPrintable(parser.value(grab)));
            QTimer::singleShot(0, &app, [saved] { QApplication::exit(saved ? 0 : 1); });
            return;
        }
        if (parser.isSet(play)) engine->Run();
    });
    engine->setFileName(parser.positionalArguments().first());
    window.show();
    const int rc = app.exec();
    return rc ? rc : exitCode;
}
