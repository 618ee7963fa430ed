// How long the playlist window takes to show a "last.m3u" of 10,000 entries
// and to add 1,000 files, with the window on screen, and how long the event
// loop was kept waiting at most meanwhile.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "library/playlist.h"
#include "library/playlisthost.h"
#include "library/playlists/m3u.h"
#include "platform/fakes.h"
#include "platform/paths.h"

namespace {

void WriteWav(const std::string& path, int frames) {
    auto le = [](std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    std::string s = "RIFF";
    le(s, 36 + frames * 2, 4);
    s += "WAVEfmt ";
    le(s, 16, 4);
    le(s, 1, 2);
    le(s, 1, 2);
    le(s, 8000, 4);
    le(s, 16000, 4);
    le(s, 2, 2);
    le(s, 16, 2);
    s += "data";
    le(s, frames * 2, 4);
    s.append(static_cast<size_t>(frames) * 2, '\0');
    std::ofstream(path, std::ios::binary) << s;
}

// The longest gap between two ticks of a 5 ms timer: how long the window
// kept the user waiting.
class StallMeter {
public:
    StallMeter() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            worst_ = std::max(worst_, since_.restart());
        });
    }
    void start() {
        worst_ = 0;
        since_.start();
        timer_.start();
    }
    qint64 stop() {
        timer_.stop();
        return std::max(worst_, since_.elapsed());
    }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 worst_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir root;
    setenv("TUNEVALE_HOME", (root.path() + "/data").toUtf8().constData(), 1);
    setenv("TUNEVALE_CONFIG_DIR", (root.path() + "/config").toUtf8().constData(), 1);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const std::string media = (root.path() + "/media").toStdString();
    QDir().mkpath(QString::fromStdString(media));
    QStringList files;
    for (int i = 0; i < 1000; ++i) {
        const std::string path = media + "/track" + std::to_string(i) + ".wav";
        WriteWav(path, 8000 + i);
        files << QString::fromStdString(path);
    }
    std::vector<PlaylistRow> rows;
    for (int i = 0; i < 10000; ++i)
        rows.push_back({"Track " + std::to_string(i), "03:07", files[i % 1000].toStdString()});
    CreateFolderPath(PlaylistFolder());
    if (!WriteM3uPlaylist(Tfm_playlist::LastPlaylistPath(), rows)) {
        std::fprintf(stderr, "cannot write last.m3u\n");
        return 1;
    }

    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    StandalonePlaylistHost host;
    Tfm_playlist window;
    window.setHost(&host);
    StallMeter stall;

    QElapsedTimer t;
    stall.start();
    t.start();
    window.show();
    QApplication::processEvents();
    const qint64 showMs = t.elapsed();
    const qint64 showStall = stall.stop();
    std::printf("show with last.m3u of %d entries: %lld ms (%d rows)\n", 10000, static_cast<long long>(showMs),
                window.rowCount());

    dialogs.chooseNext(files);
    QTimer::singleShot(0, [&] {
        t.restart();
        stall.start();
        window.AddFilesToPlaylist();
        const qint64 addMs = t.elapsed();
        const qint64 addStall = stall.stop();
        std::printf("add %d files: %lld ms (%d rows), longest wait for the event loop %lld ms\n",
                    static_cast<int>(files.size()), static_cast<long long>(addMs), window.rowCount(),
                    static_cast<long long>(addStall));
        std::printf("longest wait during the show: %lld ms\n", static_cast<long long>(showStall));

        t.restart();
        window.close();
        std::printf("close with the automatic save of %d rows: %lld ms\n", 11000, static_cast<long long>(t.elapsed()));
        app.quit();
    });
    return app.exec();
}
