#pragma once
// Decodes the first audio track of a file (a movie or a sound file such as WAV) into signed
// 16-bit interleaved frames at the track's own rate, mono or stereo (more channels are mixed
// down to two). Frames are counted from the time origin of the file: the first video frame of a
// movie, the start of the sound in a sound file; sound before the origin is dropped, and a track
// that starts late or has a gap is filled with silence, so frame n always belongs to the time
// n / sampleRate after the origin. No Qt; used from one thread at a time.
#include "platform/audio/AudioSink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qxm::audio {

class SoundDecoder {
public:
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // Null when the file cannot be read or holds no decodable audio (why says which).
    static std::unique_ptr<SoundDecoder> open(const std::string& path, std::string* why = nullptr);

    const AudioFormat& format() const;
    // Where the next read() starts.
    int64_t position() const;
    // The next read() starts at `frame`; false when the file cannot be positioned.
    bool seek(int64_t frame);
    // Appends up to `frames` frames to out; returns how many (fewer only at the track's end).
    int64_t read(std::vector<int16_t>& out, int64_t frames);

private:
    struct Impl;
    explicit SoundDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace qxm::audio
