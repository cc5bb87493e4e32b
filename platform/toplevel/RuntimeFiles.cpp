#include "platform/toplevel/RuntimeFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qxm::toplevel {
namespace {

// Longest name fileNameFor() gives; file systems allow 255 bytes.
constexpr qsizetype kMaxNameLength = 200;
constexpr qsizetype kKeptPrefixLength = 120;

bool fail(QString* error, const QString& path, const QString& reason) {
    if (error) *error = QStringLiteral("%1: %2").arg(path, reason);
    return false;
}

QString systemReason(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

bool ensurePrivateFolder(const QString& path, QString* error) {
    if (path.isEmpty()) return fail(error, path, QStringLiteral("no folder named"));
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        if (errno != ENOENT || !QDir().mkpath(QFileInfo(path).absolutePath()) ||
            (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST))
            return fail(error, path,
                        QStringLiteral("cannot create the folder: ") + systemReason(errno));
    }
    // Opened without following a link, so the checks and the mode change apply to one folder.
    const Descriptor dir{
        ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (dir.fd < 0) {
        const int code = errno;
        if (code == ENOTDIR || code == ELOOP)
            return fail(error, path, QStringLiteral("not a folder (a file or a link)"));
        return fail(error, path, systemReason(code));
    }
    struct stat info {};
    if (::fstat(dir.fd, &info) != 0) return fail(error, path, systemReason(errno));
    if (info.st_uid != ::geteuid())
        return fail(error, path, QStringLiteral("owned by another user"));
    if ((info.st_mode & 07777) != 0700 && ::fchmod(dir.fd, 0700) != 0)
        return fail(error, path,
                    QStringLiteral("mode cannot be narrowed to 0700: ") + systemReason(errno));
    return true;
}

QString runtimeFolder(QString* error) {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        folder = QStringLiteral("/tmp/qxm-runtime-%1").arg(::geteuid());
    return ensurePrivateFolder(folder, error) ? folder : QString();
}

QString runtimeSubfolder(const QString& name, QString* error) {
    const QString root = runtimeFolder(error);
    if (root.isEmpty()) return {};
    const QString folder = root + QLatin1Char('/') + name;
    return ensurePrivateFolder(folder, error) ? folder : QString();
}

QString fileNameFor(const QString& text) {
    if (text.isEmpty()) return QStringLiteral("%");
    // '.' and '~' are encoded too, so "." and ".." cannot come out and "%~" marks a hashed name.
    QByteArray name = QUrl::toPercentEncoding(text, {}, ".~");
    if (name.size() > kMaxNameLength)
        name = name.left(kKeptPrefixLength) + "%~" +
               QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(name);
}

ExclusiveFileLock::Result ExclusiveFileLock::tryLock(const QString& path, QString* error) {
    if (m_fd >= 0) return Result::Locked;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        fail(error, path, systemReason(errno));
        return Result::Failed;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int code = errno;
        ::close(fd);
        if (code == EAGAIN || code == EACCES) return Result::HeldElsewhere;
        fail(error, path, systemReason(code));
        return Result::Failed;
    }
    m_fd = fd;
    return Result::Locked;
}

void ExclusiveFileLock::release() {
    if (m_fd < 0) return;
    ::close(m_fd); // ends the lock with the open file description
    m_fd = -1;
}

bool ExclusiveFileLock::isHeld(const QString& path) {
    const Descriptor file{
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
    if (file.fd < 0) return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(file.fd, F_OFD_GETLK, &probe) != 0) return false;
    return probe.l_type != F_UNLCK;
}

} // namespace qxm::toplevel
