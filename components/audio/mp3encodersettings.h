#pragma once
// The MP3 encoder's settings as the tool windows fill them and hand them to a
// writer. A plain record: the writer takes a copy when it is handed over, so
// a batch may configure it once and create many files.

struct Mp3EncoderSettings {
    bool readyFlag = false;  // set by the windows at form show; nothing reads it
    int sampleRate = 44100;  // Hz
    int bitrate = 128;       // kbit/s, constant bitrate
    int channelMode = 2;     // 1 mono, 2 stereo, 3 joint stereo, 4 forced joint stereo, 5 dual channel
    // Kept and read back only: no window switches variable bitrate on, so the
    // output is always at `bitrate`.
    int vbrBitrate = 128;
    int vbrQuality = 5;
};
