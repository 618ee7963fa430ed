#pragma once
// The sound server's sources through libpulse. The connection runs on
// libpulse's own thread: the capture stream's data is taken there as soon
// as the server hands it over and kept until read, so a busy GUI thread
// never makes the server drop frames. Queries and volume changes wait for
// the server's answer (a few milliseconds). Each call that finds no
// connection tries to connect again, so a server started later is found.

#include "components/recorder/pcminput.h"

#include <QTimer>

#include <string>
#include <vector>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

class PulsePcmInput : public PcmInput {
    Q_OBJECT

public:
    explicit PulsePcmInput(QObject* parent = nullptr);
    ~PulsePcmInput() override;

    std::vector<InputSource> sources() override;
    std::string defaultSource() override;
    bool setSourceVolume(const std::string& source, uint32_t volume) override;
    bool setSourcePort(const std::string& source, const std::string& port) override;

    int open(const std::string& source, int sampleRate, int channels) override;
    void close() override;
    bool isOpen() const override { return stream_ != nullptr; }
    void read(std::vector<int16_t>& samples) override;
    bool failed() const override;

    static constexpr int kPumpMs = 20;
    // How much the server gathers before it hands audio over; also the most
    // that a stop can leave behind at the server.
    static constexpr int kFragmentMs = 20;
    static constexpr int kConnectTimeoutMs = 3000;

    // For the callbacks, which run on libpulse's thread with its lock held.
    struct Shared;

private:
    bool connectServer();
    void disconnectServer();

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    Shared* shared_ = nullptr;
    QTimer pumpTimer_;
};
