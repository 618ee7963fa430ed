#include "components/disc/cddbclient.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>

#include "components/disc/disclog.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/socketfd.h"

namespace {

constexpr const char* kCategoriesInOrder[] = {"rock", "misc", "blues", "classical", "country", "data",
                                              "folk", "jazz", "newage", "reggae", "soundtrack"};

std::string plusJoined(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ' ')
            out += '+';
        else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                 c == '-' || c == '_')
            out += c;
        else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

// The hello of every request: no user or host name leaves the machine.
std::string helloAndProto() { return "&hello=user+localhost+Tunevale+1.10&proto=6"; }

bool safeScript(const std::string& script) {
    if (script.empty() || script.front() != '/') return false;
    for (unsigned char c : script)
        if (c <= 0x20 || c >= 0x7f || c == '?' || c == '#') return false;
    return true;
}

bool safeHost(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    for (unsigned char c : host)
        if (c <= 0x20 || c >= 0x7f || c == '/' || c == '?' || c == '#' || c == '@') return false;
    return true;
}

// The one deadline of a call, and the stop that may end it sooner.
class CallClock {
public:
    CallClock(int deadlineMs, const CddbStopped& stopped) : deadlineMs_(deadlineMs), stopped_(stopped) {
        clock_.start();
    }
    int left() const { return static_cast<int>(std::max<qint64>(0, deadlineMs_ - clock_.elapsed())); }
    bool expired() const { return clock_.elapsed() >= deadlineMs_; }
    // Each wait is cut into slices, so that a stop is seen soon.
    int slice() const { return stopped_ ? std::min(left(), 100) : left(); }
    bool stopped() const { return stopped_ && stopped_(); }

private:
    QElapsedTimer clock_;
    int deadlineMs_;
    const CddbStopped& stopped_;
};

constexpr const char* kStopped = "stopped";
constexpr const char* kTimeLimit = "no answer within the time limit";

std::string errnoText(int error) { return std::strerror(error); }

// The system's resolver takes no deadline and cannot be stopped: it runs on
// a thread of its own, and a lookup given up on ends there by itself.
struct HostLookup {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    int status = 0;
    int systemError = 0;
    addrinfo* addresses = nullptr;
    ~HostLookup() {
        if (addresses) ::freeaddrinfo(addresses);
    }
};

std::string lookupError(const HostLookup& lookup) {
    switch (lookup.status) {
    case EAI_NONAME:
    case EAI_NODATA:
    case EAI_FAIL:
        return "Host not found";
    case EAI_SYSTEM:
        return errnoText(lookup.systemError);
    default:
        return ::gai_strerror(lookup.status);
    }
}

// The server's addresses, or an error text (the stop's, the deadline's or
// the resolver's).
std::string lookUpHost(const CddbServer& server, const CallClock& clock, std::shared_ptr<HostLookup>* out) {
    auto lookup = std::make_shared<HostLookup>();
    try {
        std::thread([lookup, host = server.host, port = std::to_string(server.port)] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* addresses = nullptr;
            const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses);
            const int systemError = errno;
            std::lock_guard lock(lookup->mutex);
            lookup->status = status;
            lookup->systemError = systemError;
            lookup->addresses = addresses;
            lookup->done = true;
            lookup->ended.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        return std::string("cannot connect: ") + e.what();
    }
    std::unique_lock lock(lookup->mutex);
    while (!lookup->ended.wait_for(lock, std::chrono::milliseconds(clock.slice()), [&] { return lookup->done; })) {
        if (clock.stopped()) return kStopped;
        if (clock.left() == 0) return kTimeLimit;
    }
    if (lookup->status != 0) return "cannot connect: " + lookupError(*lookup);
    *out = std::move(lookup);
    return {};
}

