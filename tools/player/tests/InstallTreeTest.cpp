// The kit installed under a fresh prefix (cmake --install): every program runs from there with
// its libraries from the prefix, the desktop files pass desktop-file-validate, the Movie Object
// File type is known to the MIME database, and a first start of the player or the editor
// registers the control module of the prefix in an empty registry.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>

#include "TestApplication.h"
#include "platform/dde/Dde.h"
#include "platform/toplevel/TopLevelPresence.h"

namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

Outcome run(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, arguments);
    Outcome r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("%1 did not finish").arg(program);
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QString need(const char* tool) {
    const QString path = QStandardPaths::findExecutable(QString::fromUtf8(tool));
    EXPECT_FALSE(path.isEmpty()) << tool << " is missing (scripts/install-deps.sh installs it)";
    return path;
}

class InstallTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qxm::testApplication();
        // Windows and links of this test's programs alone (this process looks there too).
        runtime_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_->path()));
        prefix_ = std::make_unique<QTemporaryDir>();
        const Outcome install =
            run(QStringLiteral(QXM_CMAKE),
                {"--install", QStringLiteral(QXM_BUILD_DIR), "--prefix", prefix_->path()});
        installed_ = install.status == 0;
        installLog_ = install.out + install.err;
    }
    static void TearDownTestSuite() {
        prefix_.reset();
        runtime_.reset();
    }
    void SetUp() override { ASSERT_TRUE(installed_) << installLog_.toStdString(); }

    static QString at(const QString& relative) { return prefix_->path() + "/" + relative; }

    static inline std::unique_ptr<QTemporaryDir> runtime_;
    static inline std::unique_ptr<QTemporaryDir> prefix_;
    static inline bool installed_ = false;
    static inline QString installLog_;
};

TEST_F(InstallTree, EveryProgramRunsFromThePrefix) {
    const QStringList programs = {"qxmedit",   "qxmplay",       "qxmregsvr", "qxmhost",
                                  "qxmanchor", "qxm-make-movie", "qxm-frames"};
    EXPECT_EQ(QDir(at("bin")).entryList(QDir::Files, QDir::Name), [&] {
        QStringList sorted = programs;
        sorted.sort();
        return sorted;
    }());
    for (const QString& name : programs) {
        SCOPED_TRACE(name.toStdString());
        const QString path = at("bin/" + name);
        const Outcome version = run(path, {"--version"});
        EXPECT_EQ(version.status, 0) << version.err.toStdString();
        EXPECT_EQ(version.out,
                  name + " (Movie Marquill) " + QStringLiteral(QXM_VERSION_TEXT) + "\n");
        const Outcome help = run(path, {"--help"});
        EXPECT_EQ(help.status, 0) << help.err.toStdString();
        EXPECT_TRUE(help.out.contains(name)) << help.out.toStdString();
        // Our libraries come from the prefix, not from the build tree.
        const Outcome ldd = run(need("ldd"), {path});
        for (const QString& line : ldd.out.split('\n')) {
            if (!line.contains("libqxm")) continue;
            const QString found = line.section(" => ", 1).section(" (", 0, 0);
            EXPECT_EQ(QFileInfo(found).canonicalPath(), QDir(at("lib")).canonicalPath())
                << line.toStdString();
        }
        EXPECT_FALSE(ldd.out.contains("not found")) << ldd.out.toStdString();
    }
    for (const char* file :
         {"lib/libqxmovie.so", "lib/libqxmtrack.so", "lib/libqxmimlib.so", "share/qxm/manual.html",
          "share/qxm/sample/sample.avi", "share/qxm/sample/sample.obj",
          "share/man/man1/qxmedit.1.gz", "share/man/man1/qxmplay.1.gz",
          "share/man/man1/qxmregsvr.1.gz", "share/man/man1/qxmhost.1.gz"})
        EXPECT_TRUE(QFileInfo(at(file)).isFile()) << file;
    // The module's own dependencies resolve from where it lies.
    const Outcome module = run(need("ldd"), {at("lib/libqxmovie.so")});
    EXPECT_FALSE(module.out.contains("not found")) << module.out.toStdString();
}

TEST_F(InstallTree, DesktopEntriesIconsAndTheMovieObjectType) {
    for (const char* entry : {"qxmedit", "qxmplay"}) {
        const QString file = at(QStringLiteral("share/applications/%1.desktop").arg(entry));
        const Outcome check = run(need("desktop-file-validate"), {file});
        EXPECT_EQ(check.status, 0) << entry;
        EXPECT_EQ(check.out + check.err, QString()) << entry; // not even a hint
        QFile text(file);
        ASSERT_TRUE(text.open(QIODevice::ReadOnly));
        const QString content = QString::fromUtf8(text.readAll());
        EXPECT_TRUE(
            QFileInfo(at(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(entry)))
                .isFile());
        EXPECT_TRUE(content.contains(QStringLiteral("\nExec=%1 ").arg(entry)));
    }
    // .mob is a type of its own, opened by the editor.
    const QString mime = at("share/mime");
    const Outcome update = run(need("update-mime-database"), {mime});
    ASSERT_EQ(update.status, 0) << update.err.toStdString();
    QFile globs(mime + "/globs2");
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains("application/x-qxm-movie-object:*.mob"));
    QFile editor(at("share/applications/qxmedit.desktop"));
    ASSERT_TRUE(editor.open(QIODevice::ReadOnly));
    EXPECT_TRUE(editor.readAll().contains("MimeType=application/x-qxm-movie-object;"));
}

// A user whose registry knows nothing of the control starts the installed player, or editor:
// each registers the control module beside it and shows its window with the control in it.
TEST_F(InstallTree, AFirstStartRegistersTheInstalledControl) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QXM_REGISTRY", home.filePath("registry"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const QString module = QFileInfo(at("lib/libqxmovie.so")).canonicalFilePath();

    for (const char* name : {"qxmplay", "qxmedit"}) {
        SCOPED_TRACE(name);
        QFile::remove(home.filePath("registry"));
        const bool isPlayer = QByteArray(name) == "qxmplay";
        const QString title = isPlayer ? "Movie Player" : "Movie Marquill";
        ASSERT_FALSE(qxm::toplevel::topLevelWindowExists(title));
        QProcess p;
        p.setProcessEnvironment(environment);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(at(QStringLiteral("bin/%1").arg(name)), {at("share/qxm/sample/sample.avi")});
        ASSERT_TRUE(p.waitForStarted());
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return qxm::toplevel::topLevelWindowExists(title); }, 30000));
        QFile registry(home.filePath("registry"));
        ASSERT_TRUE(registry.open(QIODevice::ReadOnly));
        EXPECT_TRUE(registry.readAll().contains("module = \"" + module.toUtf8() + "\""));
        if (isPlayer) {
            qxm::dde::DdeClient client;
            EXPECT_TRUE(client.connect("VEZURO", "SYSTEM") && client.execute("[Quit]", 10000));
            EXPECT_TRUE(p.waitForFinished(10000));
            EXPECT_EQ(p.exitCode(), 0);
        } else {
            p.terminate();
            p.waitForFinished(10000);
        }
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return !qxm::toplevel::topLevelWindowExists(title); }, 10000));
    }
}

} // namespace
