#include "testing/moviegen/MovieGen.h"

#include "platform/video/AvHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

namespace qxm::moviegen {

namespace {

struct KindSetup {
    const char* name;
    const char* extension;
    const char* description;
    const char* muxer;
    AVCodecID codec;
    const char* encoderName; // preferred encoder by name, or null for the default one
    AVPixelFormat pixfmt;
    int bFrames;
};

const KindSetup kSetups[] = {
    {"avi-bgr24", ".avi", "AVI, uncompressed 24-bit BGR", "avi", AV_CODEC_ID_RAWVIDEO, nullptr,
     AV_PIX_FMT_BGR24, 0},
    {"avi-pal8", ".avi", "AVI, uncompressed 256 colours", "avi", AV_CODEC_ID_RAWVIDEO, nullptr,
     AV_PIX_FMT_PAL8, 0},
    {"avi-mjpeg", ".avi", "AVI, Motion JPEG", "avi", AV_CODEC_ID_MJPEG, nullptr,
     AV_PIX_FMT_YUVJ420P, 0},
    {"avi-mpeg4", ".avi", "AVI, MPEG-4 part 2 with B-frames", "avi", AV_CODEC_ID_MPEG4, nullptr,
     AV_PIX_FMT_YUV420P, 2},
    {"mpg-mpeg1", ".mpg", "MPEG-1 system stream, MPEG-1 video with B-frames", "mpeg",
     AV_CODEC_ID_MPEG1VIDEO, nullptr, AV_PIX_FMT_YUV420P, 2},
    {"mpg-mpeg2", ".mpg", "MPEG-2 program stream, MPEG-2 video with B-frames", "vob",
     AV_CODEC_ID_MPEG2VIDEO, nullptr, AV_PIX_FMT_YUV420P, 2},
    {"mov-mjpeg", ".mov", "QuickTime, Motion JPEG", "mov", AV_CODEC_ID_MJPEG, nullptr,
     AV_PIX_FMT_YUVJ420P, 0},
    {"mov-mpeg4", ".mov", "QuickTime, MPEG-4 part 2 with B-frames", "mov", AV_CODEC_ID_MPEG4,
     nullptr, AV_PIX_FMT_YUV420P, 2},
    {"mov-h264", ".mov", "QuickTime, H.264 with B-frames (needs libx264)", "mov", AV_CODEC_ID_H264,
     "libx264", AV_PIX_FMT_YUV420P, 3},
};

const KindSetup* findSetup(const std::string& name) {
    for (const auto& s : kSetups)
        if (name == s.name) return &s;
    return nullptr;
}

const AVCodec* findEncoder(const KindSetup& s) {
    if (s.encoderName) return avcodec_find_encoder_by_name(s.encoderName);
    return avcodec_find_encoder(s.codec);
}

// Deterministic per-lattice-point noise in [0, 1).
double lattice(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA77u ^ uint32_t(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / double(0x1000000);
}

// Bilinear value noise with lattice spacing `cell`.
double valueNoise(double x, double y, int cell, uint32_t seed) {
    const double fx = x / cell, fy = y / cell;
    const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    const double tx = fx - ix, ty = fy - iy;
    const double a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    const double c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return (a * (1 - tx) + b * tx) * (1 - ty) + (c * (1 - tx) + d * tx) * ty;
}

uint8_t clampByte(double v) {
    return uint8_t(std::clamp(v, 0.0, 255.0));
}

int objectW(const MovieRecipe& s) {
    return s.objectWidth > 0 ? s.objectWidth : s.width / 5;
}
int objectH(const MovieRecipe& s) {
    return s.objectHeight > 0 ? s.objectHeight : s.height / 4;
}

struct Point {
    double x, y;
};

Point objectCentre(const MovieRecipe& s, int n) {
    const double ow = objectW(s), oh = objectH(s);
    const double top = barcodeHeight(s.height);
    const double W = s.width, H = s.height;
    switch (s.path) {
    case PathKind::Straight:
    case PathKind::Pause: {
        double steps = n;
        if (s.path == PathKind::Pause) {
            const int pauseFrom = s.frames / 3, pauseTo = s.frames / 2;
            if (n >= pauseTo)
                steps = n - (pauseTo - pauseFrom) + 1;
            else if (n >= pauseFrom)
                steps = pauseFrom;
        }
        const Point a{ow / 2 + 2, top + oh / 2 + 2};
        const Point b{W - ow / 2 - 2, H - oh / 2 - 2};
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        const double t = len > 0 ? std::min(1.0, s.speed * steps / len) : 0.0;
        return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
    }
    case PathKind::Curved: {
        const Point c{W / 2, (top + H) / 2};
        const double rx = std::max(1.0, (W - ow) / 2 - 2);
        const double ry = std::max(1.0, (H - top - oh) / 2 - 2);
        const double angle = s.speed * n / ((rx + ry) / 2);
        return {c.x - rx * std::cos(angle), c.y - ry * std::sin(angle)};
    }
    case PathKind::Leave: {
        const double x = std::min(W / 2 + s.speed * n, W + ow / 4);
        return {x, (top + H) / 2};
    }
    }
    return {W / 2, H / 2};
}

void fillBarcode(const MovieRecipe& s, int n, std::vector<uint8_t>& bgr) {
    const int bh = barcodeHeight(s.height);
    int bits[kBarcodeCells];
    bits[0] = 1;
    bits[kBarcodeCells - 1] = 0;
    int parity = 0;
    for (int i = 0; i < kBarcodeBits; ++i) {
        bits[1 + i] = (n >> (kBarcodeBits - 1 - i)) & 1;
        parity ^= bits[1 + i];
    }
    bits[kBarcodeCells - 2] = parity;
    const int cw = barcodeCellWidth(s.width);
    for (int x = 0; x < s.width; ++x) {
        const int cell = std::min(x / cw, kBarcodeCells - 1);
        const uint8_t v = bits[cell] ? 255 : 0;
        for (int y = 0; y < bh; ++y) {
            uint8_t* p = &bgr[(size_t(y) * s.width + x) * 3];
            p[0] = p[1] = p[2] = v;
        }
    }
}

const auto avError = qxm::video::av::errorText;

// Encodes frames and writes them; errors carry a reason.
class Writer {
public:
    Writer(const std::string& path, const MovieRecipe& movieRecipe, const KindSetup& setup)
        : path_(path), recipe_(movieRecipe), setup_(setup) {}

    bool run(std::string& error) {
        if (!openAll(error)) return false;
        std::vector<uint8_t> bgr;
        for (int n = 0; n < recipe_.frames; ++n) {
            // A dropped frame leaves a gap in the timestamps, which the AVI writer fills with an
            // empty index entry.
            if (std::binary_search(recipe_.dropped.begin(), recipe_.dropped.end(), n)) continue;
            renderFrame(recipe_, n, bgr);
            if (!fillFrame(bgr, error)) return false;
            frame_->pts = n;
            if (!encode(frame_.get(), error)) return false;
            if (aenc_ && !addTone(n, error)) return false;
        }
        if (!encode(nullptr, error)) return false;
        if (aenc_ && !finishTone(error)) return false;
        const int rc = av_write_trailer(fmt_.get());
        if (rc < 0) return fail(error, "cannot finish the file: " + avError(rc));
        return true;
    }

private:
    bool fail(std::string& error, const std::string& why) {
        error = why;
        return false;
    }

    bool openAll(std::string& error) {
        const AVCodec* codec = findEncoder(setup_);
        if (!codec) return fail(error, std::string("no encoder for kind ") + setup_.name);
        AVFormatContext* raw = nullptr;
        int rc = avformat_alloc_output_context2(&raw, nullptr, setup_.muxer, path_.c_str());
        if (rc < 0 || !raw) return fail(error, "cannot set up the container: " + avError(rc));
        fmt_.reset(raw);

        enc_.reset(avcodec_alloc_context3(codec));
        if (!enc_) return fail(error, "out of memory");
        enc_->width = recipe_.width;
        enc_->height = recipe_.height;
        enc_->pix_fmt = setup_.pixfmt;
        enc_->time_base = AVRational{1, recipe_.fps};
        enc_->framerate = AVRational{recipe_.fps, 1};
        enc_->thread_count = 1;
        enc_->gop_size = recipe_.gop;
        enc_->max_b_frames = setup_.bFrames;
        if (setup_.codec != AV_CODEC_ID_RAWVIDEO && setup_.codec != AV_CODEC_ID_H264) {
            enc_->flags |= AV_CODEC_FLAG_QSCALE;
            enc_->global_quality = FF_QP2LAMBDA * 3;
        }
        // Long groups: key frames by count only, none added where the picture changes much.
        if (recipe_.gop > 12)
            av_opt_set_int(enc_.get(), "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
        if (setup_.codec == AV_CODEC_ID_H264) {
            av_opt_set(enc_->priv_data, "preset", "veryfast", 0);
            av_opt_set(enc_->priv_data, "crf", "18", 0);
        }
        if (setup_.codec == AV_CODEC_ID_MPEG1VIDEO || setup_.codec == AV_CODEC_ID_MPEG2VIDEO ||
            setup_.codec == AV_CODEC_ID_MPEG4)
            enc_->mb_decision = FF_MB_DECISION_RD;
        if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        rc = avcodec_open2(enc_.get(), codec, nullptr);
        if (rc < 0) return fail(error, "cannot open the encoder: " + avError(rc));

        stream_ = avformat_new_stream(fmt_.get(), nullptr);
        if (!stream_) return fail(error, "out of memory");
        stream_->time_base = enc_->time_base;
        stream_->avg_frame_rate = enc_->framerate;
        rc = avcodec_parameters_from_context(stream_->codecpar, enc_.get());
        if (rc < 0) return fail(error, "cannot set the stream up: " + avError(rc));

        if (recipe_.toneRate > 0 && !openTone(error)) return false;
        if (!(fmt_->oformat->flags & AVFMT_NOFILE)) {
            rc = avio_open(&fmt_->pb, path_.c_str(), AVIO_FLAG_WRITE);
            if (rc < 0) return fail(error, "cannot create " + path_ + ": " + avError(rc));
        }
        AVDictionary* options = nullptr;
        if (std::string(setup_.muxer) == "mpeg" || std::string(setup_.muxer) == "vob")
            av_dict_set(&options, "muxrate", "40000000", 0); // room for constant quality
        rc = avformat_write_header(fmt_.get(), &options);
        av_dict_free(&options);
        if (rc < 0) return fail(error, "cannot write the header: " + avError(rc));

        frame_.reset(av_frame_alloc());
        pkt_.reset(av_packet_alloc());
        if (!frame_ || !pkt_) return fail(error, "out of memory");
        frame_->format = setup_.pixfmt;
        frame_->width = recipe_.width;
        frame_->height = recipe_.height;
        rc = av_frame_get_buffer(frame_.get(), 0);
        if (rc < 0) return fail(error, "out of memory");
        if (setup_.pixfmt != AV_PIX_FMT_BGR24 && setup_.pixfmt != AV_PIX_FMT_PAL8) {
            sws_.reset(sws_getContext(recipe_.width, recipe_.height, AV_PIX_FMT_BGR24,
                                      recipe_.width, recipe_.height, setup_.pixfmt, SWS_BICUBIC,
                                      nullptr, nullptr, nullptr));
            if (!sws_) return fail(error, "cannot set up colour conversion");
        }
        return true;
    }

    bool fillFrame(const std::vector<uint8_t>& bgr, std::string& error) {
        const int rc = av_frame_make_writable(frame_.get());
        if (rc < 0) return fail(error, "out of memory");
        const int w = recipe_.width, h = recipe_.height;
        if (setup_.pixfmt == AV_PIX_FMT_BGR24) {
            for (int y = 0; y < h; ++y)
                std::copy_n(&bgr[size_t(y) * w * 3], w * 3,
                            frame_->data[0] + size_t(y) * frame_->linesize[0]);
        } else if (setup_.pixfmt == AV_PIX_FMT_PAL8) {
            for (int y = 0; y < h; ++y) {
                uint8_t* row = frame_->data[0] + size_t(y) * frame_->linesize[0];
                for (int x = 0; x < w; ++x) {
                    const uint8_t* p = &bgr[(size_t(y) * w + x) * 3];
                    row[x] = paletteIndex(p[0], p[1], p[2]);
                }
            }
            auto* pal = reinterpret_cast<uint32_t*>(frame_->data[1]);
            const auto& colours = paletteColours();
            for (int i = 0; i < 256; ++i)
                pal[i] = 0xFF000000u | colours[i];
        } else {
            const uint8_t* src[1] = {bgr.data()};
            const int srcStride[1] = {w * 3};
            sws_scale(sws_.get(), src, srcStride, 0, h, frame_->data, frame_->linesize);
        }
        return true;
    }

    bool encode(AVFrame* frame, std::string& error) {
        int rc = avcodec_send_frame(enc_.get(), frame);
        if (rc < 0) return fail(error, "encoding failed: " + avError(rc));
        for (;;) {
            rc = avcodec_receive_packet(enc_.get(), pkt_.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return fail(error, "encoding failed: " + avError(rc));
            av_packet_rescale_ts(pkt_.get(), enc_->time_base, stream_->time_base);
            pkt_->stream_index = stream_->index;
            rc = av_interleaved_write_frame(fmt_.get(), pkt_.get());
            if (rc < 0) return fail(error, "cannot write a frame: " + avError(rc));
        }
    }

    // The tone track: mono 16-bit samples, PCM or MPEG layer II (MPEG kinds).
    bool openTone(std::string& error) {
        const bool mpeg = std::string(setup_.muxer) == "mpeg" || std::string(setup_.muxer) == "vob";
        const AVCodec* codec = avcodec_find_encoder(mpeg ? AV_CODEC_ID_MP2 : AV_CODEC_ID_PCM_S16LE);
        if (!codec) return fail(error, "no encoder for the tone track");
        aenc_.reset(avcodec_alloc_context3(codec));
        if (!aenc_) return fail(error, "out of memory");
        aenc_->sample_fmt = AV_SAMPLE_FMT_S16;
        aenc_->sample_rate = recipe_.toneRate;
        av_channel_layout_default(&aenc_->ch_layout, 1);
        aenc_->time_base = AVRational{1, recipe_.toneRate};
        if (mpeg) aenc_->bit_rate = 128000;
        if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) aenc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int rc = avcodec_open2(aenc_.get(), codec, nullptr);
        if (rc < 0) return fail(error, "cannot open the tone encoder: " + avError(rc));
        astream_ = avformat_new_stream(fmt_.get(), nullptr);
        if (!astream_) return fail(error, "out of memory");
        astream_->time_base = aenc_->time_base;
        rc = avcodec_parameters_from_context(astream_->codecpar, aenc_.get());
        if (rc < 0) return fail(error, "cannot set the tone stream up: " + avError(rc));
        aframe_.reset(av_frame_alloc());
        if (!aframe_) return fail(error, "out of memory");
        return true;
    }

    // Adds frame n's stretch of the tone and encodes every whole block.
    bool addTone(int n, std::string& error) {
        const int64_t rate = recipe_.toneRate, fps = recipe_.fps;
        const int64_t from = int64_t(n) * rate / fps, to = int64_t(n + 1) * rate / fps;
        const double step = 2.0 * M_PI * toneFrequency(n) / double(rate);
        for (int64_t i = from; i < to; ++i) {
            tone_.push_back(int16_t(std::lround(16383.0 * std::sin(phase_))));
            phase_ = std::fmod(phase_ + step, 2.0 * M_PI);
        }
        const size_t block = aenc_->frame_size > 0 ? size_t(aenc_->frame_size) : tone_.size();
        while (!tone_.empty() && tone_.size() >= block)
            if (!encodeTone(block, error)) return false;
        return true;
    }

    bool finishTone(std::string& error) {
        if (!tone_.empty()) {
            const size_t block = aenc_->frame_size > 0 ? size_t(aenc_->frame_size) : tone_.size();
            tone_.resize(block, 0); // the last block filled up with silence
            if (!encodeTone(block, error)) return false;
        }
        return sendTone(nullptr, error);
    }

    bool encodeTone(size_t count, std::string& error) {
        av_frame_unref(aframe_.get());
        aframe_->format = AV_SAMPLE_FMT_S16;
        aframe_->sample_rate = recipe_.toneRate;
        aframe_->nb_samples = int(count);
        av_channel_layout_default(&aframe_->ch_layout, 1);
        if (av_frame_get_buffer(aframe_.get(), 0) < 0) return fail(error, "out of memory");
        std::copy_n(tone_.begin(), count, reinterpret_cast<int16_t*>(aframe_->data[0]));
        tone_.erase(tone_.begin(), tone_.begin() + count);
        aframe_->pts = toneWritten_;
        toneWritten_ += int64_t(count);
        return sendTone(aframe_.get(), error);
    }

    bool sendTone(AVFrame* frame, std::string& error) {
        int rc = avcodec_send_frame(aenc_.get(), frame);
        if (rc < 0) return fail(error, "encoding the tone failed: " + avError(rc));
        for (;;) {
            rc = avcodec_receive_packet(aenc_.get(), pkt_.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return fail(error, "encoding the tone failed: " + avError(rc));
            av_packet_rescale_ts(pkt_.get(), aenc_->time_base, astream_->time_base);
            pkt_->stream_index = astream_->index;
            rc = av_interleaved_write_frame(fmt_.get(), pkt_.get());
            if (rc < 0) return fail(error, "cannot write the tone: " + avError(rc));
        }
    }

    qxm::video::av::Codec aenc_;
    qxm::video::av::Frame aframe_;
    AVStream* astream_ = nullptr;
    std::vector<int16_t> tone_; // samples not yet encoded
    double phase_ = 0.0;
    int64_t toneWritten_ = 0;

    std::string path_;
    const MovieRecipe& recipe_;
    const KindSetup& setup_;
    qxm::video::av::Output fmt_;
    qxm::video::av::Codec enc_;
    qxm::video::av::Frame frame_;
    qxm::video::av::Packet pkt_;
    qxm::video::av::Sws sws_;
    AVStream* stream_ = nullptr;
};

} // namespace

const std::vector<KindInfo>& movieKinds() {
    static const std::vector<KindInfo> kinds = [] {
        std::vector<KindInfo> v;
        for (const auto& s : kSetups)
            v.push_back({s.name, s.extension, s.description});
        return v;
    }();
    return kinds;
}

const KindInfo* findKind(const std::string& name) {
    for (const auto& k : movieKinds())
        if (k.name == name) return &k;
    return nullptr;
}

bool kindAvailable(const std::string& name) {
    const KindSetup* s = findSetup(name);
    return s && findEncoder(*s) && av_guess_format(s->muxer, nullptr, nullptr);
}

bool parsePath(const std::string& text, PathKind& out) {
    static const std::pair<const char*, PathKind> names[] = {{"straight", PathKind::Straight},
                                                             {"curved", PathKind::Curved},
                                                             {"pause", PathKind::Pause},
                                                             {"leave", PathKind::Leave}};
    for (const auto& [name, kind] : names)
        if (text == name) {
            out = kind;
            return true;
        }
    return false;
}

const char* pathName(PathKind path) {
    switch (path) {
    case PathKind::Straight:
        return "straight";
    case PathKind::Curved:
        return "curved";
    case PathKind::Pause:
        return "pause";
    case PathKind::Leave:
        return "leave";
    }
    return "?";
}

// Whole 16-pixel rows and cells of whole 8-pixel columns, so that block-based codecs keep the
// cells apart.
int barcodeHeight(int height) {
    return std::max(16, (height / 10 + 15) / 16 * 16);
}

int barcodeCellWidth(int width) {
    const int w = width / kBarcodeCells;
    return w >= 8 ? w / 8 * 8 : std::max(1, w);
}

bool validate(const MovieRecipe& movieRecipe, std::string& error) {
    const KindSetup* setup = findSetup(movieRecipe.kind);
    if (!setup) {
        error = "unknown kind: " + movieRecipe.kind;
        return false;
    }
    if (movieRecipe.width < 4 * kBarcodeCells || movieRecipe.width > 4096 ||
        movieRecipe.width % 2) {
        error = "width must be even and between 72 and 4096";
        return false;
    }
    if (movieRecipe.height < 48 || movieRecipe.height > 4096 || movieRecipe.height % 2) {
        error = "height must be even and between 48 and 4096";
        return false;
    }
    if (movieRecipe.frames < 1 || movieRecipe.frames > kMaxFrames) {
        error = "frame count must be between 1 and " + std::to_string(kMaxFrames);
        return false;
    }
    if (movieRecipe.toneRate != 0 &&
        (movieRecipe.toneRate < 8000 || movieRecipe.toneRate > 96000)) {
        error = "tone rate must be 0 or between 8000 and 96000 samples a second";
        return false;
    }
    if (!movieRecipe.dropped.empty()) {
        const auto& d = movieRecipe.dropped;
        if (setup->extension != std::string(".avi") || setup->bFrames != 0) {
            error = "only AVI kinds without B-frames can drop frames";
            return false;
        }
        if (!std::is_sorted(d.begin(), d.end()) ||
            std::adjacent_find(d.begin(), d.end()) != d.end() || d.front() < 1 ||
            d.back() >= movieRecipe.frames - 1) {
            // The writer marks a dropped frame when the next picture comes: the last frame
            // always carries one.
            error = "dropped frames must be ascending, distinct, from 1 to the last frame but one";
            return false;
        }
    }
    if (movieRecipe.gop < 1 || movieRecipe.gop > 1000) {
        error = "key frame distance must be between 1 and 1000";
        return false;
    }
    const bool mpeg =
        setup->codec == AV_CODEC_ID_MPEG1VIDEO || setup->codec == AV_CODEC_ID_MPEG2VIDEO;
    if (mpeg ? !(movieRecipe.fps == 24 || movieRecipe.fps == 25 || movieRecipe.fps == 30 ||
                 movieRecipe.fps == 50 || movieRecipe.fps == 60)
             : (movieRecipe.fps < 1 || movieRecipe.fps > 120)) {
        error = mpeg ? "MPEG kinds need a frame rate of 24, 25, 30, 50 or 60"
                     : "frame rate must be between 1 and 120";
        return false;
    }
    if (!(movieRecipe.speed >= 0 && movieRecipe.speed <= 1000)) {
        error = "speed must be between 0 and 1000 pixels a frame";
        return false;
    }
    const int ow = objectW(movieRecipe), oh = objectH(movieRecipe);
    if (ow < 4 || oh < 4 || ow > movieRecipe.width / 2 ||
        oh > (movieRecipe.height - barcodeHeight(movieRecipe.height)) / 2) {
        error = "object size must be at least 4x4 and at most half the free picture";
        return false;
    }
    return true;
}

Rect objectRect(const MovieRecipe& movieRecipe, int n) {
    const Point c = objectCentre(movieRecipe, n);
    const int ow = objectW(movieRecipe), oh = objectH(movieRecipe);
    Rect r;
    r.left = int(std::lround(c.x - ow / 2.0));
    r.top = int(std::lround(c.y - oh / 2.0));
    r.right = r.left + ow;
    r.bottom = r.top + oh;
    return r;
}

Rect visibleRect(const MovieRecipe& movieRecipe, int n) {
    Rect r = objectRect(movieRecipe, n);
    r.left = std::clamp(r.left, 0, movieRecipe.width);
    r.right = std::clamp(r.right, 0, movieRecipe.width);
    r.top = std::clamp(r.top, 0, movieRecipe.height);
    r.bottom = std::clamp(r.bottom, 0, movieRecipe.height);
    return r;
}

void renderFrame(const MovieRecipe& movieRecipe, int n, std::vector<uint8_t>& bgr) {
    const int w = movieRecipe.width, h = movieRecipe.height;
    bgr.assign(size_t(w) * h * 3, 0);
    const uint32_t bgSeed = movieRecipe.seed * 2 + 1, objSeed = movieRecipe.seed * 2 + 2;
    const Rect obj = objectRect(movieRecipe, n);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &bgr[(size_t(y) * w + x) * 3];
            if (x >= obj.left && x < obj.right && y >= obj.top && y < obj.bottom) {
                // Object texture moves with the object: coordinates relative to its corner.
                const int ox = x - obj.left, oy = y - obj.top;
                const double coarse = valueNoise(ox, oy, 6, objSeed);
                const double fine = valueNoise(ox, oy, 2, objSeed + 7);
                const bool check = ((ox / 5) + (oy / 5)) % 2;
                const double v = 60 + 120 * coarse + 50 * fine + (check ? 25 : -25);
                p[0] = clampByte(v * 0.25);
                p[1] = clampByte(v * 0.6 + 20);
                p[2] = clampByte(v + 30);
            } else {
                const double coarse = valueNoise(x, y, 16, bgSeed);
                const double mid = valueNoise(x, y, 5, bgSeed + 3);
                const double v = 40 + 90 * coarse + 50 * mid;
                p[0] = clampByte(v + 40);
                p[1] = clampByte(v * 0.8 + 20);
                p[2] = clampByte(v * 0.35);
            }
        }
    }
    fillBarcode(movieRecipe, n, bgr);
    if (findSetup(movieRecipe.kind) && findSetup(movieRecipe.kind)->pixfmt == AV_PIX_FMT_PAL8) {
        // Palettised kinds show exactly the palette's colours.
        const auto& colours = paletteColours();
        for (size_t i = 0; i < bgr.size(); i += 3) {
            const uint32_t c = colours[paletteIndex(bgr[i], bgr[i + 1], bgr[i + 2])];
            bgr[i] = uint8_t(c);
            bgr[i + 1] = uint8_t(c >> 8);
            bgr[i + 2] = uint8_t(c >> 16);
        }
    }
}

const std::vector<uint32_t>& paletteColours() {
    // 3 bits red, 3 bits green, 2 bits blue, each spread over the full 0..255 range.
    static const std::vector<uint32_t> colours = [] {
        std::vector<uint32_t> v(256);
        for (int i = 0; i < 256; ++i) {
            const uint32_t r = ((i >> 5) & 7) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7,
                           b = (i & 3) * 255 / 3;
            v[i] = (r << 16) | (g << 8) | b;
        }
        return v;
    }();
    return colours;
}

uint8_t paletteIndex(uint8_t b, uint8_t g, uint8_t r) {
    const int ri = (r * 7 + 127) / 255, gi = (g * 7 + 127) / 255, bi = (b * 3 + 127) / 255;
    return uint8_t((ri << 5) | (gi << 2) | bi);
}

int readBarcode(const uint8_t* bgr, int width, int height, int stride) {
    if (!bgr || width < kBarcodeCells || height < 16 || stride < width * 3) return -1;
    const int bh = barcodeHeight(height);
    const int cw = barcodeCellWidth(width);
    const int y0 = bh / 4, y1 = std::max(y0 + 1, bh - bh / 4);
    int bits[kBarcodeCells];
    int erased = -1; // a cell neither black nor white, as lossy coders sometimes leave one
    for (int cell = 0; cell < kBarcodeCells; ++cell) {
        // Sample the middle half of the cell so that blurred edges do not count.
        const int cx0 = cell * cw, cx1 = cx0 + cw;
        const int x0 = cx0 + (cx1 - cx0) / 4, x1 = std::max(x0 + 1, cx1 - (cx1 - cx0) / 4);
        long sum = 0, count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const uint8_t* p = bgr + size_t(y) * stride + size_t(x) * 3;
                sum += p[0] + p[1] + p[2];
                count += 3;
            }
        const long mean = sum / count;
        bits[cell] = mean >= 128;
        if (mean > 64 && mean < 192) {
            // One unclear data or parity cell can be restored from the parity; more cannot.
            if (erased >= 0 || cell == 0 || cell == kBarcodeCells - 1) return -1;
            erased = cell;
        }
    }
    if (bits[0] != 1 || bits[kBarcodeCells - 1] != 0) return -1;
    int parity = 0;
    for (int cell = 1; cell <= kBarcodeBits + 1; ++cell)
        if (cell != erased) parity ^= bits[cell];
    if (erased >= 0)
        bits[erased] = parity;
    else if (parity != 0)
        return -1;
    int value = 0;
    for (int i = 0; i < kBarcodeBits; ++i)
        value = (value << 1) | bits[1 + i];
    return value;
}

bool writeMovie(const std::string& path, const MovieRecipe& movieRecipe, std::string& error) {
    if (!validate(movieRecipe, error)) return false;
    const KindSetup& setup = *findSetup(movieRecipe.kind);
    if (!kindAvailable(movieRecipe.kind)) {
        error = "kind " + movieRecipe.kind + " is not available: this FFmpeg has no encoder for it";
        return false;
    }
    bool ok;
    {
        Writer writer(path, movieRecipe, setup);
        ok = writer.run(error);
    }
    if (!ok) std::remove(path.c_str());
    return ok;
}

bool writeTruth(const std::string& path, const MovieRecipe& movieRecipe, std::string& error) {
    std::ofstream out(path, std::ios::trunc);
    if (!out) {
        error = "cannot create " + path;
        return false;
    }
    out << "# qxm-make-movie truth: kind " << movieRecipe.kind << ", " << movieRecipe.width << "x"
        << movieRecipe.height << ", " << movieRecipe.frames << " frames, path "
        << pathName(movieRecipe.path) << ", speed " << movieRecipe.speed << ", seed "
        << movieRecipe.seed << "\n";
    out << "# frame left top right bottom (right and bottom exclusive, clipped to the picture)\n";
    for (int n = 0; n < movieRecipe.frames; ++n) {
        const Rect r = visibleRect(movieRecipe, n);
        out << n << ' ' << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom << '\n';
    }
    out.flush();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool readTruth(const std::string& path, std::vector<Rect>& rects, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    rects.clear();
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int frame;
        Rect r;
        std::string extra;
        if (!(fields >> frame >> r.left >> r.top >> r.right >> r.bottom) || (fields >> extra) ||
            frame != int(rects.size())) {
            error = path + ":" + std::to_string(lineNo) + ": malformed line";
            return false;
        }
        rects.push_back(r);
    }
    return true;
}

double toneFrequency(int frame) {
    return 600.0 + 200.0 * (((frame % kToneFrames) + kToneFrames) % kToneFrames);
}

int toneFrameOf(const int16_t* samples, int count, int rate) {
    if (!samples || rate <= 0 || count < rate / 200) return -1; // under 5 ms
    // Goertzel power of each frame's frequency over the stretch.
    double best = 0.0, total = 0.0;
    int bestFrame = -1;
    for (int i = 0; i < count; ++i)
        total += double(samples[i]) * samples[i];
    for (int f = 0; f < kToneFrames; ++f) {
        const double w = 2.0 * M_PI * toneFrequency(f) / rate;
        const double c = 2.0 * std::cos(w);
        double s1 = 0.0, s2 = 0.0;
        for (int i = 0; i < count; ++i) {
            const double s0 = samples[i] + c * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
        if (power > best) {
            best = power;
            bestFrame = f;
        }
    }
    // A tone puts about count/2 of the stretch's energy into its bin; silence or noise does not.
    if (total <= 0.0 || best < 0.1 * total * count / 2.0) return -1;
    return bestFrame;
}

} // namespace qxm::moviegen
