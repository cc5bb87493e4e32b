#include "platform/dde/Dde.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "RuntimeFolderTest.h"

namespace qxm::dde {
namespace {

const QString kService = QStringLiteral("ZIZAZI");
const QString kTopic = QStringLiteral("MESSAGE");

// Every case gets a runtime folder of its own, so cases may run side by side.
class DdeTest : public RuntimeFolderTest {
protected:
    // Starts the server on kService/kTopic; it records what it receives and refuses "no".
    void startServer(DdeServer& server) {
        QString error;
        ASSERT_TRUE(server.start(
            kService, {kTopic, QStringLiteral("Two words")},
            [this](const QString& topic, const QByteArray& data) {
                m_received.append({topic, data});
                return data != "no";
            },
            &error))
            << error.toStdString();
    }

    // A bare connection to the service's socket, for speaking the protocol by hand.
    static std::unique_ptr<QLocalSocket> rawConnection(const QString& service) {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(serviceSocketPath(service));
        EXPECT_TRUE(socket->waitForConnected(5000));
        return socket;
    }

    static bool closedByServer(QLocalSocket& socket) {
        return QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; },
                               10000);
    }

    QList<std::pair<QString, QByteArray>> m_received;
};

TEST_F(DdeTest, ServerAcceptsItsServiceAndTopicsWithoutRegardToCase) {
    DdeServer server;
    startServer(server);
    const struct {
        const char* service;
        const char* topic;
        bool accepted;
    } cases[] = {
        {"ZIZAZI", "MESSAGE", true},   {"zizazi", "message", true}, {"ZiZaZi", "Message", true},
        {"ZIZAZI", "TWO WORDS", true}, {"ZIZAZI", "OTHER", false},  {"ZIZAZI", "", false},
        {"VEZURO", "MESSAGE", false},  {"ZIZAZ", "MESSAGE", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.service) + "/" + c.topic);
        DdeClient client;
        EXPECT_EQ(client.connect(QString::fromUtf8(c.service), QString::fromUtf8(c.topic)),
                  c.accepted);
        EXPECT_EQ(client.connected(), c.accepted);
        EXPECT_EQ(client.execute("x", 5000), c.accepted);
    }
}

TEST_F(DdeTest, ExecuteDeliversUpTo128BytesAndKeepsTheConversationInStep) {
    DdeServer server;
    startServer(server);
    QByteArray thousand(1000, '\0');
    for (int i = 0; i < thousand.size(); ++i)
        thousand[i] = char('A' + i % 26);
    const QByteArray withNul("\"C:\\m\\a.mob\",Anc1,0", 20);
    const struct {
        QByteArray sent;
        QByteArray received;
        bool acknowledged;
    } cases[] = {
        {withNul, withNul, true},
        {QByteArray(), QByteArray(), true},
        {"EXECUTE 3\nab\n", "EXECUTE 3\nab\n", true}, // protocol words inside data are data
        {thousand.left(128), thousand.left(128), true},
        {thousand, thousand.left(128), true},
        {"no", "no", false}, // refused by the handler: the conversation goes on
        {"after", "after", true},
    };
    DdeClient client;
    ASSERT_TRUE(client.connect(QStringLiteral("zizazi"), QStringLiteral("Message")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent.left(20).toStdString());
        m_received.clear();
        EXPECT_EQ(client.execute(c.sent, 5000), c.acknowledged);
        ASSERT_EQ(m_received.size(), 1);
        EXPECT_EQ(m_received[0].first, QStringLiteral("Message")); // as the client named it
        EXPECT_EQ(m_received[0].second, c.received);
    }
}

// A server that takes longer texts (the player's 255-byte hand-over) keeps that much whole and
// still skips the rest in step with the protocol.
TEST_F(DdeTest, AServerMayKeepMoreOfAnExecute) {
    DdeServer server;
    server.setMaxExecuteData(256);
    startServer(server);
    QByteArray text(1000, '\0');
    for (int i = 0; i < text.size(); ++i)
        text[i] = char('a' + i % 26);
    DdeClient client;
    ASSERT_TRUE(client.connect(kService, kTopic));
    for (const int size : {255, 256, 257, 1000}) {
        SCOPED_TRACE(size);
        m_received.clear();
        EXPECT_TRUE(client.execute(text.left(size), 5000));
        ASSERT_EQ(m_received.size(), 1);
        EXPECT_EQ(m_received[0].second, text.left(std::min(size, 256)));
    }
}

