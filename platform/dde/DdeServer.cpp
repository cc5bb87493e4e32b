#include "platform/dde/Dde.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <utility>

namespace qxm::dde {
namespace {

constexpr qint64 kMaxDataLength = 0x7fffffff;
constexpr qint64 kReadBufferSize = 4096; // what a connection may have waiting in memory
constexpr int kProbeTimeoutMs = 1000;

bool fail(QString* error, const QString& reason) {
    if (error) *error = reason;
    return false;
}

// Whether a server accepts connections on the socket at path.
bool answers(const QString& path) {
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(kProbeTimeoutMs);
}

bool isDecimal(const QByteArray& text) {
    return !text.isEmpty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

// The server side of one connection; a child of its socket, so it goes with it.
class DdeServer::Conversation : public QObject {
public:
    Conversation(DdeServer& server, QLocalSocket* socket)
        : QObject(socket), m_server(server), m_socket(socket) {
        m_idle.setSingleShot(true);
        m_idle.setInterval(server.m_idleTimeoutMs);
        QObject::connect(&m_idle, &QTimer::timeout, this, [this] { drop(); });
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this] { readMessages(); });
        m_idle.start();
    }

private:
    enum class Stage { Greeting, Commands, Data };

    void readMessages();
    bool takeData(); // true when the current execute's data is complete
    void handleLine(const QByteArray& line);
    void greet(const QList<QByteArray>& words);
    void drop() {
        m_idle.stop();
        m_socket->abort();
    }

    DdeServer& m_server;
    QLocalSocket* m_socket;
    QTimer m_idle;
    Stage m_stage = Stage::Greeting;
    QString m_topic;
    qint64 m_remaining = 0;
    qsizetype m_limit = kMaxExecuteData; // of the current execute's data
    QByteArray m_data;
    bool m_busy = false;
};

void DdeServer::Conversation::readMessages() {
    if (m_busy) return; // woken inside the handler's own event loop; the outer call reads on
    const QPointer<Conversation> alive(this);
    m_busy = true;
    while (m_socket->state() == QLocalSocket::ConnectedState) {
        if (m_stage == Stage::Data) {
            if (!takeData()) break;
            const ExecuteHandler handler = m_server.m_handler; // the handler may restart us
            const bool accepted = handler && handler(m_topic, m_data);
            if (!alive) return;
            if (m_socket->state() == QLocalSocket::ConnectedState)
                m_socket->write(accepted ? "ACK\n" : "NACK\n");
            m_stage = Stage::Commands;
            m_data.clear();
            continue;
        }
        if (!m_socket->canReadLine()) {
            if (m_socket->bytesAvailable() >= kMaxLineLength) drop();
            break;
        }
        const QByteArray line = m_socket->readLine(kMaxLineLength + 1);
        if (line.size() > kMaxLineLength || !line.endsWith('\n')) {
            drop();
            break;
        }
        handleLine(line.chopped(1));
    }
    m_busy = false;
    // Silence is allowed only between whole messages of an open conversation.
    if (m_stage == Stage::Commands && m_socket->bytesAvailable() == 0)
        m_idle.stop();
    else if (m_socket->state() == QLocalSocket::ConnectedState)
        m_idle.start();
}

bool DdeServer::Conversation::takeData() {
    const qint64 keep =
        std::min({qint64(m_limit - m_data.size()), m_remaining, m_socket->bytesAvailable()});
    if (keep > 0) {
        const QByteArray part = m_socket->read(keep);
        m_data += part;
        m_remaining -= part.size();
    }
    if (m_remaining > 0 && m_data.size() == m_limit) {
        const qint64 skipped = m_socket->skip(m_remaining); // only what has arrived
        if (skipped < 0) {
            drop();
            return false;
        }
        m_remaining -= skipped;
    }
    return m_remaining == 0;
}

void DdeServer::Conversation::handleLine(const QByteArray& line) {
    const QList<QByteArray> words = line.split(' ');
    if (m_stage == Stage::Greeting) return greet(words);
    bool ok = false;
    const qint64 length = words.size() == 2 && words[0] == "EXECUTE" && isDecimal(words[1])
                              ? words[1].toLongLong(&ok)
                              : -1;
    if (!ok || length > kMaxDataLength) return drop();
    m_remaining = length;
    m_limit = m_server.m_maxExecuteData;
    m_data.clear();
    m_stage = Stage::Data;
}

void DdeServer::Conversation::greet(const QList<QByteArray>& words) {
    if (words.size() != 3 || words[0] != "CONNECT") return drop();
    const QString service = QUrl::fromPercentEncoding(words[1]);
    m_topic = QUrl::fromPercentEncoding(words[2]);
    if (service.compare(m_server.m_service, Qt::CaseInsensitive) != 0 ||
        !m_server.acceptsTopic(m_topic)) {
        m_socket->write("REFUSED\n");
        m_socket->disconnectFromServer(); // after the answer has gone out
        return;
    }
    m_socket->write("OK\n");
    m_stage = Stage::Commands;
}

DdeServer::DdeServer(QObject* parent) : QObject(parent) {}

DdeServer::~DdeServer() {
    stop();
}

bool DdeServer::start(const QString& service, const QStringList& topics, ExecuteHandler handler,
                      QString* error) {
    if (running()) return fail(error, QStringLiteral("the server is running already"));
    const QString path = serviceSocketPath(service, error);
    if (path.isEmpty()) return false;
    const QString lockPath = path + QStringLiteral(".lock");
    switch (m_registration.tryLock(lockPath, error)) {
    case toplevel::ExclusiveFileLock::Result::Locked:
        break;
    case toplevel::ExclusiveFileLock::Result::HeldElsewhere:
        return fail(error, QStringLiteral("service %1 is registered already").arg(service));
    case toplevel::ExclusiveFileLock::Result::Failed:
        return false;
    }
    auto server = std::make_unique<QLocalServer>();
    server->setMaxPendingConnections(kMaxConversations);
    bool listening = server->listen(path);
    // The registration is ours, so a socket file there is left over from a dead server. It is
    // taken over only when nothing answers on it.
    if (!listening && server->serverError() == QAbstractSocket::AddressInUseError) {
        if (answers(path)) {
            m_registration.release();
            return fail(error, path + QStringLiteral(": another program answers on it"));
        }
        listening = QLocalServer::removeServer(path) && server->listen(path);
    }
    if (!listening) {
        m_registration.release();
        return fail(error, path + QStringLiteral(": ") + server->errorString());
    }
    m_server = server.release();
    m_server->setParent(this);
    connect(m_server, &QLocalServer::newConnection, this, &DdeServer::acceptConnections);
    m_service = service;
    m_topics = topics;
    m_handler = std::move(handler);
    return true;
}

void DdeServer::stop() {
    QLocalServer* server = std::exchange(m_server, nullptr);
    if (!server) return;
    server->disconnect(this);
    server->close(); // removes the socket file
    for (QLocalSocket* socket : server->findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly))
        socket->abort();
    server->deleteLater(); // later: stop() may run inside a conversation's handler
    m_registration.release();
}

bool DdeServer::running() const {
    return m_server != nullptr;
}

bool DdeServer::acceptsTopic(const QString& topic) const {
    return m_topics.contains(topic, Qt::CaseInsensitive);
}

void DdeServer::acceptConnections() {
    while (m_server && m_server->hasPendingConnections()) {
        QLocalSocket* socket = m_server->nextPendingConnection();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto open = m_server->findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly);
        if (open.size() > kMaxConversations) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(kReadBufferSize);
        new Conversation(*this, socket); // owned by the socket
    }
}

} // namespace qxm::dde
