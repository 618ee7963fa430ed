#pragma once
// How one start of the program finds and addresses a running instance: the
// running instance listens on a local socket named after a key (with the
// user and the data root), a starting one connects to that key.
// A message is one byte; the receiver answers one byte once it has handled
// the message, and the sender waits for that answer, however long handling
// takes (the close message waits for the user's answer to the quit
// question). The answer says whether the instance is closing. The socket
// lives in the abstract namespace, so a crashed instance leaves nothing
// behind, and only one process can listen under a name.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/socketfd.h"

class QSocketNotifier;

constexpr std::uint8_t WM_CLOSE = 16;
constexpr std::uint8_t WM_QUERYOPEN = 19;

// "tunevale-<uid>-<data root's hash>-<key's UTF-8 in hex>".
QString InstanceChannelName(const QString& key);

// A connection to a running instance found by its key.
class RunningInstance {
public:
    // nullptr when no instance listens under that key.
    static std::unique_ptr<RunningInstance> find(const QString& key);
    ~RunningInstance();

    // Sends the message and waits until the instance has handled it or has
    // gone away. True when the instance answered that it is closing.
    bool send(std::uint8_t message);

private:
    explicit RunningInstance(SocketFd socket);
    SocketFd socket_;
};

// The running instance's side. The handler runs on the GUI thread, outside
// the socket's own signal, and returns true when the instance should stop
// being found (it is closing): the channel then stops listening before it
// answers, so the sender can take over the title at once.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(std::uint8_t message)>;

    explicit InstanceServer(Handler handler, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Starts listening under the key; retries for up to retryMs while
    // another process still holds the name (an instance that is closing).
    bool listen(const QString& key, int retryMs = 2000);
    void close();
    bool isListening() const;

private:
    struct Connection;
    void onNewConnection();
    void onReadable(std::uint64_t id);
    void handle(std::uint64_t id, std::uint8_t message);
    void drop(std::uint64_t id);

    Handler handler_;
    SocketFd listener_;
    QSocketNotifier* listenerNotifier_ = nullptr;  // a child, while listening
    // Connections that have not had their answer yet, by a number that
    // outlives them, so a late event never finds a closed one.
    std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
    std::uint64_t nextConnection_ = 0;
};
