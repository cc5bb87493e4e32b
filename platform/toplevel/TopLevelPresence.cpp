#include "platform/toplevel/TopLevelPresence.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace qxm::toplevel {
namespace {

constexpr qint64 kPollIntervalMs = 50;

} // namespace

TopLevelPresence::TopLevelPresence(QString title) : m_title(std::move(title)) {}

bool TopLevelPresence::claim(QString* error) {
    if (held()) return true;
    const QString path = presenceFilePath(m_title, error);
    return !path.isEmpty() && m_lock.tryLock(path, error) == ExclusiveFileLock::Result::Locked;
}

QString presenceFilePath(const QString& title, QString* error) {
    const QString folder = runtimeSubfolder(QStringLiteral("qxm-windows"), error);
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + fileNameFor(title);
}

bool topLevelWindowExists(const QString& title) {
    const QString path = presenceFilePath(title);
    return !path.isEmpty() && ExclusiveFileLock::isHeld(path);
}

bool waitForTopLevelWindow(const QString& title, int timeoutMs) {
    const QString path = presenceFilePath(title);
    if (path.isEmpty()) return false; // no runtime folder: no window can ever show up
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                : QDeadlineTimer(timeoutMs));
    while (!ExclusiveFileLock::isHeld(path)) {
        if (deadline.hasExpired()) return false;
        const qint64 nap = deadline.isForever()
                               ? kPollIntervalMs
                               : std::clamp<qint64>(deadline.remainingTime(), 1, kPollIntervalMs);
        if (QCoreApplication::instance()) {
            QEventLoop loop;
            QTimer::singleShot(nap, &loop, &QEventLoop::quit);
            loop.exec();
        } else {
            QThread::msleep(static_cast<unsigned long>(nap));
        }
    }
    return true;
}

} // namespace qxm::toplevel
