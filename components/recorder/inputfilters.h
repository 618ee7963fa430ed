#pragma once
// The recorder's three input filters, each a second-order section run on
// every channel: a notch (mains hum), a high-pass and a low-pass. A filter
// whose frequency is not inside (0, 0.45 x rate) is left out: the settings
// allow cut-offs up to 44100 Hz, which no recording format can hold.

#include <array>
#include <cstdint>
#include <vector>

struct FilterSwitch {
    bool on = false;
    float frequency = 0;
};

class InputFilters {
public:
    void configure(int sampleRate, int channels, FilterSwitch notch, FilterSwitch highPass, FilterSwitch lowPass);
    void process(int16_t* interleaved, int64_t frames);

private:
    struct Stage {
        double b0, b1, b2, a1, a2;
        // Per channel: the last two inputs and outputs.
        std::vector<std::array<double, 4>> state;
    };

    std::vector<Stage> stages_;
    int channels_ = 2;
};
