#include "platform/instancechannel.h"

#include "platform/paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
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

namespace {

// A name that starts with a zero byte lives in the abstract namespace: it
// goes with the last socket bound to it and never touches the file system.
// False for a name too long for an address.
bool ChannelAddress(const QString& key, sockaddr_un* address, socklen_t* length) {
    const QByteArray name = InstanceChannelName(key).toUtf8();
    std::memset(address, 0, sizeof *address);
    if (static_cast<std::size_t>(name.size()) + 1 > sizeof address->sun_path) return false;
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path + 1, name.constData(), static_cast<std::size_t>(name.size()));
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(name.size()));
    return true;
}

const sockaddr* AsAddress(const sockaddr_un& address) { return reinterpret_cast<const sockaddr*>(&address); }

// One byte each way; a peer that went away must not end this process with
// SIGPIPE.
bool SendByte(int fd, char byte) {
    ssize_t sent;
    do sent = ::send(fd, &byte, 1, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == 1;
}

}  // namespace

struct InstanceServer::Connection {
    SocketFd socket;
    QSocketNotifier* notifier = nullptr;  // a child of the server
};

std::unique_ptr<RunningInstance> RunningInstance::find(const QString& key) {
    sockaddr_un address;
    socklen_t length;
    if (!ChannelAddress(key, &address, &length)) return nullptr;
    SocketFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.isOpen()) return nullptr;
    // A local connect is answered at once, unless the instance's queue of
    // new connections is full (many starts at once): that is waited out for
    // a while, and the message byte gets the same while.
    const timeval limit{5, 0};
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    int connected;
    do connected = ::connect(socket.fd(), AsAddress(address), length);
    while (connected != 0 && errno == EINTR);
    if (connected != 0 && errno != EISCONN) return nullptr;
    return std::unique_ptr<RunningInstance>(new RunningInstance(std::move(socket)));
}

RunningInstance::RunningInstance(SocketFd socket) : socket_(std::move(socket)) {}

RunningInstance::~RunningInstance() = default;

bool RunningInstance::send(std::uint8_t message) {
    if (!SendByte(socket_.fd(), static_cast<char>(message))) return false;
    // No time limit: the answer comes when the instance has handled the
    // message, which may wait for the user.
    char answer = 0;
    ssize_t got;
    do got = ::recv(socket_.fd(), &answer, 1, 0);
    while (got < 0 && errno == EINTR);
    socket_.reset();
    return got == 1 && answer == 1;
}

InstanceServer::InstanceServer(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {}

InstanceServer::~InstanceServer() {
    // A notifier goes before its descriptor.
    for (auto& entry : connections_) delete entry.second->notifier;
    close();
}

bool InstanceServer::listen(const QString& key, int retryMs) {
    if (listener_.isOpen()) return false;
    sockaddr_un address;
    socklen_t length;
    if (!ChannelAddress(key, &address, &length)) return false;
    SocketFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.isOpen()) return false;
    QDeadlineTimer deadline(retryMs);
    // The name is free again once the instance holding it has closed its
    // socket, which a closing instance does just before its answer.
    while (::bind(socket.fd(), AsAddress(address), length) != 0) {
        if (errno != EADDRINUSE || deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
    if (::listen(socket.fd(), SOMAXCONN) != 0) return false;
    listener_ = std::move(socket);
    listenerNotifier_ = new QSocketNotifier(listener_.fd(), QSocketNotifier::Read, this);
    connect(listenerNotifier_, &QSocketNotifier::activated, this, &InstanceServer::onNewConnection);
    return true;
}

void InstanceServer::close() {
    if (listenerNotifier_) {
        // close may come from a slot of this very notifier.
        listenerNotifier_->setEnabled(false);
        listenerNotifier_->deleteLater();
        listenerNotifier_ = nullptr;
    }
    listener_.reset();
}

bool InstanceServer::isListening() const { return listener_.isOpen(); }

void InstanceServer::onNewConnection() {
    while (listener_.isOpen()) {
        const int fd = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // The queue is empty, or no descriptor is left: the notifier
            // comes back while connections wait.
            return;
        }
        const std::uint64_t id = nextConnection_++;
        auto connection = std::make_unique<Connection>();
        connection->socket.reset(fd);
        connection->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(connection->notifier, &QSocketNotifier::activated, this, [this, id] { onReadable(id); });
        connections_.emplace(id, std::move(connection));
    }
}

void InstanceServer::onReadable(std::uint64_t id) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    char byte;
    ssize_t got;
    do got = ::recv(it->second->socket.fd(), &byte, 1, 0);
    while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // Gone without a message, or broken.
    if (got != 1) return drop(id);
    // One message per connection; anything after it is ignored.
    it->second->notifier->setEnabled(false);
    const std::uint8_t message = static_cast<std::uint8_t>(byte);
    // The handler may run a modal question; it must not run inside the
    // socket's own signal.
    QMetaObject::invokeMethod(
        this, [this, id, message] { handle(id, message); }, Qt::QueuedConnection);
}

void InstanceServer::handle(std::uint64_t id, std::uint8_t message) {
    const bool closing = handler_ ? handler_(message) : false;
    if (closing) close();
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    // A sender that went away meanwhile simply misses its answer.
    SendByte(it->second->socket.fd(), closing ? 1 : 0);
    drop(id);
}

void InstanceServer::drop(std::uint64_t id) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    // Called from the notifier's own signal too.
    it->second->notifier->setEnabled(false);
    it->second->notifier->deleteLater();
    connections_.erase(it);
}
