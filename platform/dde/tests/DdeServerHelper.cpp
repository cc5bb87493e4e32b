// Test helper: serves the service and topic given as arguments and prints "ready" (or "failed"
// and the reason) on a line. Every execute's data is acknowledged unless it is "no".
#include "platform/dde/Dde.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    qxm::dde::DdeServer server;
    QString error;
    const bool started = server.start(
        QString::fromUtf8(argv[1]), {QString::fromUtf8(argv[2])},
        [](const QString&, const QByteArray& data) { return data != "no"; }, &error);
    std::cout << (started ? "ready" : "failed " + error.toStdString()) << std::endl;
    return started ? app.exec() : 1;
}
