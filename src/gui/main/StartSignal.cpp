#include "main/StartSignal.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

const QByteArray kRequest = "show\n";
const QByteArray kAnswer = "ok\n";

} // namespace

QString CStartSignal::ServerName(const std::string& homeFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(homeFolder), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    // The user's runtime folder (Qt makes a private one when the session has
    // none): no other account can even see the socket there.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/oculon-") + QString::fromLatin1(hash);
}

bool CStartSignal::SignalRunning(const QString& name, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (answer.size() < kAnswer.size() && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer.startsWith(kAnswer);
}

CStartSignal::CStartSignal(const QString& name, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        // A socket file left by a program that ended abnormally: nobody answers
        // on it (the caller has just tried), so it may go.
        QLocalServer::removeServer(name);
        m_server->listen(name);
    }
    // Only this user may ask the program to come up (Qt leaves the socket 0700).
    if (m_server->isListening())
        ::chmod(QFile::encodeName(m_server->fullServerName()).constData(), 0600);
    connect(m_server, &QLocalServer::newConnection, this, &CStartSignal::OnConnection);
}

CStartSignal::~CStartSignal() {
    Stop();
}

bool CStartSignal::IsListening() const {
    return m_server->isListening();
}

void CStartSignal::Stop() {
    if (m_server->isListening())
        m_server->close();
}

void CStartSignal::OnConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine(64);
            if (line == kRequest) {
                socket->write(kAnswer);
                socket->flush();
                emit StartRequested();
            }
            socket->disconnectFromServer();
        });
    }
}
