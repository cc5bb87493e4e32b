// The default audio output through Qt Multimedia's QAudioSink, pushed from the owner's thread.
#include "platform/audio/AudioSink.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>

namespace qxm::audio {
namespace {

constexpr int kBufferMs = 250;

class DeviceAudioSink final : public AudioSink {
public:
    ~DeviceAudioSink() override { close(); }

    bool open(const AudioFormat& format) override {
        close();
        if (!format.valid() || !QCoreApplication::instance()) return false;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return false;
        QAudioFormat qformat;
        qformat.setSampleRate(format.sampleRate);
        qformat.setChannelCount(format.channels);
        qformat.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(qformat)) return false;
        format_ = format;
        sink_ = std::make_unique<QAudioSink>(device, qformat);
        sink_->setBufferSize(qformat.bytesForDuration(qint64(kBufferMs) * 1000));
        return start();
    }

    void close() override {
        if (sink_) sink_->stop();
        io_ = nullptr;
        sink_.reset();
    }

    int64_t room() override {
        if (!usable()) return 0;
        return std::max<qsizetype>(0, sink_->bytesFree()) / bytesPerFrame();
    }

    int64_t write(const int16_t* samples, int64_t frames) override {
        if (!usable() || frames <= 0) return 0;
        frames = std::min(frames, room());
        if (frames <= 0) return 0;
        const qint64 bytes =
            io_->write(reinterpret_cast<const char*>(samples), qint64(frames) * bytesPerFrame());
        if (bytes <= 0) return 0;
        const int64_t taken = bytes / bytesPerFrame();
        written_ += taken;
        return taken;
    }

    int64_t playedFrames() override {
        if (!sink_ || !io_) return played_;
        // What the output has been handed minus what still waits in its buffer.
        const qsizetype waiting = std::max<qsizetype>(
            0, sink_->bufferSize() - std::max<qsizetype>(0, sink_->bytesFree()));
        const int64_t estimate = written_ - int64_t(waiting) / bytesPerFrame();
        played_ = std::clamp(estimate, played_, written_);
        return played_;
    }

    void pause() override {
        if (usable()) sink_->suspend();
    }
    void resume() override {
        if (sink_ && io_ && sink_->state() == QAudio::SuspendedState) sink_->resume();
    }

    void flush() override {
        if (!sink_) return;
        sink_->stop();
        io_ = nullptr;
        start();
    }

    void setVolume(double volume) override {
        volume_ = std::clamp(volume, 0.0, 1.0);
        if (sink_) sink_->setVolume(volume_);
    }

    bool failed() override {
        if (!sink_ || !io_) return true;
        const QAudio::Error e = sink_->error();
        return e == QAudio::OpenError || e == QAudio::IOError || e == QAudio::FatalError;
    }

private:
    bool start() {
        written_ = played_ = 0;
        io_ = sink_->start();
        if (!io_ || failed()) {
            io_ = nullptr;
            return false;
        }
        sink_->setVolume(volume_);
        return true;
    }
    bool usable() { return sink_ && io_ && !failed(); }
    int bytesPerFrame() const { return 2 * format_.channels; }

    AudioFormat format_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr; // owned by sink_
    int64_t written_ = 0, played_ = 0;
    double volume_ = 1.0;
};

} // namespace

std::unique_ptr<AudioSink> makeDeviceSink() {
    return std::make_unique<DeviceAudioSink>();
}

} // namespace qxm::audio
