#include "platform/audio/SoundDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <deque>

namespace qxm::audio {
namespace {

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwrFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

constexpr int kMinRate = 4000, kMaxRate = 192000, kFallbackRate = 48000;
constexpr double kSeekPreroll = 0.25; // seconds sought before the wanted frame
constexpr double kLongestGap = 60.0;  // silence filled in at most, seconds

std::string avText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

struct SoundDecoder::Impl {
    std::unique_ptr<AVFormatContext, FormatCloser> fmt;
    std::unique_ptr<AVCodecContext, CodecFreer> dec;
    std::unique_ptr<SwrContext, SwrFreer> swr;
    std::unique_ptr<AVPacket, PacketFreer> pkt{av_packet_alloc()};
    std::unique_ptr<AVFrame, FrameFreer> frame{av_frame_alloc()};
    AVStream* stream = nullptr;
    AudioFormat format;
    double origin = 0.0; // seconds of the stream clock that are frame 0

    std::deque<int16_t> pending; // decoded frames not yet read
    int64_t end = 0;             // index of the frame after the last one in pending
    bool positioned = false;     // the next decoded frame's time fixes its index
    bool drained = false;        // decoder flushed at the end of the file
    bool eof = false;
    std::vector<int16_t> converted;

    bool setUpResampler(std::string* why) {
        AVChannelLayout out = {};
        av_channel_layout_default(&out, format.channels);
        SwrContext* raw = nullptr;
        AVChannelLayout in = {};
        if (av_channel_layout_copy(&in, &dec->ch_layout) < 0 || in.nb_channels <= 0)
            av_channel_layout_default(&in, std::max(1, dec->ch_layout.nb_channels));
        const int rc = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, format.sampleRate, &in,
                                           dec->sample_fmt, dec->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (rc < 0 || !raw || swr_init(raw) < 0) {
            swr_free(&raw);
            if (why) *why = "cannot convert the sound's samples";
            return false;
        }
        swr.reset(raw);
        return true;
    }

    int channels() const { return format.channels; }
    int64_t pendingFrames() const { return int64_t(pending.size()) / channels(); }

    // Appends converted frames that begin at stream time `start` (seconds, NaN: unknown).
    void append(const int16_t* data, int64_t frames, double start) {
        if (frames <= 0) return;
        if (!positioned && std::isfinite(start)) {
            positioned = true;
            const int64_t at = std::llround((start - origin) * format.sampleRate);
            if (at > end) {
                const int64_t gap =
                    std::min<int64_t>(at - end, int64_t(kLongestGap * format.sampleRate));
                pending.insert(pending.end(), size_t(gap) * channels(), int16_t(0));
                end += gap;
            } else if (at < end) {
                const int64_t drop = std::min(frames, end - at);
                data += drop * channels();
                frames -= drop;
                if (frames == 0) {
                    positioned = false; // wholly before the wanted frame: the next one decides
                    return;
                }
            }
        } else if (!positioned) {
            positioned = true;
        }
        pending.insert(pending.end(), data, data + frames * channels());
        end += frames;
    }

    void convert(const AVFrame* f) {
        const int outMax = swr_get_out_samples(swr.get(), f ? f->nb_samples : 0);
        if (outMax <= 0) return;
        converted.resize(size_t(outMax) * channels());
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(converted.data())};
        const int got = swr_convert(swr.get(), out, outMax,
                                    f ? const_cast<const uint8_t**>(f->extended_data) : nullptr,
                                    f ? f->nb_samples : 0);
        if (got <= 0) return;
        double start = NAN;
        if (f) {
            const int64_t ts =
                f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
            if (ts != AV_NOPTS_VALUE) start = ts * av_q2d(stream->time_base);
        }
        // Resampling delay shifts the converted block a little; at equal rates there is none.
        append(converted.data(), got, start);
    }

    void receiveAll() {
        for (;;) {
            const int rc = avcodec_receive_frame(dec.get(), frame.get());
            if (rc < 0) return;
            convert(frame.get());
            av_frame_unref(frame.get());
        }
    }

