#include "platform/dde/Dde.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>
#include <QUrl>

namespace qxm::dde {
namespace {

// Runs a local event loop while `waiting` holds and the deadline has not passed, waking on
// every change of the socket.
template <typename Condition>
void waitWhile(QLocalSocket& socket, const QDeadlineTimer& deadline, Condition waiting) {
    while (waiting() && !deadline.hasExpired()) {
        QEventLoop loop;
        QObject::connect(&socket, &QLocalSocket::stateChanged, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QLocalSocket::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (!deadline.isForever()) timer.start(std::chrono::milliseconds(deadline.remainingTime()));
        loop.exec();
    }
}

// The server's next answer line ('\n' included), or empty after a time-out or a closed
// connection.
QByteArray readAnswer(QLocalSocket& socket, const QDeadlineTimer& deadline) {
    waitWhile(socket, deadline, [&] {
        return socket.state() == QLocalSocket::ConnectedState && !socket.canReadLine() &&
               socket.bytesAvailable() < kMaxLineLength;
    });
    return socket.canReadLine() ? socket.readLine(kMaxLineLength + 1) : QByteArray();
}

} // namespace

DdeClient::DdeClient() = default;

DdeClient::~DdeClient() {
    disconnect();
}

bool DdeClient::connect(const QString& service, const QString& topic, int timeoutMs) {
    disconnect();
    const QString path = serviceSocketPath(service);
    if (path.isEmpty()) return false;
    const QDeadlineTimer deadline(timeoutMs);
    m_socket = std::make_unique<QLocalSocket>();
    m_socket->connectToServer(path);
    waitWhile(*m_socket, deadline,
              [&] { return m_socket->state() == QLocalSocket::ConnectingState; });
    if (connected()) {
        m_socket->write("CONNECT " + QUrl::toPercentEncoding(service) + ' ' +
                        QUrl::toPercentEncoding(topic) + '\n');
        if (readAnswer(*m_socket, deadline) == "OK\n") return true;
    }
    disconnect();
    return false;
}

bool DdeClient::execute(const QByteArray& text, int timeoutMs) {
    if (!connected()) return false;
    const QDeadlineTimer deadline(timeoutMs);
    m_socket->write("EXECUTE " + QByteArray::number(text.size()) + '\n');
    m_socket->write(text);
    const QByteArray answer = readAnswer(*m_socket, deadline);
    if (answer == "ACK\n") return true;
    // After a time-out or a garbled answer a late reply would be taken for the next one.
    if (answer != "NACK\n") disconnect();
    return false;
}

void DdeClient::disconnect() {
    if (m_socket) m_socket->abort();
    m_socket.reset();
}

bool DdeClient::connected() const {
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

} // namespace qxm::dde
