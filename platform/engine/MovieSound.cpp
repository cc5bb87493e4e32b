#include "platform/engine/MovieSound.h"

#include <algorithm>
#include <cmath>

namespace qxm::engine {
namespace {

constexpr int64_t kChunkMs = 40;
constexpr int64_t kTailMs = 250;
// An output that has sound waiting and plays none of it for this long counts as stuck.
constexpr auto kStuckAfter = std::chrono::milliseconds(750);

} // namespace

MovieSound::MovieSound(std::unique_ptr<audio::SoundDecoder> decoder, double framesPerSecond,
                       audio::AudioSinkFactory factory)
    : decoder_(std::move(decoder)), fps_(framesPerSecond > 0.0 ? framesPerSecond : 25.0),
      factory_(std::move(factory)) {}

MovieSound::~MovieSound() {
    if (sink_) sink_->close();
}

const audio::AudioFormat& MovieSound::format() const {
    return decoder_->format();
}

int64_t MovieSound::sinkFrameOfPeriod(int64_t period) const {
    return std::llround(double(period) * format().sampleRate / fps_);
}

int64_t MovieSound::sourceFrameOf(int32_t frame) const {
    return std::llround(double(frame) * format().sampleRate / fps_);
}

bool MovieSound::start(int32_t from, int32_t first, int32_t last, int64_t playsLeft) {
    stop();
    lost_ = false;
    if (sinkRefused_) return false;
    if (!sink_) sink_ = factory_ ? factory_() : audio::makeDeviceSink();
    if (!sink_) {
        sinkRefused_ = true;
        return false;
    }
    if (!sinkOpen_) {
        sinkOpen_ = sink_->open(format());
        if (!sinkOpen_) {
            sinkRefused_ = true; // no device: this movie stays silent
            return false;
        }
    } else {
        sink_->flush();
        sink_->resume();
    }
    if (sink_->failed()) {
        lost_ = true;
        return false;
    }
    sink_->setVolume(volume_);
    if (last < first) last = first;
    if (from < first || from > last) from = first;
    first_ = first;
    last_ = last;
    playsLeft_ = playsLeft;
    firstPassPeriods_ = int64_t(last) + 1 - from;
    pass_ = 1;
    segmentEnd_ = sinkFrameOfPeriod(firstPassPeriods_);
    finalPass_ = playsLeft_ > 0 && pass_ >= playsLeft_;
    tailLeft_ = kTailMs * format().sampleRate / 1000;
    scheduled_ = written_ = 0;
    buffer_.clear();
    decoder_->seek(sourceFrameOf(from));
    running_ = true;
    lastHeard_ = -1;
    lastProgress_ = Clock::now();
    pump();
    return !lost_;
}

void MovieSound::pump() {
    if (!running_ || lost_) return;
    if (sink_->failed()) {
        lost_ = true;
        return;
    }
    const int channels = format().channels;
    const int64_t chunk = kChunkMs * format().sampleRate / 1000;
    for (;;) {
        const int64_t room = sink_->room();
        if (room <= 0) return;
        if (buffer_.empty()) {
            if (scheduled_ >= segmentEnd_) {
                if (finalPass_) {
                    // After the last pass a little silence, so the heard time passes its end.
                    const int64_t n = std::min({room, chunk, tailLeft_});
                    if (n <= 0) return;
                    buffer_.assign(size_t(n) * channels, 0);
                    tailLeft_ -= n;
                    scheduled_ += n;
                } else {
                    ++pass_;
                    segmentEnd_ = sinkFrameOfPeriod(firstPassPeriods_ +
                                                    (pass_ - 1) * (int64_t(last_) - first_ + 1));
                    finalPass_ = playsLeft_ > 0 && pass_ >= playsLeft_;
                    decoder_->seek(sourceFrameOf(first_));
                    continue;
                }
            } else {
                const int64_t want = std::min({room, chunk, segmentEnd_ - scheduled_});
                const int64_t got = decoder_->read(buffer_, want);
                if (got < want) // the sound ends before the picture: silence
                    buffer_.resize(size_t(want) * channels, 0);
                scheduled_ += want;
            }
        }
        const int64_t frames = int64_t(buffer_.size()) / channels;
        const int64_t taken = sink_->write(buffer_.data(), frames);
        if (taken <= 0) return;
        written_ += taken;
        buffer_.erase(buffer_.begin(), buffer_.begin() + taken * channels);
        if (!buffer_.empty()) return;
    }
}

std::optional<double> MovieSound::heardSeconds(Clock::time_point now) {
    if (!running_ || lost_) return std::nullopt;
    if (sink_->failed()) {
        lost_ = true;
        return std::nullopt;
    }
    const int64_t heard = sink_->playedFrames();
    if (heard != lastHeard_) {
        lastHeard_ = heard;
        lastProgress_ = now;
    } else if (written_ > heard && now - lastProgress_ > kStuckAfter) {
        lost_ = true;
        sink_->flush();
        return std::nullopt;
    }
    return double(heard) / format().sampleRate;
}

void MovieSound::pause() {
    if (!running_) return;
    running_ = false;
    if (sink_ && sinkOpen_) sink_->pause();
}

void MovieSound::stop() {
    running_ = false;
    buffer_.clear();
    if (sink_ && sinkOpen_) sink_->flush();
}

void MovieSound::finish() {
    running_ = false;
    buffer_.clear();
}

void MovieSound::setVolume(double volume) {
    volume_ = volume;
    if (sink_ && sinkOpen_) sink_->setVolume(volume);
}

} // namespace qxm::engine
