#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <vector>

#include "platform/instancechannel.h"
#include "platform/socketfd.h"
#include "testenv.h"

namespace {

// Sends from another thread, as a second process would, while this thread
// runs the receiving instance's events; returns once the send returned, with
// whether the instance answered that it closes.
bool SendFromOutside(const QString& title, std::uint8_t message) {
    std::atomic<bool> done{false};
    bool closing = false;
    std::thread sender([&] {
        if (auto running = RunningInstance::find(title)) closing = running->send(message);
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    sender.join();
    return closing;
}

QString UniqueTitle(const char* base) {
    return QStringLiteral("%1 %2").arg(base).arg(QCoreApplication::applicationPid());
}

// A bare socket on the channel's name, for a peer that breaks the rules:
// bound and listening, or connected to the instance.
SocketFd RawChannelSocket(const QString& title, bool listening) {
    const QByteArray name = InstanceChannelName(title).toUtf8();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.constData(), static_cast<std::size_t>(name.size()));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    SocketFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const auto* at = reinterpret_cast<const sockaddr*>(&address);
    const bool ready = listening ? ::bind(socket.fd(), at, length) == 0 && ::listen(socket.fd(), 4) == 0
                                 : ::connect(socket.fd(), at, length) == 0;
    if (!ready) socket.reset();
    return socket;
}

TEST(InstanceChannel, FoundOnlyUnderItsOwnTitleAndDataRoot) {
    const QString title = UniqueTitle("Tunevale v1.00 test");
    EXPECT_EQ(RunningInstance::find(title), nullptr);
    {
        InstanceServer server([](std::uint8_t) { return false; });
        ASSERT_TRUE(server.listen(title, 0));
        EXPECT_NE(RunningInstance::find(title), nullptr);
        EXPECT_EQ(RunningInstance::find(title + "0"), nullptr);
        {
            const std::string otherRoot = std::string(getenv("TUNEVALE_HOME")) + "-other";
            testenv::ScopedEnv other("TUNEVALE_HOME", otherRoot.c_str());
            EXPECT_EQ(RunningInstance::find(title), nullptr);
        }
        // A second listener under a taken title gives up.
        InstanceServer second([](std::uint8_t) { return false; });
        EXPECT_FALSE(second.listen(title, 100));
    }
    EXPECT_EQ(RunningInstance::find(title), nullptr) << "the name outlived its server";
}

TEST(InstanceChannel, TheSenderWaitsUntilTheMessageWasHandled) {
    const QString title = UniqueTitle("wait");
    std::vector<int> order;
    InstanceServer server([&](std::uint8_t m) {
        order.push_back(m);
        // The answer must not leave before the handler ends, however long
        // the user takes.
        QThread::msleep(200);
        order.push_back(-1);
        return false;
    });
    ASSERT_TRUE(server.listen(title, 0));
    // A sender that connects and goes away without a message disturbs nothing.
    std::thread([&] { RunningInstance::find(title); }).join();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    SendFromOutside(title, WM_QUERYOPEN);
    EXPECT_FALSE(SendFromOutside(title, WM_CLOSE)) << "a refused close answers so";
    EXPECT_EQ(order, (std::vector<int>{WM_QUERYOPEN, -1, WM_CLOSE, -1}));
    EXPECT_TRUE(server.isListening()) << "a refused close keeps the instance findable";
}

TEST(InstanceChannel, AnAcceptedCloseFreesTheTitleBeforeTheAnswer) {
    const QString title = UniqueTitle("close");
    InstanceServer server([](std::uint8_t m) { return m == WM_CLOSE; });
    ASSERT_TRUE(server.listen(title, 0));
    EXPECT_TRUE(SendFromOutside(title, WM_CLOSE));
    EXPECT_FALSE(server.isListening());
    InstanceServer successor([](std::uint8_t) { return false; });
    EXPECT_TRUE(successor.listen(title, 0));
}

// Peers that go away: a sender that leaves before its answer costs the
// instance nothing (no SIGPIPE, the next message is handled), and an
// instance that ends without answering lets the sender go.
TEST(InstanceChannel, APeerThatLeavesEndsNothingAndWaitsForNothing) {
    const QString title = UniqueTitle("leave");
    std::vector<int> handled;
    {
        InstanceServer server([&](std::uint8_t m) {
            handled.push_back(m);
            return false;
        });
        ASSERT_TRUE(server.listen(title, 0));
        {
            SocketFd early = RawChannelSocket(title, false);
            ASSERT_TRUE(early.isOpen());
            const char message = WM_QUERYOPEN;
            ASSERT_EQ(::send(early.fd(), &message, 1, MSG_NOSIGNAL), 1);
        }
        for (int i = 0; i < 50 && handled.empty(); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(handled, std::vector<int>{WM_QUERYOPEN});
        EXPECT_FALSE(SendFromOutside(title, WM_CLOSE));
        EXPECT_EQ(handled, (std::vector<int>{WM_QUERYOPEN, WM_CLOSE}));
        EXPECT_TRUE(server.isListening());
    }

    SocketFd mute = RawChannelSocket(title, true);
    ASSERT_TRUE(mute.isOpen());
    std::thread instance([&] {
        SocketFd peer(::accept(mute.fd(), nullptr, nullptr));
        char message = 0;
        ::recv(peer.fd(), &message, 1, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    auto running = RunningInstance::find(title);
    ASSERT_NE(running, nullptr);
    EXPECT_FALSE(running->send(WM_CLOSE));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    instance.join();
}

}  // namespace
