#pragma once
// Plays sound files (WAV and whatever else the sound decoder reads) one at a time on the
// application's thread, for the sound service: a new request replaces the sound that plays, a
// request with an empty file only stops it, a file that cannot be played plays nothing.
#include "platform/audio/AudioSink.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace qxm::audio {

class SoundDecoder;

class SoundFilePlayer : public QObject {
    Q_OBJECT
public:
    // Without a factory the default audio device is used.
    explicit SoundFilePlayer(AudioSinkFactory factory = {}, QObject* parent = nullptr);
    ~SoundFilePlayer() override;

    // Stops what plays, then starts `file`; false (and silence) when it cannot be played.
    // With wait, returns when the sound has been heard to its end.
    bool play(const std::string& file, bool wait = false);
    void stop();
    bool playing() const { return decoder_ != nullptr; }
    void setSinkFactory(AudioSinkFactory factory);

private:
    void pump();

    AudioSinkFactory factory_;
    std::unique_ptr<AudioSink> sink_;
    std::unique_ptr<SoundDecoder> decoder_;
    AudioFormat sinkFormat_;
    bool decoded_ = false; // the decoder has given everything
    int64_t written_ = 0;
    std::vector<int16_t> buffer_;
    QTimer pumpTimer_;
};

// Makes the sound service play its requests through one SoundFilePlayer on the application's
// thread (requests from other threads are handed over to it). Calling it again keeps the player
// and, when a factory is given, changes where its sound goes. Needs a QCoreApplication.
void installSoundPlayer(AudioSinkFactory factory = {});

} // namespace qxm::audio
