#include "cdimagemaker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "components/audio/audiofile.h"
#include "components/disc/cdgrabber.h"
#include <cstdio>
#include <fstream>

namespace cdtest {

Pcm tone(double seconds, int amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * 44100);
    Pcm pcm(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * 441.0 * i / 44100.0)));
        pcm[2 * i] = v;
        pcm[2 * i + 1] = static_cast<int16_t>(-v);
    }
    return pcm;
}

Pcm silence(double seconds) { return Pcm(static_cast<std::size_t>(seconds * 44100) * 2, 0); }

Pcm noise(double seconds, uint32_t seed) {
    Pcm pcm(static_cast<std::size_t>(seconds * 44100) * 2);
    uint32_t x = seed ? seed : 1;
    for (auto& s : pcm) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s = static_cast<int16_t>(x >> 16);
    }
    return pcm;
}

Image makeImage(const std::string& folder, const std::string& name, const std::vector<TrackSpec>& tracks,
                const std::string& discTitle, const std::string& discPerformer) {
    Image image;
    image.cue = folder + "/" + name + ".cue";
    image.bin = folder + "/" + name + ".bin";
    std::ofstream bin(image.bin, std::ios::binary | std::ios::trunc);
    std::string cue;
    if (!discPerformer.empty()) cue += "PERFORMER \"" + discPerformer + "\"\r\n";
    if (!discTitle.empty()) cue += "TITLE \"" + discTitle + "\"\r\n";
    cue += "FILE \"" + name + ".bin\" BINARY\r\n";
    int32_t sector = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        Pcm padded = tracks[i].pcm;
        const std::size_t frames = padded.size() / 2;
        padded.resize(((frames + 587) / 588) * 588 * 2, 0);
        for (int16_t s : padded) {
            const char bytes[2] = {static_cast<char>(s & 0xff), static_cast<char>((s >> 8) & 0xff)};
            bin.write(bytes, 2);
        }
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\r\n", i + 1);
        cue += line;
        if (!tracks[i].title.empty()) cue += "    TITLE \"" + tracks[i].title + "\"\r\n";
        if (!tracks[i].performer.empty()) cue += "    PERFORMER \"" + tracks[i].performer + "\"\r\n";
        std::snprintf(line, sizeof line, "    INDEX 01 %02d:%02d:%02d\r\n", sector / 4500, (sector / 75) % 60,
                      sector % 75);
        cue += line;
        image.lsn.push_back(sector);
        sector += static_cast<int32_t>(padded.size() / 2 / 588);
        image.padded.push_back(std::move(padded));
    }
    image.leadout = sector;
    std::ofstream(image.cue, std::ios::binary | std::ios::trunc) << cue;
    return image;
}

Image makeThreeTrackImage(const std::string& folder, const std::string& name) {
    return makeImage(folder, name,
                     {{tone(5.0), "Tone", "Tone Maker"}, {silence(4.2), "Quiet", ""}, {noise(6.013, 7), "Noise", ""}},
                     "Test Album", "Test Artist");
}

LoopbackServer::LoopbackServer(std::function<Answer(const std::string&)> script) : script_(std::move(script)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listenFd_, 8);
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(m_);
        quit_ = true;
    }
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
}

std::vector<std::string> LoopbackServer::requests() {
    std::lock_guard lock(m_);
    return requests_;
}

void LoopbackServer::serve() {
    for (;;) {
        pollfd p {listenFd_, POLLIN, 0};
        ::poll(&p, 1, 100);
        {
            std::lock_guard lock(m_);
            if (quit_) return;
        }
        if (!(p.revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<std::size_t>(n));
        }
        const std::string line = request.substr(0, request.find("\r\n"));
        {
            std::lock_guard lock(m_);
            requests_.push_back(line);
        }
        const Answer answer = script_(line);
        if (answer.delayMs > 0) {
            // Waits in small steps so a test that ends early is not held up.
            for (int waited = 0; waited < answer.delayMs; waited += 20) {
                {
                    std::lock_guard lock(m_);
                    if (quit_) break;
                }
                ::usleep(20000);
            }
        }
        std::size_t sent = 0;
        while (sent < answer.bytes.size()) {
            const std::size_t piece = answer.pieceBytes ? answer.pieceBytes : answer.bytes.size();
            const ssize_t n = ::send(fd, answer.bytes.data() + sent, std::min(piece, answer.bytes.size() - sent),
                                     MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
            if (answer.pieceBytes) ::usleep(2000);
        }
        ::close(fd);
    }
}

std::vector<std::string> filesUnder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file()) names.push_back(e.path().string().substr(folder.size() + 1));
    std::sort(names.begin(), names.end());
    return names;
}

Pcm decodedPcm(const std::string& path) {
    AudioFile reader;
    Pcm pcm;
    if (!reader.open(path)) return pcm;
    for (AudioBlock b = reader.readBlock(88200); !b.empty(); b = reader.readBlock(88200))
        pcm.insert(pcm.end(), b.samples.begin(), b.samples.end());
    return pcm;
}

std::string httpOk(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" + body;
}

int selectImageDrive(CdGrabber& grabber, const std::string& cue) {
    for (int i = 1; i <= grabber.driveCount(); ++i) {
        grabber.setDriveIndex(i);
        if (grabber.drivePath() == cue) return i;
    }
    return 0;
}

}  // namespace cdtest
