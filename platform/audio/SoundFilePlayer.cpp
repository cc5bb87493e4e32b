#include "platform/audio/SoundFilePlayer.h"

#include "platform/audio/SoundDecoder.h"
#include "platform/sound/SoundService.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <chrono>
#include <thread>

namespace qxm::audio {
namespace {

constexpr int kPumpMs = 20;
constexpr int64_t kChunkMs = 40;
constexpr auto kLongestWait = std::chrono::minutes(10);

} // namespace

SoundFilePlayer::SoundFilePlayer(AudioSinkFactory factory, QObject* parent)
    : QObject(parent), factory_(std::move(factory)) {
    pumpTimer_.setInterval(kPumpMs);
    connect(&pumpTimer_, &QTimer::timeout, this, &SoundFilePlayer::pump);
}

SoundFilePlayer::~SoundFilePlayer() = default;

void SoundFilePlayer::setSinkFactory(AudioSinkFactory factory) {
    stop();
    sink_.reset();
    factory_ = std::move(factory);
}

void SoundFilePlayer::stop() {
    pumpTimer_.stop();
    decoder_.reset();
    if (sink_) sink_->close();
}

bool SoundFilePlayer::play(const std::string& file, bool wait) {
    stop();
    if (file.empty()) return true;
    auto decoder = SoundDecoder::open(file);
    if (!decoder) return false;
    if (!sink_) sink_ = factory_ ? factory_() : makeDeviceSink();
    if (!sink_ || !sink_->open(decoder->format())) return false;
    sinkFormat_ = decoder->format();
    decoder_ = std::move(decoder);
    decoded_ = false;
    written_ = 0;
    buffer_.clear();
    pump();
    if (wait) {
        const auto until = std::chrono::steady_clock::now() + kLongestWait;
        while (decoder_ && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pump();
        }
    } else if (decoder_) {
        pumpTimer_.start();
    }
    return true;
}

void SoundFilePlayer::pump() {
    if (!decoder_ || !sink_) return;
    if (sink_->failed()) {
        stop(); // the device went away: the rest is silence
        return;
    }
    for (;;) {
        const int64_t room = sink_->room();
        if (room <= 0) break;
        const int channels = sinkFormat_.channels;
        if (buffer_.empty() && !decoded_) {
            const int64_t want = std::min(room, kChunkMs * sinkFormat_.sampleRate / 1000 + 1);
            if (decoder_->read(buffer_, want) < want) decoded_ = true;
        }
        if (buffer_.empty()) break;
        const int64_t frames = int64_t(buffer_.size()) / channels;
        const int64_t taken = sink_->write(buffer_.data(), frames);
        if (taken <= 0) break;
        written_ += taken;
        buffer_.erase(buffer_.begin(), buffer_.begin() + taken * channels);
    }
    if (decoded_ && buffer_.empty() && sink_->playedFrames() >= written_) stop();
}

void installSoundPlayer(AudioSinkFactory factory) {
    static QPointer<SoundFilePlayer> player;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (!player) {
        player = new SoundFilePlayer(std::move(factory), app);
        if (player->thread() != app->thread()) player->moveToThread(app->thread());
    } else if (factory) {
        player->setSinkFactory(std::move(factory));
    }
    QPointer<SoundFilePlayer> target = player;
    sound::setSoundPlayer([target](const sound::SoundRequest& request) {
        SoundFilePlayer* p = target.data();
        if (!p) return false;
        if (QThread::currentThread() == p->thread()) {
            if (request.file.empty()) {
                p->stop();
                return true;
            }
            return p->play(request.file, !request.async);
        }
        // From another thread: the player's thread does it; a waiting request waits for it.
        auto run = [p, request] {
            if (request.file.empty()) {
                p->stop();
                return true;
            }
            return p->play(request.file, !request.async);
        };
        if (request.async) {
            QMetaObject::invokeMethod(
                p, [run] { run(); }, Qt::QueuedConnection);
            return true;
        }
        bool result = false;
        QMetaObject::invokeMethod(
            p, [run, &result] { result = run(); }, Qt::BlockingQueuedConnection);
        return result;
    });
}

} // namespace qxm::audio