    // Decodes one more packet's worth; false at the end.
    bool decodeMore() {
        if (eof) return false;
        for (;;) {
            const int rc = av_read_frame(fmt.get(), pkt.get());
            if (rc < 0) {
                if (!drained) {
                    drained = true;
                    avcodec_send_packet(dec.get(), nullptr);
                    receiveAll();
                    convert(nullptr);
                }
                eof = true;
                return false;
            }
            const bool ours = pkt->stream_index == stream->index;
            if (ours) {
                avcodec_send_packet(dec.get(), pkt.get()); // a damaged packet is skipped
                receiveAll();
            }
            av_packet_unref(pkt.get());
            if (ours) return true;
        }
    }
};

SoundDecoder::SoundDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SoundDecoder::~SoundDecoder() = default;

std::unique_ptr<SoundDecoder> SoundDecoder::open(const std::string& path, std::string* why) {
    auto impl = std::make_unique<Impl>();
    if (!impl->pkt || !impl->frame) {
        if (why) *why = "out of memory";
        return nullptr;
    }
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        if (why) *why = avText(rc);
        return nullptr;
    }
    impl->fmt.reset(raw);
    rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0) {
        if (why) *why = avText(rc);
        return nullptr;
    }
    AVStream* video = nullptr;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        AVStream* s = raw->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && !impl->stream) impl->stream = s;
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !video &&
            !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
            video = s;
    }
    if (!impl->stream) {
        if (why) *why = "no sound track";
        return nullptr;
    }
    AVStream* s = impl->stream;
    const AVCodec* codec = avcodec_find_decoder(s->codecpar->codec_id);
    if (!codec) {
        if (why) *why = "no decoder for the sound track";
        return nullptr;
    }
    impl->dec.reset(avcodec_alloc_context3(codec));
    if (!impl->dec || avcodec_parameters_to_context(impl->dec.get(), s->codecpar) < 0) {
        if (why) *why = "cannot set up the sound decoder";
        return nullptr;
    }
    impl->dec->thread_count = 1;
    impl->dec->pkt_timebase = s->time_base;
    rc = avcodec_open2(impl->dec.get(), codec, nullptr);
    if (rc < 0) {
        if (why) *why = avText(rc);
        return nullptr;
    }
    const int inRate = impl->dec->sample_rate;
    if (inRate <= 0 || impl->dec->sample_fmt == AV_SAMPLE_FMT_NONE) {
        if (why) *why = "the sound track has no sample rate";
        return nullptr;
    }
    impl->format.sampleRate = inRate >= kMinRate && inRate <= kMaxRate ? inRate : kFallbackRate;
    impl->format.channels = impl->dec->ch_layout.nb_channels == 1 ? 1 : 2;
    if (!impl->setUpResampler(why)) return nullptr;

    // Frame 0 is the first picture of a movie, the start of the sound otherwise.
    const AVStream* originStream = video ? video : s;
    if (originStream->start_time != AV_NOPTS_VALUE)
        impl->origin = originStream->start_time * av_q2d(originStream->time_base);
    else if (s->start_time != AV_NOPTS_VALUE)
        impl->origin = s->start_time * av_q2d(s->time_base);
    return std::unique_ptr<SoundDecoder>(new SoundDecoder(std::move(impl)));
}

const AudioFormat& SoundDecoder::format() const {
    return impl_->format;
}

int64_t SoundDecoder::position() const {
    return impl_->end - impl_->pendingFrames();
}

bool SoundDecoder::seek(int64_t frame) {
    Impl& d = *impl_;
    frame = std::max<int64_t>(0, frame);
    if (frame == position()) return true;
    const int64_t ahead = frame - position();
    if (ahead > 0 && ahead <= d.pendingFrames()) {
        d.pending.erase(d.pending.begin(), d.pending.begin() + ahead * d.channels());
        return true;
    }
    const double seconds = d.origin + double(frame) / d.format.sampleRate - kSeekPreroll;
    const AVRational tb = d.stream->time_base;
    int64_t ts = int64_t(std::floor(seconds / av_q2d(tb)));
    if (d.stream->start_time != AV_NOPTS_VALUE)
        ts = std::max(ts, d.stream->start_time);
    else
        ts = std::max<int64_t>(ts, 0);
    int rc = av_seek_frame(d.fmt.get(), d.stream->index, ts, AVSEEK_FLAG_BACKWARD);
    if (rc < 0)
        rc =
            av_seek_frame(d.fmt.get(), d.stream->index, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    if (rc < 0) return false;
    avcodec_flush_buffers(d.dec.get());
    if (!d.setUpResampler(nullptr)) return false;
    d.pending.clear();
    d.end = frame;
    d.positioned = false;
    d.drained = d.eof = false;
    return true;
}

int64_t SoundDecoder::read(std::vector<int16_t>& out, int64_t frames) {
    Impl& d = *impl_;
    if (frames <= 0) return 0;
    while (d.pendingFrames() < frames && d.decodeMore()) {
    }
    const int64_t n = std::min(frames, d.pendingFrames());
    const size_t samples = size_t(n) * d.channels();
    out.insert(out.end(), d.pending.begin(), d.pending.begin() + samples);
    d.pending.erase(d.pending.begin(), d.pending.begin() + samples);
    return n;
}

} // namespace qxm::audio
