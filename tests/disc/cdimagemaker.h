#pragma once
// Test CD images: cue/bin pairs of generated tracks, written the way the
// audio CD writer writes them (one BINARY file named after the cue, each
// track padded with zeros to whole sectors, CD-TEXT in the cue), and a
// CD database server on loopback with scripted answers.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CdGrabber;

namespace cdtest {

using Pcm = std::vector<int16_t>;  // interleaved stereo

// A pure 441 Hz tone: exactly 100 frames a period.
Pcm tone(double seconds, int amplitude = 12000);
Pcm silence(double seconds);
Pcm noise(double seconds, uint32_t seed);

struct TrackSpec {
    Pcm pcm;
    std::string title;
    std::string performer;
};

struct Image {
    std::string cue;
    std::string bin;
    std::vector<Pcm> padded;  // each track's samples with its zero padding
    std::vector<int32_t> lsn;
    int32_t leadout = 0;
};

Image makeImage(const std::string& folder, const std::string& name, const std::vector<TrackSpec>& tracks,
                const std::string& discTitle = {}, const std::string& discPerformer = {});

// The three-track disc of the notes: a 5 s tone ending right before 4.2 s
// of silence, then 6.013 s of noise; its table is 0, 375, 690, leadout 1141.
Image makeThreeTrackImage(const std::string& folder, const std::string& name = "disc");

// Selects the grabber's drive that offers the image of cue: its index, or
// 0 when no drive does.
int selectImageDrive(CdGrabber& grabber, const std::string& cue);

// An HTTP server on 127.0.0.1 that answers each request with what the
// script returns for its request line; the lines are kept for the tests.
class LoopbackServer {
public:
    struct Answer {
        std::string bytes;
        int delayMs = 0;
        // When set, the bytes go in pieces this long, a few milliseconds apart.
        std::size_t pieceBytes = 0;
    };
    explicit LoopbackServer(std::function<Answer(const std::string& requestLine)> script);
    ~LoopbackServer();
    int port() const { return port_; }
    std::vector<std::string> requests();

private:
    void serve();
    std::function<Answer(const std::string&)> script_;
    int listenFd_ = -1;
    int port_ = 0;
    bool quit_ = false;
    std::mutex m_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// The regular files below folder, as paths relative to it, sorted.
std::vector<std::string> filesUnder(const std::string& folder);
// The samples an audio file decodes to.
Pcm decodedPcm(const std::string& path);

// "HTTP/1.0 200 OK" with a text body.
std::string httpOk(const std::string& body);

}  // namespace cdtest
