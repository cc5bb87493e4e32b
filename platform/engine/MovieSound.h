#pragma once
// The movie's sound while the engine runs: it hands the audio output the sound of the frames in
// the order the picture plays them (from the start frame to the selection's end, then the
// selection again for every further pass), and tells how much of it has been heard, which is
// the time the picture follows. When the output cannot be opened, fails, or stops taking sound,
// the sound gives up the lead and the picture goes on by the steady clock.
#include "platform/audio/AudioSink.h"
#include "platform/audio/SoundDecoder.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace qxm::engine {

class MovieSound {
public:
    using Clock = std::chrono::steady_clock;

    // `framesPerSecond` is the movie's own rate; the sound plays at rate 1 only.
    MovieSound(std::unique_ptr<audio::SoundDecoder> decoder, double framesPerSecond,
               audio::AudioSinkFactory factory);
    ~MovieSound();

    const audio::AudioFormat& format() const;

    // Starts the sound of a run from frame `from` through the selection [first, last] with
    // `playsLeft` passes (0: without end). False when there is no output to play it on.
    bool start(int32_t from, int32_t first, int32_t last, int64_t playsLeft);
    // Keeps the output supplied; call often (every frame and every few tens of milliseconds).
    void pump();
    // Seconds of the run heard so far; nothing once the output has failed or is stuck, and
    // from then on until the next start().
    std::optional<double> heardSeconds(Clock::time_point now);
    void pause();  // holds the output where it is (a later start() begins afresh)
    void stop();   // silence at once
    void finish(); // the run has ended: what is queued plays out, nothing more is added
    void setVolume(double volume);
    bool outputFailed() const { return lost_; }

private:
    int64_t sinkFrameOfPeriod(int64_t period) const;
    int64_t sourceFrameOf(int32_t frame) const;

    std::unique_ptr<audio::SoundDecoder> decoder_;
    double fps_;
    audio::AudioSinkFactory factory_;
    std::unique_ptr<audio::AudioSink> sink_;
    bool sinkOpen_ = false, sinkRefused_ = false;
    bool running_ = false, lost_ = false;
    double volume_ = 1.0;

    // The run being played.
    int32_t first_ = 0, last_ = 0;
    int64_t playsLeft_ = 0;
    int64_t firstPassPeriods_ = 0; // periods of the pass in progress at start
    int64_t pass_ = 1;             // pass whose sound is being scheduled (1 = the first)
    int64_t segmentEnd_ = 0;       // output frame where that pass's sound ends
    int64_t scheduled_ = 0;        // output frames put into buffer_ since start
    int64_t written_ = 0;          // output frames the sink took since start
    int64_t tailLeft_ = 0;         // silence after the last pass
    bool finalPass_ = false;
    std::vector<int16_t> buffer_; // scheduled but not yet taken

    int64_t lastHeard_ = -1;
    Clock::time_point lastProgress_{};
};

} // namespace qxm::engine
