#include "components/disc/cddbclient.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <fstream>

#include "components/disc/disclog.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"

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
    QElapsedTimer clock;
    clock.start();
    auto left = [&] { return std::max<qint64>(0, deadlineMs - clock.elapsed()); };
    // Each wait is cut into slices, so that a stop is seen soon.
    auto slice = [&] { return static_cast<int>(stopped ? std::min<qint64>(left(), 100) : left()); };
    auto stop = [&] { return stopped && stopped(); };
    constexpr const char* kStopped = "stopped";

    QTcpSocket socket;
    socket.connectToHost(QString::fromStdString(server.host), static_cast<quint16>(server.port));
    while (!socket.waitForConnected(slice())) {
        if (stop()) return fail(kStopped);
        if (left() > 0 && socket.state() != QAbstractSocket::UnconnectedState) continue;
        return fail(clock.elapsed() >= deadlineMs ? "no answer within the time limit"
                                                  : "cannot connect: " + socket.errorString().toStdString());
    }
    const std::string hostHeader =
        server.port == 80 ? server.host : server.host + ":" + std::to_string(server.port);
    const std::string request = "GET " + script + "?" + query + " HTTP/1.0\r\nHost: " + hostHeader +
                                "\r\nUser-Agent: Tunevale/1.10\r\nAccept: text/plain\r\nConnection: close\r\n\r\n";
    socket.write(request.data(), static_cast<qint64>(request.size()));
    while (socket.bytesToWrite() > 0) {
        if (stop()) return fail(kStopped);
        if (left() == 0) return fail("no answer within the time limit");
        if (!socket.waitForBytesWritten(slice())) {
            if (socket.error() == QAbstractSocket::SocketTimeoutError) continue;
            break;
        }
    }
    QByteArray answer;
    // Headers come on top of the body's cap.
    const qint64 limit = static_cast<qint64>(CddbAnswerLimit) + 64 * 1024;
    for (;;) {
        if (socket.bytesAvailable() == 0) {
            if (socket.state() != QAbstractSocket::ConnectedState) break;
            if (stop()) return fail(kStopped);
            if (left() == 0) return fail("no answer within the time limit");
            if (!socket.waitForReadyRead(slice())) {
                if (socket.state() == QAbstractSocket::ConnectedState &&
                    socket.error() == QAbstractSocket::SocketTimeoutError && left() > 0)
                    continue;
                if (socket.state() != QAbstractSocket::ConnectedState ||
                    socket.error() == QAbstractSocket::RemoteHostClosedError)
                    break;
                if (left() == 0) return fail("no answer within the time limit");
                return fail("read failed: " + socket.errorString().toStdString());
            }
        }
        answer += socket.read(limit + 1 - answer.size());
        if (answer.size() > limit) return fail("answer too large");
    }
    answer += socket.readAll();
    if (answer.size() > limit) return fail("answer too large");

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
