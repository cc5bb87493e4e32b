#include "platform/toplevel/TopLevelPresence.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <utility>

#include "RuntimeFolderTest.h"

namespace qxm::toplevel {
namespace {

// Every case gets a runtime folder of its own, so cases may run side by side.
using TopLevelPresenceTest = RuntimeFolderTest;

// Starts the helper claiming title; its answer, "claimed" or "taken".
QByteArray startClaimer(QProcess& helper, const QString& title) {
    helper.start(QStringLiteral(QXM_PRESENCE_HELPER), {title});
    if (!helper.waitForReadyRead(10000)) return {};
    return helper.readLine().trimmed();
}

void stop(QProcess& helper) {
    helper.kill();
    helper.waitForFinished(10000);
}

TEST_F(TopLevelPresenceTest, AnotherProcessHoldsTheTitleUntilItDies) {
    const QString title = QStringLiteral("Movie Player");
    QProcess other;
    ASSERT_EQ(startClaimer(other, title), "claimed");
    EXPECT_TRUE(topLevelWindowExists(title));
    TopLevelPresence mine(title);
    EXPECT_FALSE(mine.claim());
    EXPECT_FALSE(mine.held());

    stop(other); // killed: no chance to release anything
    EXPECT_FALSE(topLevelWindowExists(title));
    ASSERT_TRUE(mine.claim());
    EXPECT_TRUE(mine.held());

    QProcess second;
    EXPECT_EQ(startClaimer(second, title), "taken");
    stop(second);
    // A program started while we hold the title does not keep it after we let go.
    QProcess child;
    ASSERT_EQ(startClaimer(child, QStringLiteral("Child")), "claimed");
    mine.release();
    EXPECT_FALSE(topLevelWindowExists(title));
    stop(child);
}

TEST_F(TopLevelPresenceTest, TitlesCompareExactlyWhateverTheirCharacters) {
    const QString longTitle(1000, QLatin1Char('x'));
    const std::pair<QString, QString> cases[] = {
        // title, a near neighbour that must count as another window
        {QStringLiteral("Movie Marquill"), QStringLiteral("movie marquill")},
        {QStringLiteral("Movie Marquill"), QStringLiteral("Movie Marquill ")},
        {QString(), QStringLiteral("%")},
        {QStringLiteral("."), QStringLiteral("..")},
        {QStringLiteral("a/b"), QStringLiteral("a%2Fb")},
        {QStringLiteral("%41"), QStringLiteral("A")},
        {QStringLiteral("映画 プレーヤー"), QStringLiteral("映画")},
        {QStringLiteral("tab\there\n"), QStringLiteral("tab here ")},
        {longTitle + QLatin1Char('1'), longTitle + QLatin1Char('2')},
    };
    for (const auto& [title, neighbour] : cases) {
        SCOPED_TRACE(title.left(20).toStdString());
        const QFileInfo file(presenceFilePath(title));
        EXPECT_EQ(file.absolutePath(), m_runtime.filePath(QStringLiteral("qxm-windows")));
        EXPECT_LE(QFile::encodeName(file.fileName()).size(), 255);

        TopLevelPresence presence(title), rival(title), next(neighbour);
        ASSERT_TRUE(presence.claim());
        EXPECT_TRUE(topLevelWindowExists(title));
        EXPECT_FALSE(topLevelWindowExists(neighbour));
        EXPECT_FALSE(rival.claim()); // in the same process too
        EXPECT_TRUE(next.claim());
        presence.release();
        EXPECT_FALSE(topLevelWindowExists(title));
        EXPECT_TRUE(rival.claim());
    }
}

TEST_F(TopLevelPresenceTest, WaitDispatchesEventsUntilTheWindowAppears) {
    const QString title = QStringLiteral("Movie Player");
    EXPECT_FALSE(waitForTopLevelWindow(title, 0));
    EXPECT_FALSE(waitForTopLevelWindow(title, 200));
    QProcess player;
    // Started from a timer: only a wait that dispatches events lets the player come up.
    QTimer::singleShot(100, [&] { player.start(QStringLiteral(QXM_PRESENCE_HELPER), {title}); });
    EXPECT_TRUE(waitForTopLevelWindow(title, 30000));
    stop(player);
}

} // namespace
} // namespace qxm::toplevel
