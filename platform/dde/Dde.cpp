#include "platform/dde/Dde.h"

#include <QFile>

#include <sys/un.h>

namespace qxm::dde {

QString serviceSocketPath(const QString& service, QString* error) {
    const QString folder = toplevel::runtimeSubfolder(QStringLiteral("qxm-dde"), error);
    if (folder.isEmpty()) return {};
    const QString path = folder + QLatin1Char('/') + toplevel::fileNameFor(service.toUpper());
    if (QFile::encodeName(path).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        if (error) *error = path + QStringLiteral(": too long for a local socket");
        return {};
    }
    return path;
}

} // namespace qxm::dde
