// A stand-in for the Movie Player in the editor's link tests. It appends how it was started to
// fake-player.log in its working folder ("start ARGUMENTS", "cwd FOLDER"), then acts as its
// /I option says:
//   serve   serves "VEZURO"/"MESSAGE", logging every execute as "execute TEXT" (a NUL shown as
//           \0), and then claims the "Movie Player" window, as the player does once it shows
//   silent  never shows a window
// It ends after a minute at the latest (the tests end it earlier by its process id).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "platform/dde/Dde.h"
#include "platform/toplevel/TopLevelPresence.h"

namespace {

void log(const QByteArray& line) {
    QFile file(QStringLiteral("fake-player.log"));
    if (file.open(QIODevice::Append)) file.write(line + '\n');
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    log("start " + arguments.join(QLatin1Char(' ')).toUtf8());
    log("cwd " + QDir::currentPath().toUtf8());
    QTimer::singleShot(60000, &application, &QCoreApplication::quit);

    qxm::dde::DdeServer server;
    qxm::toplevel::TopLevelPresence presence(QStringLiteral("Movie Player"));
    if (!arguments.isEmpty() && arguments.first().contains(QStringLiteral("serve"))) {
        server.setMaxExecuteData(4096);
        const bool serving = server.start(QStringLiteral("VEZURO"), {QStringLiteral("MESSAGE")},
                                          [](const QString&, const QByteArray& data) {
                                              QByteArray shown = data;
                                              log("execute " + shown.replace('\0', "\\0"));
                                              return true;
                                          });
        if (!serving || !presence.claim()) return 1;
    }
    return QCoreApplication::exec();
}