TEST_F(DdeTest, ClientGivesUpOnAServerThatNeverAnswers) {
    // Opens conversations but never acknowledges an execute; it holds no registration.
    QLocalServer mute;
    ASSERT_TRUE(mute.listen(serviceSocketPath(kService)));
    QObject::connect(&mute, &QLocalServer::newConnection, [&] {
        QLocalSocket* socket = mute.nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, [socket] {
            if (socket->readAll().startsWith("CONNECT")) socket->write("OK\n");
        });
    });
    DdeClient client;
    ASSERT_TRUE(client.connect(kService, kTopic));
    EXPECT_FALSE(client.execute("hello", 300));
    EXPECT_FALSE(client.connected());

    // Something answers on the socket, so it is not taken over as a stale one.
    DdeServer server;
    QString error;
    EXPECT_FALSE(server.start(kService, {kTopic}, {}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(DdeTest, SilentConnectionsAreDroppedAndDoNotHoldUpOthers) {
    DdeServer server;
    server.setIdleTimeout(300);
    startServer(server);
    auto silent = rawConnection(kService);
    auto halfLine = rawConnection(kService);
    halfLine->write("CONNECT ZIZ");
    auto halfData = rawConnection(kService);
    halfData->write("CONNECT ZIZAZI MESSAGE\nEXECUTE 10\nabc");

    DdeClient client;
    ASSERT_TRUE(client.connect(kService, kTopic));
    EXPECT_TRUE(client.execute("served", 5000));
    for (QLocalSocket* socket : {silent.get(), halfLine.get(), halfData.get()})
        EXPECT_TRUE(closedByServer(*socket));
    // An open conversation may stay quiet between executes.
    EXPECT_TRUE(client.connected());
    EXPECT_TRUE(client.execute("still served", 5000));
    EXPECT_EQ(m_received.size(), 2);
}

TEST_F(DdeTest, MalformedInputClosesTheConnection) {
    DdeServer server;
    startServer(server);
    const QByteArray cases[] = {
        "HELLO\n",
        "CONNECT ZIZAZI\n",
        "CONNECT ZIZAZI MESSAGE extra\n",
        QByteArray(300, 'C'),
        "CONNECT ZIZAZI MESSAGE\nEXECUTE -5\n",
        "CONNECT ZIZAZI MESSAGE\nEXECUTE 12x\n",
        "CONNECT ZIZAZI MESSAGE\nEXECUTE 99999999999\n",
        "CONNECT ZIZAZI MESSAGE\nEXECUTE\n",
        "CONNECT ZIZAZI MESSAGE\nPOKE 3\nabc",
        "CONNECT ZIZAZI MESSAGE\n" + QByteArray(300, 'E') + "\n",
    };
    for (const QByteArray& input : cases) {
        SCOPED_TRACE(input.left(40).toStdString());
        auto socket = rawConnection(kService);
        socket->write(input);
        EXPECT_TRUE(closedByServer(*socket));
    }
    EXPECT_TRUE(m_received.isEmpty());
    DdeClient client;
    EXPECT_TRUE(client.connect(kService, kTopic));
    EXPECT_TRUE(client.execute("fine", 5000));
}

TEST_F(DdeTest, OneServerPerServiceAndStaleSocketsAreTakenOver) {
    DdeServer first, second;
    startServer(first);
    QString error;
    EXPECT_FALSE(second.start(QStringLiteral("zizazi"), {kTopic}, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    first.stop();
    EXPECT_FALSE(QFileInfo::exists(serviceSocketPath(kService)));
    EXPECT_TRUE(second.start(QStringLiteral("zizazi"), {kTopic}, {}, &error));
    second.stop();

    // A server in another process: registered while it lives, its socket left when killed.
    const QString service = QStringLiteral("Vezuro");
    QProcess player;
    player.start(QStringLiteral(QXM_DDE_SERVER_HELPER), {service, kTopic});
    ASSERT_TRUE(player.waitForReadyRead(10000));
    ASSERT_EQ(player.readLine().trimmed(), "ready");
    DdeClient client;
    ASSERT_TRUE(client.connect(QStringLiteral("VEZURO"), QStringLiteral("message")));
    EXPECT_TRUE(client.execute("yes", 5000));
    EXPECT_FALSE(client.execute("no", 5000));
    EXPECT_FALSE(first.start(QStringLiteral("VEZURO"), {kTopic}, {}, &error));

    player.kill();
    ASSERT_TRUE(player.waitForFinished(10000));
    EXPECT_TRUE(QFileInfo::exists(serviceSocketPath(service))); // stale
    EXPECT_FALSE(client.execute("yes", 5000));
    EXPECT_TRUE(first.start(QStringLiteral("VEZURO"), {kTopic}, {}, &error)) << error.toStdString();
    EXPECT_TRUE(client.connect(service, kTopic));
}

TEST_F(DdeTest, SocketFolderMustBePrivate) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs chown";
    const QByteArray folder = QFile::encodeName(m_runtime.filePath(QStringLiteral("qxm-dde")));
    for (const uid_t owner : {uid_t(65534), ::geteuid()}) {
        SCOPED_TRACE(owner);
        ASSERT_EQ(::mkdir(folder.constData(), 0777), 0);
        ASSERT_EQ(::chown(folder.constData(), owner, -1), 0);
        ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
        const bool ours = owner == ::geteuid(); // a loose mode of ours is narrowed
        DdeServer server;
        EXPECT_EQ(server.start(kService, {kTopic}, {}), ours);
        DdeClient client;
        EXPECT_EQ(client.connect(kService, kTopic), ours);
        struct stat info {};
        ASSERT_EQ(::stat(folder.constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, ours ? 0700u : 0777u);
        server.stop();
        ASSERT_TRUE(QDir(QFile::decodeName(folder)).removeRecursively());
    }
}

} // namespace
} // namespace qxm::dde
