#include "platform/toplevel/RuntimeFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace qxm::toplevel {
namespace {

unsigned modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(RuntimeFiles, FoldersAreMadePrivateOrRefused) {
    enum Kind { Missing, Folder, Link, File };
    const struct {
        const char* name;
        Kind kind;
        mode_t mode;
        uid_t owner; // 0: the test's user
        bool accepted;
    } cases[] = {
        {"missing, with a missing parent", Missing, 0, 0, true},
        {"mode 0755", Folder, 0755, 0, true},
        {"mode 0777", Folder, 0777, 0, true},
        {"mode 0500", Folder, 0500, 0, true},
        {"link to a private folder", Link, 0, 0, false},
        {"plain file", File, 0, 0, false},
        {"owned by another user", Folder, 0700, 65534, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.owner != 0 && ::geteuid() != 0) continue; // needs chown
        QTemporaryDir base;
        const QString path = base.filePath(QStringLiteral("parent/folder"));
        const QByteArray native = QFile::encodeName(path);
        if (c.kind != Missing) {
            ASSERT_TRUE(QDir().mkpath(base.filePath("parent")));
        }
        if (c.kind == Folder) {
            ASSERT_EQ(::mkdir(native.constData(), 0700), 0);
            ASSERT_EQ(::chmod(native.constData(), c.mode), 0);
            ASSERT_EQ(::chown(native.constData(), c.owner ? c.owner : ::geteuid(), -1), 0);
        }
        if (c.kind == Link) {
            ASSERT_TRUE(QFile::link(base.path(), path));
        }
        if (c.kind == File) {
            ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
        }
        const unsigned modeBefore = modeOf(path);
        QString error;
        EXPECT_EQ(ensurePrivateFolder(path, &error), c.accepted) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), c.accepted);
        EXPECT_EQ(modeOf(path), c.accepted ? 0700u : modeBefore); // refused: left as it was
    }
}

TEST(RuntimeFiles, RuntimeFolderFallsBackToAPrivateFolderNamedAfterTheUser) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const QString fallback = QStringLiteral("/tmp/qxm-runtime-%1").arg(::geteuid());
    for (const char* value : {"", "relative/folder"}) {
        qputenv("XDG_RUNTIME_DIR", value);
        EXPECT_EQ(runtimeFolder(), fallback);
        EXPECT_EQ(modeOf(fallback), 0700u);
    }
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(runtimeFolder(), QFile::decodeName(saved));
}

} // namespace
} // namespace qxm::toplevel
