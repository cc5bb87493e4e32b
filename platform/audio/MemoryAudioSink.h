#pragma once
// An audio output without a device: it plays in real time on the steady clock (what is heard
// advances with the time elapsed while data is queued, stops when it runs dry or is paused)
// and keeps every sample it was given, with the time each piece was written and the time its
// first frame was heard or is due to be heard.
#include "platform/audio/AudioSink.h"

#include <chrono>
#include <memory>
#include <vector>

namespace qxm::audio {

class MemoryAudioSink;

// What a memory sink was given; outlives the sink, so a test can hand the sink away.
struct MemoryAudioLog {
    using Clock = std::chrono::steady_clock;
    struct Chunk {
        int64_t first = 0; // index of its first frame in samples (frames, not samples)
        int64_t frames = 0;
        Clock::time_point written;
        Clock::time_point heard; // when its first frame is heard, as known when written
    };
    AudioFormat format;
    std::vector<int16_t> samples; // every frame written since the sink was made, in order
    std::vector<Chunk> chunks;
    int opens = 0, flushes = 0, pauses = 0;
    int64_t epochFirst = 0; // index in samples (frames) where the sound since the last open or
                            // flush begins
    double volume = 1.0;
    bool closed = false;
    MemoryAudioSink* live = nullptr; // the sink while it exists

    int64_t frames() const {
        return format.channels ? int64_t(samples.size()) / format.channels : 0;
    }
    // Index in samples (frames) of the frame heard now; -1 when nothing is heard yet or the
    // sink is gone.
    int64_t heardIndex() const;
};

class MemoryAudioSink : public AudioSink {
public:
    using Clock = std::chrono::steady_clock;
    struct Options {
        int64_t bufferMs = 100;    // how far ahead it takes data
        bool refuseOpen = false;   // behaves as if there were no device
        int64_t failAfterMs = -1;  // fails after this much has been heard (-1: never)
        int64_t stickAfterMs = -1; // stops playing, without failing, after this much
        int64_t latencyMs = 0;     // from the first write after open or flush to its sound
    };
    explicit MemoryAudioSink(Options options);
    MemoryAudioSink(); // default options
    ~MemoryAudioSink() override;

    std::shared_ptr<MemoryAudioLog> log() const { return log_; }

    bool open(const AudioFormat& format) override;
    void close() override;
    int64_t room() override;
    int64_t write(const int16_t* samples, int64_t frames) override;
    int64_t playedFrames() override;
    void pause() override;
    void resume() override;
    void flush() override;
    void setVolume(double volume) override;
    bool failed() override;

    // Index into the log's frames of the frame heard now (-1 before any).
    int64_t heardIndex();

private:
    void advance(Clock::time_point now);

    Options options_;
    std::shared_ptr<MemoryAudioLog> log_;
    bool open_ = false, paused_ = false, failed_ = false;
    bool started_ = false;    // something was written since open or flush
    int64_t epochFirst_ = 0;  // log frame index where the queue of this flush epoch starts
    int64_t queued_ = 0;      // frames written since open/flush
    int64_t heard_ = 0;       // frames heard since open/flush, up to anchorTime_
    int64_t heardBefore_ = 0; // frames heard in earlier epochs
    Clock::time_point anchorTime_{};
};

// A factory for engines and players that hands out memory sinks and keeps their logs.
struct MemorySinkFactory {
    MemoryAudioSink::Options options;
    std::shared_ptr<std::vector<std::shared_ptr<MemoryAudioLog>>> logs =
        std::make_shared<std::vector<std::shared_ptr<MemoryAudioLog>>>();
    AudioSinkFactory factory() const;
    std::shared_ptr<MemoryAudioLog> last() const { return logs->empty() ? nullptr : logs->back(); }
};

} // namespace qxm::audio