// The server's addresses in the resolver's order, each until one takes the
// connection.
std::string connectToServer(const CddbServer& server, const CallClock& clock, SocketFd* out) {
    std::shared_ptr<HostLookup> lookup;
    if (std::string why = lookUpHost(server, clock, &lookup); !why.empty()) return why;
    std::string why = "no address";
    for (const addrinfo* address = lookup->addresses; address; address = address->ai_next) {
        SocketFd socket(::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                 address->ai_protocol));
        if (!socket.isOpen()) {
            why = errnoText(errno);
            continue;
        }
        if (::connect(socket.fd(), address->ai_addr, address->ai_addrlen) == 0) {
            *out = std::move(socket);
            return {};
        }
        // A signal does not stop a connect that is under way.
        if (errno != EINPROGRESS && errno != EINTR) {
            why = errnoText(errno);
            continue;
        }
        int ready = 0;
        while ((ready = WaitForSocket(socket.fd(), POLLOUT, clock.slice())) == 0) {
            if (clock.stopped()) return kStopped;
            if (clock.left() == 0) return kTimeLimit;
        }
        int result = 0;
        socklen_t length = sizeof result;
        if (ready < 0)
            result = errno;
        else if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &result, &length) != 0)
            result = errno;
        if (result == 0) {
            *out = std::move(socket);
            return {};
        }
        why = errnoText(result);
    }
    return clock.expired() ? kTimeLimit : "cannot connect: " + why;
}

std::string sendAll(int fd, const std::string& bytes, const CallClock& clock) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return "cannot send the request: " + errnoText(errno);
        if (clock.stopped()) return kStopped;
        if (clock.left() == 0) return kTimeLimit;
        if (WaitForSocket(fd, POLLOUT, clock.slice()) < 0) return "cannot send the request: " + errnoText(errno);
    }
    return {};
}

// Everything up to the server's close, which ends an HTTP/1.0 answer.
std::string readToEnd(int fd, qint64 limit, const CallClock& clock, QByteArray* answer) {
    char buffer[16384];
    for (;;) {
        const std::size_t room = static_cast<std::size_t>(std::min<qint64>(sizeof buffer, limit + 1 - answer->size()));
        const ssize_t n = ::recv(fd, buffer, room, 0);
        if (n > 0) {
            answer->append(buffer, n);
            if (answer->size() > limit) return "answer too large";
            continue;
        }
        // A reset after the answer ends it as a close does.
        if (n == 0 || errno == ECONNRESET) return {};
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return "read failed: " + errnoText(errno);
        if (clock.stopped()) return kStopped;
        if (clock.left() == 0) return kTimeLimit;
        if (WaitForSocket(fd, POLLIN, clock.slice()) < 0) return "read failed: " + errnoText(errno);
    }
}

}  // namespace

int CddbPortOfText(const std::string& text) {
    if (text.empty() || text.size() > 5) return 80;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 80;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : 80;
}

std::string CddbCacheFolder() { return JoinPath(DataRoot(), "cddb"); }

std::optional<std::string> CddbHttpGet(const CddbServer& server, const std::string& query, int deadlineMs,
                                       std::string* error, const CddbStopped& stopped) {
    auto fail = [&](const std::string& why) -> std::optional<std::string> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (!safeHost(server.host)) return fail("invalid server name");
    const std::string script = safeScript(server.script) ? server.script : CddbServer().script;
    const CallClock clock(deadlineMs, stopped);

    SocketFd socket;
    if (std::string why = connectToServer(server, clock, &socket); !why.empty()) return fail(why);
    const std::string hostHeader =
        server.port == 80 ? server.host : server.host + ":" + std::to_string(server.port);
    const std::string request = "GET " + script + "?" + query + " HTTP/1.0\r\nHost: " + hostHeader +
                                "\r\nUser-Agent: Tunevale/1.10\r\nAccept: text/plain\r\nConnection: close\r\n\r\n";
    if (std::string why = sendAll(socket.fd(), request, clock); !why.empty()) return fail(why);
    QByteArray answer;
    // Headers come on top of the body's cap.
    const qint64 limit = static_cast<qint64>(CddbAnswerLimit) + 64 * 1024;
    if (std::string why = readToEnd(socket.fd(), limit, clock, &answer); !why.empty()) return fail(why);

    const int headerEnd = answer.indexOf("\r\n\r\n");
    const int headerEndLf = answer.indexOf("\n\n");
    int bodyStart = -1;
    if (headerEnd >= 0 && (headerEndLf < 0 || headerEnd < headerEndLf))
        bodyStart = headerEnd + 4;
    else if (headerEndLf >= 0)
        bodyStart = headerEndLf + 2;
    if (!answer.startsWith("HTTP/1.") || bodyStart < 0) return fail("malformed HTTP answer");
    const int lineEnd = answer.indexOf('\n');
    const QList<QByteArray> status = answer.left(lineEnd).trimmed().split(' ');
    if (status.size() < 2 || status[1] != "200")
        return fail("server answered " + answer.left(lineEnd).trimmed().toStdString());
    if (answer.size() - bodyStart > static_cast<qint64>(CddbAnswerLimit)) return fail("answer too large");
    return std::string(answer.constData() + bodyStart, static_cast<std::size_t>(answer.size() - bodyStart));
}

