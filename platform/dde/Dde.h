#pragma once
// Dynamic data exchange between programs of one user: a server registers a service name and
// accepts conversations on its topics; a client opens a conversation with a service and a topic
// and sends execute transactions (text), each answered with a positive or negative
// acknowledgement. Service and topic names compare without regard to case.
//
// Transport: one local socket per service, <runtime folder>/qxm-dde/<fileNameFor(SERVICE)>
// (the service name in upper case), in a private folder (see platform/toplevel/RuntimeFiles.h).
// A running server also holds the exclusive lock <socket>.lock, which makes the service
// registered: a second server for it fails to start while the first lives, and a socket file
// left behind by a dead server is taken over.
//
// Wire protocol, one conversation per connection; lines end with '\n' and are at most
// kMaxLineLength bytes:
//   client  "CONNECT <service> <topic>"   both names percent-encoded UTF-8
//   server  "OK"                          the conversation is open, or
//           "REFUSED"                     unknown service or topic; the server closes
//   client  "EXECUTE <n>" and n bytes     n in decimal, 0 .. 2^31-1
//   server  "ACK" or "NACK"               the handler took the data, or refused it
// The server keeps the first kMaxExecuteData bytes (or what setMaxExecuteData says) of each
// execute's data and skips the rest
// as it arrives. Anything else (another word, a bad number, an over-long line) closes the
// connection, as does silence for the idle time-out while a message is incomplete (before
// CONNECT, inside a line, inside data). An open conversation may stay quiet between executes.
//
// Threading: everything runs on the thread of the server or client, from its Qt event loop.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>

#include "platform/toplevel/RuntimeFiles.h"

class QLocalServer;
class QLocalSocket;

namespace qxm::dde {

inline constexpr qsizetype kMaxExecuteData = 128; // bytes of an execute the server keeps
inline constexpr qsizetype kMaxLineLength = 256;  // protocol line, '\n' included
inline constexpr int kDefaultIdleTimeoutMs = 5000;
inline constexpr int kMaxConversations = 32; // more connections at once are closed at once

// The socket of a service; empty (with *error) when the runtime folder cannot be used or the
// path would be too long for a local socket.
QString serviceSocketPath(const QString& service, QString* error = nullptr);

// A DDE server: one service name, a fixed set of topics and one execute handler. The handler is
// called from the event loop with the topic as the client named it and the data (at most
// maxExecuteData() bytes); it returns true for a positive acknowledgement. It may stop the
// server but must not delete it.
class DdeServer : public QObject {
    Q_OBJECT
public:
    using ExecuteHandler = std::function<bool(const QString& topic, const QByteArray& data)>;

    explicit DdeServer(QObject* parent = nullptr);
    ~DdeServer() override;

    // Registers the service and starts accepting conversations on the given topics. Fails (with
    // a reason in *error) when the runtime folder cannot be used, when a live server has
    // registered the service already (in this process or another), or when already running.
    bool start(const QString& service, const QStringList& topics, ExecuteHandler handler,
               QString* error = nullptr);
    // Closes every conversation, removes the socket and gives the service up.
    void stop();
    bool running() const;
    QString service() const { return m_service; }

    // How long an incomplete message may stay silent before its connection is dropped.
    void setIdleTimeout(int ms) { m_idleTimeoutMs = ms; }
    // How many bytes of an execute's data the handler gets (at least 1; default
    // kMaxExecuteData). Applies to executes that begin after the call.
    void setMaxExecuteData(qsizetype bytes) { m_maxExecuteData = std::max<qsizetype>(1, bytes); }
    qsizetype maxExecuteData() const { return m_maxExecuteData; }

private:
    class Conversation;

    void acceptConnections();
    bool acceptsTopic(const QString& topic) const;

    QLocalServer* m_server = nullptr; // child; replaced on every start
    toplevel::ExclusiveFileLock m_registration;
    QString m_service;
    QStringList m_topics;
    ExecuteHandler m_handler;
    int m_idleTimeoutMs = kDefaultIdleTimeoutMs;
    qsizetype m_maxExecuteData = kMaxExecuteData;
};

// A DDE client: at most one conversation at a time. Its calls wait in a local event loop (the
// thread keeps dispatching events, so a server in the same program is served meanwhile); they
// need a QCoreApplication.
class DdeClient {
public:
    DdeClient();
    ~DdeClient();
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    // Opens a conversation (closing any earlier one). True when the server accepted service and
    // topic within timeoutMs.
    bool connect(const QString& service, const QString& topic, int timeoutMs = 5000);
    // Sends an execute transaction. True only for a positive acknowledgement within timeoutMs.
    // A negative acknowledgement keeps the conversation; a time-out or a lost connection ends it.
    bool execute(const QByteArray& text, int timeoutMs = 60000);
    void disconnect();
    bool connected() const;

private:
    std::unique_ptr<QLocalSocket> m_socket;
};

} // namespace qxm::dde
