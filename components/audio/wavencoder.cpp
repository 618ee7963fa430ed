// PCM WAV: a 44-byte header whose sizes are filled in at the end; 8-bit
// samples are unsigned, 16-bit ones signed little-endian.

#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "components/audio/encoder.h"

namespace audio {

namespace {

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, static_cast<uint16_t>(v));
    put16(p + 2, static_cast<uint16_t>(v >> 16));
}

class WavEncoder final : public Encoder {
public:
    WavEncoder(int rate, int channels, int bits) : rate_(rate), channels_(channels), bits_(bits) {}
    int sampleRate() const override { return rate_; }
    int channels() const override { return channels_; }

    bool begin(OutputFile& out) override {
        if (rate_ <= 0 || channels_ < 1 || channels_ > 2 || (bits_ != 8 && bits_ != 16)) return false;
        out_ = &out;
        uint8_t h[44];
        header(h, 0);
        return out.write(h, sizeof h);
    }

    bool encode(const int16_t* in, int64_t frames) override {
        size_t count = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
        if (bits_ == 16) {
            static_assert(std::endian::native == std::endian::little, "WAV data is written as it lies in memory");
            bytes_.resize(count * 2);
            std::memcpy(bytes_.data(), in, count * 2);
        } else {
            bytes_.resize(count);
            for (size_t i = 0; i < count; ++i) {
                // Round to the nearest 8-bit step rather than truncate, which
                // would add a DC offset of half a step.
                int v = (in[i] + 32768 + 128) >> 8;
                bytes_[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        }
        if (!out_->write(bytes_.data(), bytes_.size())) return false;
        dataBytes_ += bytes_.size();
        return true;
    }

    bool finish() override {
        uint64_t data = dataBytes_;
        // A RIFF size field holds 32 bits; a longer file keeps the largest
        // whole-frame size that fits, which readers treat as "to the end".
        // It is even, so the pad byte of an odd size cannot wrap the field.
        const uint64_t limit = (std::numeric_limits<uint32_t>::max() - 36) & ~uint64_t{1};
        if (data > limit) data = limit - limit % static_cast<uint64_t>(blockAlign());
        // The header first: a file kept after a failed write has no room
        // for the pad byte, but plays with its sizes right.
        uint8_t h[44];
        header(h, static_cast<uint32_t>(data));
        if (!out_->writeAt(0, h, sizeof h)) return false;
        const uint8_t pad = 0;
        return dataBytes_ % 2 == 0 || out_->write(&pad, 1);
    }

private:
    int blockAlign() const { return channels_ * bits_ / 8; }

    void header(uint8_t* h, uint32_t dataBytes) const {
        std::memcpy(h, "RIFF", 4);
        put32(h + 4, 36 + dataBytes + (dataBytes & 1));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(h + 16, 16);
        put16(h + 20, 1);
        put16(h + 22, static_cast<uint16_t>(channels_));
        put32(h + 24, static_cast<uint32_t>(rate_));
        put32(h + 28, static_cast<uint32_t>(static_cast<uint64_t>(rate_) * static_cast<uint64_t>(blockAlign())));
        put16(h + 32, static_cast<uint16_t>(blockAlign()));
        put16(h + 34, static_cast<uint16_t>(bits_));
        std::memcpy(h + 36, "data", 4);
        put32(h + 40, dataBytes);
    }

    int rate_, channels_, bits_;
    OutputFile* out_ = nullptr;
    uint64_t dataBytes_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<Encoder> makeWavEncoder(int sampleRate, int channels, int bits) {
    return std::make_unique<WavEncoder>(sampleRate, channels, bits);
}

}  // namespace audio