CddbLookup CddbLookupOnline(const CddbServer& server, const CdTableOfContents& toc, const std::string& cacheFolder,
                            const CddbStopped& stopped) {
    CddbLookup lookup;
    if (toc.trackLsn.empty()) {
        lookup.error = "no table of contents";
        return lookup;
    }
    QElapsedTimer clock;
    clock.start();
    const std::string queryText = "cmd=" + plusJoined(CddbQueryCommand(toc)) + helloAndProto();
    auto body = CddbHttpGet(server, queryText, server.timeoutMs, &lookup.error, stopped);
    if (!body) return lookup;
    const CddbQueryAnswer answer = ParseCddbQueryAnswer(*body);
    lookup.code = answer.code;
    if (answer.matches.empty()) {
        if (answer.code != 202) lookup.error = "no usable match in the answer";
        return lookup;
    }
    const CddbMatch& match = answer.matches.front();
    const int left = static_cast<int>(std::max<qint64>(0, server.timeoutMs - clock.elapsed()));
    if (left == 0) {
        lookup.error = "no answer within the time limit";
        return lookup;
    }
    const std::string readText = "cmd=" + plusJoined("cddb read " + match.category + " " + match.discId) + helloAndProto();
    body = CddbHttpGet(server, readText, left, &lookup.error, stopped);
    if (!body) return lookup;
    std::string xmcd;
    lookup.record = ParseCddbReadAnswer(*body, match.category, static_cast<int>(toc.trackLsn.size()), &xmcd);
    if (!lookup.record) {
        lookup.error = "malformed read answer";
        return lookup;
    }
    lookup.category = match.category;
    lookup.discId = match.discId;
    // Cached under the id of this disc, so the next cache lookup finds it
    // whatever id the server's entry carries.
    const std::string ownId = CddbDiscIdText(CddbDiscId(toc));
    const std::string folder = JoinPath(cacheFolder, match.category);
    if (!IsCddbCategory(match.category)) return lookup;
    if (!CreateFolderPath(folder)) {
        lookup.cacheError = "cannot make the folder " + folder;
    } else if (const AtomicWriteResult written = WriteFileAtomically(JoinPath(folder, ownId), xmcd); !written) {
        lookup.cacheError = written.error;
    }
    if (!lookup.cacheError.empty())
        qCWarning(lcDisc, "CD database: the answer is used but not kept: %s", lookup.cacheError.c_str());
    return lookup;
}

std::optional<CddbRecord> CddbLookupCache(const CdTableOfContents& toc, const std::string& cacheFolder) {
    if (toc.trackLsn.empty()) return std::nullopt;
    const std::string id = CddbDiscIdText(CddbDiscId(toc));
    for (const char* category : kCategoriesInOrder) {
        const std::string path = JoinPath(JoinPath(cacheFolder, category), id);
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;
        std::string text;
        text.resize(CddbAnswerLimit);
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        return ParseXmcd(text, category, static_cast<int>(toc.trackLsn.size()));
    }
    return std::nullopt;
}
