// The editor's Movie Player command against a stand-in player (FakePlayer.cpp) that records
// how it was started and what it was handed, and the text forms of the link.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "EditorHarness.h"
#include "editor/anchors/AnchorFile.h"
#include "editor/shell/CMainFrame.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/CommandIds.h"
#include "editor/view/OpenRequest.h"
#include "editor/view/PlayerLink.h"
#include "platform/toplevel/TopLevelPresence.h"

namespace qxm::editor {
namespace {

using namespace testing;

// The fake player's working folder, where it keeps its log; every process it started is ended.
class FakePlayerFolder {
public:
    ~FakePlayerFolder() {
        for (const qint64 pid : started_) {
            ::kill(pid_t(pid), SIGTERM);
            // Gone, its window with it, before the next case looks for one.
            EXPECT_TRUE(QTest::qWaitFor([pid] { return !running(pid); }, 5000));
        }
    }
    std::string path() const { return dir_.path().toStdString(); }
    void started(qint64 pid) {
        if (pid > 0) started_.push_back(pid);
    }
    QStringList log() const {
        QFile file(dir_.filePath(QStringLiteral("fake-player.log")));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList lines(const QString& prefix) const {
        QStringList out;
        for (const QString& line : log())
            if (line.startsWith(prefix + QLatin1Char(' '))) out.append(line);
        return out;
    }

private:
    static bool running(qint64 pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return false;
        const QByteArray fields = stat.readAll();
        const qsizetype name = fields.lastIndexOf(')');
        return name >= 0 && fields.mid(name + 2, 1) != "Z";
    }

    QTemporaryDir dir_;
    std::vector<qint64> started_;
};

PlayerLinkSettings fakePlayer(int waitMs = 20000) {
    return {QStringLiteral(QXM_FAKE_PLAYER), waitMs};
}

void writeAnchors(const std::string& movie) {
    const QFileInfo info(QString::fromStdString(movie));
    ASSERT_TRUE(anchors::WriteAnchorObjectFile(
        info.path().toStdString(), info.completeBaseName().toStdString(),
        {anchor("CAR1", "Car", 5, 40), anchor("BUS2", "Bus", 20, 60)}));
}

TEST(PlayerLinkText, HandOverAndOpenRequestForms) {
    const std::string p200(200, 'p');
    const struct {
        std::string path, id;
        std::optional<std::string> handOver;
    } cases[] = {
        {"C:\\m\\a.mob", "Anc1", "\"C:\\m\\a.mob\",Anc1,0"},
        {"/m/a,b.mob", "", "\"/m/a,b.mob\",,0"},
        // 255 bytes in all is the most the player is sent; a byte more is refused whole.
        {"/" + std::string(241, 'x'), "ABCDEFGH", "\"/" + std::string(241, 'x') + "\",ABCDEFGH,0"},
        {"/" + std::string(242, 'x'), "ABCDEFGH", std::nullopt},
        {"/m/say \"hi\".avi", "A", std::nullopt}, // the player could not tell where it ends
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(HandOverText(c.path, c.id), c.handOver);
        if (!c.handOver) continue;
        // What the player reads back is what was sent, NUL or not.
        for (const std::string& sent : {*c.handOver, *c.handOver + std::string(1, '\0')}) {
            const auto read = ParseHandOver(sent);
            ASSERT_TRUE(read);
            EXPECT_EQ(read->path, c.path);
            EXPECT_EQ(read->anchorId, c.id);
        }
    }
    // A plain path is a path; nothing is nothing.
    EXPECT_EQ(ParseHandOver("/m/plain.avi")->path, "/m/plain.avi");
    EXPECT_EQ(ParseHandOver("\"/m/unclosed.avi")->path, "\"/m/unclosed.avi");
    EXPECT_FALSE(ParseHandOver(std::string(1, '\0')));

    // The editor's server keeps 128 bytes of a request: the player sends no more, so what the
    // editor parses is exactly the path and ID the player meant.
    for (const std::string& path : {std::string("/m/\xe5\x8b\x95\xe7\x94\xbb,1.mob"),
                                    "/" + std::string(118, 'y')}) { // 128 bytes in all
        SCOPED_TRACE(path);
        const auto request = OpenRequestText(path, "BUS2");
        ASSERT_TRUE(request);
        const OpenRequest parsed = ParseOpenRequest(*request + std::string(1, '\0'));
        EXPECT_EQ(parsed.path, path);
        EXPECT_EQ(parsed.anchorId, "BUS2");
        EXPECT_TRUE(parsed.anchorIdSet);
    }
    EXPECT_FALSE(OpenRequestText("/" + std::string(119, 'y'), "BUS2"));
    EXPECT_FALSE(OpenRequestText(p200, ""));
}

// Without a movie the command only makes sure the player runs; with one it saves after asking,
// hands the document and the current anchor to the player that runs (not starting another)
// and closes the editor.
TEST(PlayerLink, StartsThePlayerOnceThenHandsOverAndCloses) {
    const std::string clip = Files::get().movie("link.avi");
    writeAnchors(clip);
    FakePlayerFolder player;
    auto editor = std::make_unique<Editor>(std::vector<std::string>{"/Iserve and log"});
    Editor& e = *editor;
    ASSERT_TRUE(e.started);
    e.ctx().StartFolder = player.path();
    EXPECT_EQ(e.ctx().PlayerOption, "serve and log");
    EXPECT_TRUE(e.enabled(ID_LINK_PLAYER));
    e.ctx().PlayerOption.clear();
    EXPECT_FALSE(e.enabled(ID_LINK_PLAYER));
    e.ctx().PlayerOption = "serve and log";

    PlayerLinkResult r = LinkToPlayer(e.ctx(), e.view(), e.frame(), fakePlayer());
    player.started(r.startedPid);
    EXPECT_GT(r.startedPid, 0);
    EXPECT_FALSE(r.handedOver || r.closing);
    EXPECT_EQ(player.lines("start"), QStringList{"start /I\"serve and log\""});
    EXPECT_EQ(player.lines("cwd"), QStringList{"cwd " + QString::fromStdString(player.path())});
    EXPECT_TRUE(player.lines("execute").isEmpty());
    EXPECT_TRUE(e.prompts.prompts.empty());
    QTest::qWait(200);
    EXPECT_TRUE(e.frame().isVisible());

    ASSERT_TRUE(e.open(clip));
    const int bus = e.ctx().table.FindByID("BUS2");
    ASSERT_GE(bus, 0);
    e.view().ActivateAnchor(bus);
    e.ctx().table.AnchorDataSaved = false;
    const std::string obj = clip.substr(0, clip.size() - 4) + ".obj";
    ASSERT_TRUE(QFile::remove(QString::fromStdString(obj)));
    e.prompts.queue(Answer::Ok);
    r = LinkToPlayer(e.ctx(), e.view(), e.frame(), fakePlayer());
    player.started(r.startedPid);

    ASSERT_EQ(e.prompts.prompts.size(), 1u);
    EXPECT_EQ(e.prompts.prompts[0].text, text::kSaveChanges);
    EXPECT_EQ(e.prompts.prompts[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(e.prompts.prompts[0].icon, Icon::Question);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(obj)));
    EXPECT_TRUE(e.ctx().table.AnchorDataSaved);
    EXPECT_EQ(r.startedPid, 0); // its window is there: no second player
    EXPECT_EQ(player.lines("start").size(), 1);
    EXPECT_TRUE(r.handedOver);
    EXPECT_EQ(player.lines("execute"),
              QStringList{"execute \"" + QString::fromStdString(clip) + "\",BUS2,0\\0"});
    // The close is the main window's own, after the command.
    EXPECT_TRUE(r.closing);
    EXPECT_TRUE(e.frame().isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !e.frame().isVisible(); }, 5000));

