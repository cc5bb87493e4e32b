#pragma once
// Where sound goes: a small output interface with two implementations, the default audio
// device through Qt Multimedia (makeDeviceSink) and a sink in memory (MemoryAudioSink) that
// plays in real time without a device and keeps what it was given.
//
// Samples are signed 16-bit, interleaved; a "frame" is one sample per channel.
// Every call comes from the thread that owns the sink (the user-interface thread).
#include <cstdint>
#include <functional>
#include <memory>

namespace qxm::audio {

struct AudioFormat {
    int sampleRate = 0;
    int channels = 0; // 1 or 2
    bool valid() const { return sampleRate > 0 && channels >= 1 && channels <= 2; }
    bool operator==(const AudioFormat&) const = default;
};

class AudioSink {
public:
    virtual ~AudioSink() = default;

    // Opens the output for the format; false when there is no device or it refuses the format.
    // Opening again replaces what was open.
    virtual bool open(const AudioFormat& format) = 0;
    virtual void close() = 0;
    // Frames that write() takes now without waiting.
    virtual int64_t room() = 0;
    // Queues up to `frames` frames; returns how many were taken.
    virtual int64_t write(const int16_t* samples, int64_t frames) = 0;
    // Frames heard since open() or the last flush(), as far as the output can tell.
    virtual int64_t playedFrames() = 0;
    // Holds and continues the output where it stands.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Drops every queued frame; playedFrames() starts again at 0.
    virtual void flush() = 0;
    // 0.0 (silent) to 1.0 (as decoded).
    virtual void setVolume(double volume) = 0;
    // True once the output has failed (device gone); nothing more is heard.
    virtual bool failed() = 0;
};

using AudioSinkFactory = std::function<std::unique_ptr<AudioSink>()>;

// The default audio output of the system through QAudioSink. Needs a QCoreApplication; its
// open() fails when the system has no output device.
std::unique_ptr<AudioSink> makeDeviceSink();

} // namespace qxm::audio
