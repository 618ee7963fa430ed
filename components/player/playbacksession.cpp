#include "components/player/playbacksession.h"

#include <algorithm>

#include "components/player/audioplayer.h"

PlaybackSession::PlaybackSession(QObject* parent) : QObject(parent), player_(new AudioPlayer(this)) {
    connect(player_, &AudioPlayer::onRequestOnLoadArray, this, &PlaybackSession::feed);
    connect(player_, &AudioPlayer::onEndArrayPlay, this, &PlaybackSession::feed);
    connect(player_, &AudioPlayer::onTimer, this,
            [this](qint64 heard, int, int) { emit onPosition(from_ + heard); });
    connect(player_, &AudioPlayer::onEndPlay, this, &PlaybackSession::onEndPlay);
}

PlaybackSession::~PlaybackSession() = default;

bool PlaybackSession::open(const std::string& path) {
    player_->stop();
    source_->close();
    source_ = &decoder_;
    return decoder_.open(path);
}

bool PlaybackSession::open(BlockSource& source, const std::string& name) {
    player_->stop();
    source_->close();
    source_ = &source;
    return source.open(name);
}

void PlaybackSession::close() {
    player_->stop();
    source_->close();
    source_ = &decoder_;
    from_ = 0;
}

bool PlaybackSession::start(int64_t from) {
    const int channels = std::max(1, source_->pcmChannels());
    player_->setFormat(source_->pcmRate(), channels);
    // Blocks count samples over all channels: 200 ms of every channel of
    // this file, whatever rate the last one had.
    blockSize_ = static_cast<int64_t>(player_->msToSamples(kBlockMs)) * channels;
    moveTo(from);
    return run();
}

void PlaybackSession::pause() {
    if (!player_->isPlaying()) return;
    from_ += player_->getPosition();
    player_->stop();
}

bool PlaybackSession::resume() {
    // The player dropped what it held at the pause: the decoder goes back to
    // the frame heard last.
    source_->seek(from_);
    return run();
}

void PlaybackSession::stop() { player_->stop(); }

void PlaybackSession::moveTo(int64_t frame) {
    from_ = frame;
    source_->seek(from_);
}

bool PlaybackSession::isPlaying() const { return player_->isPlaying(); }

int64_t PlaybackSession::position() const {
    return player_->isPlaying() ? from_ + player_->getPosition() : from_;
}

int64_t PlaybackSession::msAt(int64_t frame) const {
    const int rate = source_->pcmRate();
    return rate > 0 ? frame * 1000 / rate : 0;
}

bool PlaybackSession::run() {
    player_->play();
    if (const int error = player_->getError(); error != AudioErrorNone) {
        qWarning("The sound device did not start (error %d).", error);
        QMetaObject::invokeMethod(this, [this, error] { emit onError(error); }, Qt::QueuedConnection);
        return false;
    }
    feed();
    feed();
    return true;
}

void PlaybackSession::feed() { player_->loadArray(source_->readBlock(blockSize_)); }