    // With no anchor shown the ID is left empty.
    editor.reset();
    Editor again({"/Iserve and log"});
    ASSERT_TRUE(again.started);
    ASSERT_TRUE(again.open(clip));
    r = LinkToPlayer(again.ctx(), again.view(), again.frame(), fakePlayer());
    EXPECT_TRUE(r.handedOver);
    EXPECT_EQ(player.lines("execute").value(1),
              "execute \"" + QString::fromStdString(clip) + "\",,0\\0");
}

// Every way the command stops short leaves the editor as it was, with the movie open, and
// starts nothing that could receive the file.
TEST(PlayerLink, StopsShortWithoutLosingAnything) {
    const std::string clip = Files::get().movie("stay.avi");
    writeAnchors(clip);
    const std::string deep = Files::get().path(std::string(240, 'd'));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(deep)));
    const std::string longClip = Files::get().movie(std::string(240, 'd') + "/long.avi");
    ASSERT_GT(longClip.size() + 2 + 7, link::kMaxHandOverBytes);

    enum class Way { Cancel, NoProgram, TooLong, NeverShows };
    const struct {
        Way way;
        const char* message;
        bool started;
    } cases[] = {
        {Way::Cancel, text::kSaveChanges, false},
        {Way::NoProgram, text::kPlayerFailed, false},
        {Way::TooLong, text::kPlayerFailed, false},
        {Way::NeverShows, text::kPlayerFailed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.way));
        FakePlayerFolder player;
        Editor e({"/Isilent"});
        ASSERT_TRUE(e.open(c.way == Way::TooLong ? longClip : clip));
        e.ctx().StartFolder = player.path();
        e.view().ActivateAnchor(0);
        PlayerLinkSettings settings = fakePlayer(1500);
        if (c.way == Way::NoProgram) settings.program = QStringLiteral("/nonexistent/qxmplay");
        if (c.way == Way::Cancel) {
            e.ctx().table.AnchorDataSaved = false;
            e.prompts.queue(Answer::Cancel);
        }
        const PlayerLinkResult r = LinkToPlayer(e.ctx(), e.view(), e.frame(), settings);
        player.started(r.startedPid);

        EXPECT_EQ(e.prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(e.ctx().table.AnchorDataSaved, c.way != Way::Cancel); // nothing saved either
        EXPECT_EQ(r.startedPid > 0, c.started);
        EXPECT_EQ(!player.lines("start").isEmpty(), c.started);
        EXPECT_FALSE(r.handedOver || r.closing);
        QTest::qWait(100);
        EXPECT_TRUE(e.frame().isVisible());
        EXPECT_TRUE(e.ctx().state.MovieOpen);
        EXPECT_FALSE(toplevel::topLevelWindowExists(QString::fromUtf8(link::kPlayerTitle)));
    }
}

} // namespace
} // namespace qxm::editor
