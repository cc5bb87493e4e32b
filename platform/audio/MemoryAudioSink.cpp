#include "platform/audio/MemoryAudioSink.h"

#include <algorithm>
#include <cmath>

namespace qxm::audio {

int64_t MemoryAudioLog::heardIndex() const {
    return live ? live->heardIndex() : -1;
}

MemoryAudioSink::MemoryAudioSink() : MemoryAudioSink(Options{}) {}

MemoryAudioSink::MemoryAudioSink(Options options)
    : options_(options), log_(std::make_shared<MemoryAudioLog>()) {
    log_->live = this;
}

MemoryAudioSink::~MemoryAudioSink() {
    log_->live = nullptr;
}

bool MemoryAudioSink::open(const AudioFormat& format) {
    if (options_.refuseOpen || !format.valid()) return false;
    if (log_->format.valid() && !(log_->format == format)) {
        // A new format starts a new log.
        log_->samples.clear();
        log_->chunks.clear();
    }
    log_->format = format;
    ++log_->opens;
    log_->closed = false;
    open_ = true;
    paused_ = false;
    epochFirst_ = log_->frames();
    log_->epochFirst = epochFirst_;
    queued_ = heard_ = 0;
    started_ = false;
    anchorTime_ = Clock::now();
    return true;
}

void MemoryAudioSink::close() {
    if (!open_) return;
    advance(Clock::now());
    heardBefore_ += heard_;
    open_ = false;
    log_->closed = true;
}

void MemoryAudioSink::advance(Clock::time_point now) {
    if (!open_ || failed_) return;
    const double rate = log_->format.sampleRate;
    if (paused_ || (options_.stickAfterMs >= 0 &&
                    (heardBefore_ + heard_) * 1000 >= options_.stickAfterMs * int64_t(rate))) {
        anchorTime_ = now;
        return;
    }
    const double elapsed = std::chrono::duration<double>(now - anchorTime_).count() * rate;
    const int64_t step = int64_t(std::floor(elapsed));
    const int64_t waiting = queued_ - heard_;
    if (step >= waiting) {
        heard_ = queued_; // ran dry: the output waits for more
        anchorTime_ = now;
    } else if (step > 0) {
        heard_ += step;
        anchorTime_ += std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(step) / rate));
    }
    if (options_.failAfterMs >= 0 &&
        (heardBefore_ + heard_) * 1000 >= options_.failAfterMs * int64_t(rate)) {
        failed_ = true;
    }
}

int64_t MemoryAudioSink::room() {
    if (!open_ || failed_) return 0;
    advance(Clock::now());
    const int64_t capacity = options_.bufferMs * log_->format.sampleRate / 1000;
    return std::max<int64_t>(0, capacity - (queued_ - heard_));
}

int64_t MemoryAudioSink::write(const int16_t* samples, int64_t frames) {
    if (!open_ || failed_ || frames <= 0) return 0;
    const auto now = Clock::now();
    advance(now);
    if (failed_) return 0;
    frames = std::min(frames, room());
    if (frames <= 0) return 0;
    const bool dry = heard_ == queued_;
    if (!started_) {
        started_ = true;
        anchorTime_ = now + std::chrono::milliseconds(options_.latencyMs);
    } else if (dry) {
        anchorTime_ = now;
    }
    const double rate = log_->format.sampleRate;
    MemoryAudioLog::Chunk chunk;
    chunk.first = log_->frames();
    chunk.frames = frames;
    chunk.written = now;
    chunk.heard = anchorTime_ + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>((queued_ - heard_) / rate));
    log_->chunks.push_back(chunk);
    log_->samples.insert(log_->samples.end(), samples, samples + frames * log_->format.channels);
    queued_ += frames;
    return frames;
}

int64_t MemoryAudioSink::playedFrames() {
    advance(Clock::now());
    return heard_;
}

int64_t MemoryAudioSink::heardIndex() {
    if (!open_) return -1;
    advance(Clock::now());
    return heard_ > 0 ? epochFirst_ + heard_ - 1 : -1;
}

void MemoryAudioSink::pause() {
    if (!open_ || paused_) return;
    advance(Clock::now());
    paused_ = true;
    ++log_->pauses;
}

void MemoryAudioSink::resume() {
    if (!open_ || !paused_) return;
    paused_ = false;
    anchorTime_ = Clock::now();
}

void MemoryAudioSink::flush() {
    if (!open_) return;
    advance(Clock::now());
    heardBefore_ += heard_;
    // Frames written but never heard leave the log, so it holds what was heard (or is due).
    const int64_t keep = epochFirst_ + heard_;
    log_->samples.resize(size_t(keep) * log_->format.channels);
    while (!log_->chunks.empty() && log_->chunks.back().first >= keep)
        log_->chunks.pop_back();
    if (!log_->chunks.empty()) {
        auto& c = log_->chunks.back();
        c.frames = std::min(c.frames, keep - c.first);
    }
    ++log_->flushes;
    epochFirst_ = keep;
    log_->epochFirst = keep;
    queued_ = heard_ = 0;
    started_ = false;
    anchorTime_ = Clock::now();
}

void MemoryAudioSink::setVolume(double volume) {
    log_->volume = volume;
}

bool MemoryAudioSink::failed() {
    advance(Clock::now());
    return failed_;
}

AudioSinkFactory MemorySinkFactory::factory() const {
    return [options = options, logs = logs]() -> std::unique_ptr<AudioSink> {
        auto sink = std::make_unique<MemoryAudioSink>(options);
        logs->push_back(sink->log());
        return sink;
    };
}

} // namespace qxm::audio
