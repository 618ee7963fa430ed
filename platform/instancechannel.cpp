#include "platform/instancechannel.h"

#include "platform/paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <unistd.h>

// Instances matter to each other only when they share a library: the name
// carries the data root as well as the user, so a program run on another
// data root (a test, a second library) neither finds nor closes this one.
QString InstanceChannelName(const QString& key) {
    const QByteArray root = QByteArray::fromStdString(DataRoot());
    const QByteArray rootKey = QCryptographicHash::hash(root, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("tunevale-%1-%2-%3")
        .arg(static_cast<qulonglong>(::getuid()))
        .arg(QString::fromLatin1(rootKey))
        .arg(QString::fromLatin1(key.toUtf8().toHex()));
}

std::unique_ptr<RunningInstance> RunningInstance::find(const QString& key) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket->connectToServer(InstanceChannelName(key));
    // A local connect either succeeds at once or fails at once.
    if (!socket->waitForConnected(5000)) return nullptr;
    return std::unique_ptr<RunningInstance>(new RunningInstance(std::move(socket)));
}

RunningInstance::RunningInstance(std::unique_ptr<QLocalSocket> socket) : socket_(std::move(socket)) {}

RunningInstance::~RunningInstance() = default;

bool RunningInstance::send(std::uint8_t message) {
    const char byte = static_cast<char>(message);
    socket_->write(&byte, 1);
    if (!socket_->waitForBytesWritten(5000)) return false;
    while (socket_->state() == QLocalSocket::ConnectedState && socket_->bytesAvailable() == 0)
        socket_->waitForReadyRead(-1);
    char answer = 0;
    const bool closing = socket_->read(&answer, 1) == 1 && answer == 1;
    socket_->disconnectFromServer();
    return closing;
}

InstanceServer::InstanceServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::onNewConnection);
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::listen(const QString& key, int retryMs) {
    const QString name = InstanceChannelName(key);
    QDeadlineTimer deadline(retryMs);
    while (!server_->listen(name)) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
    return true;
}

void InstanceServer::close() { server_->close(); }

bool InstanceServer::isListening() const { return server_->isListening(); }

void InstanceServer::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        if (socket->bytesAvailable() > 0) onReadyRead(socket);
    }
}

void InstanceServer::onReadyRead(QLocalSocket* socket) {
    char byte;
    if (socket->read(&byte, 1) != 1) return;
    // One message per connection; anything after it is ignored.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    QPointer<QLocalSocket> guard(socket);
    const std::uint8_t message = static_cast<std::uint8_t>(byte);
    // The handler may run a modal question; it must not run inside the
    // socket's own signal.
    QMetaObject::invokeMethod(
        this, [this, guard, message] { handle(guard, message); }, Qt::QueuedConnection);
}

void InstanceServer::handle(QLocalSocket* socket, std::uint8_t message) {
    QPointer<QLocalSocket> guard(socket);
    const bool closing = handler_ ? handler_(message) : false;
    if (closing) server_->close();
    if (!guard || guard->state() != QLocalSocket::ConnectedState) return;
    const char answer = closing ? 1 : 0;
    guard->write(&answer, 1);
    guard->flush();
    guard->waitForBytesWritten(1000);
    guard->disconnectFromServer();
}
