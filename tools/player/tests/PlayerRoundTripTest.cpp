// The editor and the player qxmplay as separate programs, as an author uses them: the editor's
// Movie Player command starts qxmplay and hands it a Movie Object File with an anchor; the
// player's Edit in Movie Marquill hands it back and the editor shows that anchor; a player
// with no editor running starts one. Every program runs under the offscreen platform with the
// private runtime folder and registry of this test (EditorHarness.h).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "EditorHarness.h"
#include "TestApplication.h"
#include "editor/anchors/AnchorFile.h"
#include "editor/shell/CMainFrame.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/CommandIds.h"
#include "editor/view/PlayerLink.h"
#include "platform/dde/Dde.h"
#include "platform/toplevel/TopLevelPresence.h"
#include "tools/player/PlayerWindow.h"

namespace qxm::editor {
namespace {

using namespace testing;

const QString kPlayerTitle = QString::fromUtf8(link::kPlayerTitle);
const QString kEditorTitle = QString::fromUtf8(link::kEditorTitle);

QString program(const char* name) {
    return qEnvironmentVariable("QXM_BIN_DIR") + "/" + name;
}

// The process that shows the window with this title: the one holding its presence lock.
qint64 holderOf(const QString& title) {
    const QString lock = QFileInfo(toplevel::presenceFilePath(title)).canonicalFilePath();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (!number) continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo& fd :
             fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            if (fd.symLinkTarget() == lock) return id;
    }
    return 0;
}

QStringList commandLineOf(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList words;
    for (const QByteArray& word : file.readAll().split('\0'))
        if (!word.isEmpty()) words.append(QString::fromLocal8Bit(word));
    return words;
}

// Ends a program this test started indirectly (by its process id) unless it has ended.
void endProcess(qint64 pid, const QString& title) {
    if (pid > 0 && toplevel::topLevelWindowExists(title)) ::kill(pid_t(pid), SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !toplevel::topLevelWindowExists(title); }, 5000));
}

bool sendToPlayer(const char* command, int timeoutMs = link::kExecuteTimeoutMs) {
    dde::DdeClient client;
    return client.connect(QString::fromUtf8(link::kPlayerService),
                          QString::fromUtf8(player::kSystemTopic)) &&
           client.execute(command, timeoutMs);
}

TEST(PlayerRoundTrip, EditorToPlayerAndBackToTheSameAnchor) {
    Files& f = Files::get();
    f.movie("trip.avi");
    f.write("trip.mob", "MovieFile=trip.avi\nStartFrame=10\nEndFrame=80\n");
    const std::string mob = f.path("trip.mob");
    ASSERT_TRUE(anchors::WriteAnchorObjectFile(
        QFileInfo(mob.c_str()).path().toStdString(), "trip",
        {anchor("CAR1", "Car", 0, 30), anchor("BUS2", "Bus", 20, 60)}));

    // The author works on the Movie Object File with BUS2 current, then calls the player.
    auto first = std::make_unique<Editor>(std::vector<std::string>{"/Iround trip"});
    ASSERT_TRUE(first->started);
    ASSERT_TRUE(first->open(mob));
    const int bus = first->ctx().table.FindByID("BUS2");
    ASSERT_GE(bus, 0);
    first->view().ActivateAnchor(bus);
    ASSERT_FALSE(toplevel::topLevelWindowExists(kPlayerTitle));
    first->run(ID_LINK_PLAYER);
    EXPECT_TRUE(first->prompts.prompts.empty()) << first->prompts.texts().front();
    ASSERT_TRUE(toplevel::topLevelWindowExists(kPlayerTitle));
    const qint64 player = holderOf(kPlayerTitle);
    ASSERT_GT(player, 0);
    EXPECT_EQ(commandLineOf(player), QStringList({program("qxmplay"), "/I\"round trip\""}));
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(player)).symLinkTarget(),
              QDir::currentPath());
    // The editor closes by itself once the player has the file.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !first->frame().isVisible(); }, 10000));
    first.reset();

    // Back in a fresh editor, Edit in Movie Marquill in the player brings the same file and
    // anchor: BUS2 current on its Starting Frame, framed.
    Editor second;
    ASSERT_TRUE(second.started);
    EXPECT_FALSE(second.ctx().state.MovieOpen);
    EXPECT_TRUE(sendToPlayer(player::kEditCommand));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return second.ctx().state.MovieOpen && second.ctx().table.CurrentAnchor >= 0; },
        20000));
    EXPECT_EQ(second.ctx().doc.PathName, mob);
    EXPECT_EQ(second.ctx().table.CurrentAnchor, second.ctx().table.FindByID("BUS2"));
    EXPECT_EQ(second.field(1013), "BUS2");
    EXPECT_EQ(second.frameNow(), 20);
    EXPECT_TRUE(second.ctx().state.RectShown);

    EXPECT_TRUE(sendToPlayer(player::kQuitCommand, 5000));
    EXPECT_TRUE(
        QTest::qWaitFor([] { return !toplevel::topLevelWindowExists(kPlayerTitle); }, 10000));
    endProcess(player, kPlayerTitle);
}

TEST(PlayerRoundTrip, ThePlayerStartsTheEditorWithItsOption) {
    Files& f = Files::get();
    testApplication();
    const std::string one = f.movie("one.avi"), other = f.movie("other.avi");
    ASSERT_FALSE(toplevel::topLevelWindowExists(kEditorTitle));

    QProcess player;
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(program("qxmplay"), {"/I\"from the test\"", QString::fromStdString(one)});
    ASSERT_TRUE(
        QTest::qWaitFor([] { return toplevel::topLevelWindowExists(kPlayerTitle); }, 30000));
    // A second start hands its file to the player that runs, and ends.
    QProcess again;
    again.start(program("qxmplay"), {QString::fromStdString(other)});
    ASSERT_TRUE(again.waitForFinished(30000));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_EQ(holderOf(kPlayerTitle), player.processId());

    // No editor runs: the player starts one beside itself, with its own option, and the
    // request is acknowledged once that editor's link is up.
    EXPECT_TRUE(sendToPlayer(player::kEditCommand));
    ASSERT_TRUE(toplevel::topLevelWindowExists(kEditorTitle));
    const qint64 editor = holderOf(kEditorTitle);
    ASSERT_GT(editor, 0);
    EXPECT_EQ(commandLineOf(editor), QStringList({program("qxmedit"), "/Ifrom the test"}));
    endProcess(editor, kEditorTitle);

    EXPECT_TRUE(sendToPlayer(player::kQuitCommand, 5000));
    EXPECT_TRUE(player.waitForFinished(10000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
}

} // namespace
} // namespace qxm::editor
