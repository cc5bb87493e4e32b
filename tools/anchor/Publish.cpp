#include "tools/anchor/Publish.h"

#include "editor/anchors/AnchorPaths.h"
#include "editor/anchors/MovieObjectFile.h"
#include "platform/text/QuotedText.h"
#include "platform/video/AvHandles.h"
#include "platform/video/FrameSource.h"
#include "player_control/anchors/AnchorText.h"
#include "player_control/anchors/DefAnchor.h"
#include "tools/anchor/Anchors.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <unistd.h>

namespace qxm::anchortool {
namespace {

namespace fs = std::filesystem;
using video::av::errorText;

struct FormatSetup {
    const char* extension;
    const char* muxer;
    const char* encoder;
};

FormatSetup setupOf(PublishFormat f) {
    if (f == PublishFormat::WebM) return {".webm", "webm", "libvpx-vp9"};
    return {".mp4", "mp4", "libx264"};
}

// The movie's sound track carried over: decoded from the source, converted for the encoder the
// container takes (AAC in MP4, Opus in WebM) and written interleaved with the pictures, so a
// published movie loses neither frames nor sound.
class SoundTrack {
public:
    ~SoundTrack() {
        if (fifo_) av_audio_fifo_free(fifo_);
        if (swr_) swr_free(&swr_);
    }

    // Opens the movie's first sound stream and adds its encoded stream to out. present is false
    // (and the result true) when the movie has no sound.
    bool open(const std::string& moviePath, PublishFormat format, AVFormatContext* out,
              bool& present, std::string& error) {
        present = false;
        AVFormatContext* raw = nullptr;
        if (avformat_open_input(&raw, moviePath.c_str(), nullptr, nullptr) < 0) return true;
        in_.reset(raw);
        if (avformat_find_stream_info(in_.get(), nullptr) < 0) return true;
        const AVCodec* decoder = nullptr;
        index_ = av_find_best_stream(in_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (index_ < 0 || !decoder) return true;
        dec_.reset(avcodec_alloc_context3(decoder));
        if (!dec_) return fail(error, text::kOutOfMemory);
        int rc = avcodec_parameters_to_context(dec_.get(), in_->streams[index_]->codecpar);
        if (rc >= 0) rc = avcodec_open2(dec_.get(), decoder, nullptr);
        if (rc < 0) return fail(error, fill(text::kPublishSoundFailed, {errorText(rc)}));

        const char* name = format == PublishFormat::WebM ? "libopus" : "aac";
        const AVCodec* codec = avcodec_find_encoder_by_name(name);
        if (!codec) return fail(error, fill(text::kPublishNoEncoder, {name}));
        enc_.reset(avcodec_alloc_context3(codec));
        if (!enc_) return fail(error, text::kOutOfMemory);
        const int channels = std::min(2, std::max(1, dec_->ch_layout.nb_channels));
        av_channel_layout_default(&enc_->ch_layout, channels);
        enc_->sample_rate = format == PublishFormat::WebM ? 48000 : dec_->sample_rate;
        enc_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        enc_->bit_rate = channels == 1 ? 96000 : 160000;
        enc_->time_base = AVRational{1, enc_->sample_rate};
        if (out->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        rc = avcodec_open2(enc_.get(), codec, nullptr);
        if (rc < 0) return fail(error, fill(text::kPublishSoundFailed, {errorText(rc)}));

        stream_ = avformat_new_stream(out, nullptr);
        if (!stream_) return fail(error, text::kOutOfMemory);
        stream_->time_base = enc_->time_base;
        rc = avcodec_parameters_from_context(stream_->codecpar, enc_.get());
        if (rc < 0) return fail(error, fill(text::kPublishSoundFailed, {errorText(rc)}));

        rc = swr_alloc_set_opts2(&swr_, &enc_->ch_layout, enc_->sample_fmt, enc_->sample_rate,
                                 &dec_->ch_layout, dec_->sample_fmt, dec_->sample_rate, 0, nullptr);
        if (rc >= 0) rc = swr_init(swr_);
        if (rc < 0) return fail(error, fill(text::kPublishSoundFailed, {errorText(rc)}));
        fifo_ = av_audio_fifo_alloc(enc_->sample_fmt, channels, 4096);
        pkt_.reset(av_packet_alloc());
        decoded_.reset(av_frame_alloc());
        if (!fifo_ || !pkt_ || !decoded_) return fail(error, text::kOutOfMemory);
        present = true;
        return true;
    }

    // Writes the sound up to `seconds` from the start (all of it with finish).
    bool writeUntil(double seconds, AVFormatContext* out, std::string& error) {
        const std::int64_t target = static_cast<std::int64_t>(seconds * enc_->sample_rate);
        const int frameSize = enc_->frame_size > 0 ? enc_->frame_size : 1024;
        while (written_ < target) {
            if (av_audio_fifo_size(fifo_) < frameSize && !inputDone_) {
                if (!decodeMore(error)) return false;
                continue;
            }
            const int n = std::min(frameSize, av_audio_fifo_size(fifo_));
            if (n <= 0) break; // the sound is shorter than the pictures
            if (!encodeSamples(n, out, error)) return false;
        }
        return true;
    }

    bool finish(AVFormatContext* out, std::string& error) {
        const int frameSize = enc_->frame_size > 0 ? enc_->frame_size : 1024;
        while (!inputDone_)
            if (!decodeMore(error)) return false;
        while (av_audio_fifo_size(fifo_) > 0)
            if (!encodeSamples(std::min(frameSize, av_audio_fifo_size(fifo_)), out, error))
                return false;
        return drain(nullptr, out, error);
    }

private:
    static bool fail(std::string& error, std::string why) {
        error = std::move(why);
        return false;
    }

    // Reads and decodes the next sound packet into the queue of converted samples; at the end
    // of the file flushes the decoder and the converter.
    bool decodeMore(std::string& error) {
        for (;;) {
            const int rc = av_read_frame(in_.get(), pkt_.get());
            if (rc < 0) {
                avcodec_send_packet(dec_.get(), nullptr);
                if (!receiveDecoded(error)) return false;
                inputDone_ = true;
                return convert(nullptr, 0, error);
            }
            const bool ours = pkt_->stream_index == index_;
            if (ours && avcodec_send_packet(dec_.get(), pkt_.get()) < 0) {
                av_packet_unref(pkt_.get());
                continue; // a damaged packet costs its samples, not the movie
            }
            av_packet_unref(pkt_.get());
            if (ours) return receiveDecoded(error);
        }
    }

    bool receiveDecoded(std::string& error) {
        while (avcodec_receive_frame(dec_.get(), decoded_.get()) >= 0) {
            const bool ok = convert(const_cast<const std::uint8_t**>(decoded_->extended_data),
                                    decoded_->nb_samples, error);
            av_frame_unref(decoded_.get());
            if (!ok) return false;
        }
        return true;
    }

    bool convert(const std::uint8_t** in, int count, std::string& error) {
        const int room = swr_get_out_samples(swr_, count);
        if (room <= 0) return true;
        std::uint8_t** data = nullptr;
        if (av_samples_alloc_array_and_samples(&data, nullptr, enc_->ch_layout.nb_channels, room,
                                               enc_->sample_fmt, 0) < 0)
            return fail(error, text::kOutOfMemory);
        const int got = swr_convert(swr_, data, room, in, count);
        bool ok = got >= 0;
        if (got > 0) ok = av_audio_fifo_write(fifo_, reinterpret_cast<void**>(data), got) == got;
        av_freep(&data[0]);
        av_freep(&data);
        return ok || fail(error, fill(text::kPublishSoundFailed, {"conversion"}));
    }

    bool encodeSamples(int n, AVFormatContext* out, std::string& error) {
        video::av::Frame frame(av_frame_alloc());
        if (!frame) return fail(error, text::kOutOfMemory);
        frame->nb_samples = n;
        frame->format = enc_->sample_fmt;
        frame->sample_rate = enc_->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &enc_->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0) return fail(error, text::kOutOfMemory);
        if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data), n) != n)
            return fail(error, fill(text::kPublishSoundFailed, {"queue"}));
        frame->pts = written_;
        written_ += n;
        return drain(frame.get(), out, error);
    }

    bool drain(AVFrame* frame, AVFormatContext* out, std::string& error) {
        int rc = avcodec_send_frame(enc_.get(), frame);
        if (rc < 0) return fail(error, fill(text::kPublishSoundFailed, {errorText(rc)}));
        for (;;) {
            rc = avcodec_receive_packet(enc_.get(), pkt_.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return fail(error, fill(text::kPublishSoundFailed, {errorText(rc)}));
            av_packet_rescale_ts(pkt_.get(), enc_->time_base, stream_->time_base);
            pkt_->stream_index = stream_->index;
            rc = av_interleaved_write_frame(out, pkt_.get());
            if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));
        }
    }

    video::av::Input in_;
    video::av::Codec dec_;
    video::av::Codec enc_;
    video::av::Packet pkt_;
    video::av::Frame decoded_;
    SwrContext* swr_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    AVStream* stream_ = nullptr;
    int index_ = -1;
    bool inputDone_ = false;
    std::int64_t written_ = 0; // samples encoded
};

// Encodes BGR frames into one video stream at a constant rate: frame n has the timestamp n in a
// time base of one frame, no frame is reordered (no B-frames), so the n-th frame a browser
// presents is shown from n / rate on.
class Encoder {
public:
    bool open(const std::string& path, PublishFormat format, const video::MovieInfo& info,
              const std::string& moviePath, std::string& error) {
        const FormatSetup setup = setupOf(format);
        const AVCodec* codec = avcodec_find_encoder_by_name(setup.encoder);
        if (!codec) return fail(error, fill(text::kPublishNoEncoder, {setup.encoder}));
        AVFormatContext* raw = nullptr;
        int rc = avformat_alloc_output_context2(&raw, nullptr, setup.muxer, path.c_str());
        if (rc < 0 || !raw) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));
        fmt_.reset(raw);
        enc_.reset(avcodec_alloc_context3(codec));
        if (!enc_) return fail(error, text::kOutOfMemory);
        width_ = info.width;
        height_ = info.height;
        enc_->width = info.width;
        enc_->height = info.height;
        enc_->pix_fmt = AV_PIX_FMT_YUV420P;
        enc_->time_base = AVRational{info.fpsDen, info.fpsNum};
        enc_->framerate = AVRational{info.fpsNum, info.fpsDen};
        enc_->gop_size = 12; // a key frame every 12 frames keeps seeking quick
        enc_->max_b_frames = 0;
        enc_->colorspace = AVCOL_SPC_SMPTE170M;
        enc_->color_primaries = AVCOL_PRI_SMPTE170M;
        enc_->color_trc = AVCOL_TRC_SMPTE170M;
        enc_->color_range = AVCOL_RANGE_MPEG;
        if (format == PublishFormat::Mp4) {
            av_opt_set(enc_->priv_data, "preset", "veryfast", 0);
            av_opt_set(enc_->priv_data, "crf", "18", 0);
            av_opt_set(enc_->priv_data, "profile", "high", 0);
        } else {
            enc_->bit_rate = 0;
            av_opt_set(enc_->priv_data, "crf", "24", 0);
            av_opt_set(enc_->priv_data, "deadline", "good", 0);
            av_opt_set(enc_->priv_data, "cpu-used", "5", 0);
            av_opt_set(enc_->priv_data, "row-mt", "1", 0);
            // No hidden alternate reference frames: every packet is one shown frame.
            av_opt_set(enc_->priv_data, "auto-alt-ref", "0", 0);
            av_opt_set(enc_->priv_data, "lag-in-frames", "0", 0);
        }
        if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        rc = avcodec_open2(enc_.get(), codec, nullptr);
        if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));

        stream_ = avformat_new_stream(fmt_.get(), nullptr);
        if (!stream_) return fail(error, text::kOutOfMemory);
        stream_->time_base = enc_->time_base;
        stream_->avg_frame_rate = enc_->framerate;
        stream_->r_frame_rate = enc_->framerate;
        rc = avcodec_parameters_from_context(stream_->codecpar, enc_.get());
        if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));
        fps_ = static_cast<double>(info.fpsNum) / info.fpsDen;
        bool sound = false;
        sound_ = std::make_unique<SoundTrack>();
        if (!sound_->open(moviePath, format, fmt_.get(), sound, error)) return false;
        if (!sound) sound_.reset();
        rc = avio_open(&fmt_->pb, path.c_str(), AVIO_FLAG_WRITE);
        if (rc < 0) return fail(error, fill(text::kCannotWrite, {path, errorText(rc)}));
        AVDictionary* options = nullptr;
        // The index first, so a browser can start playing before the whole file has arrived.
        if (format == PublishFormat::Mp4) av_dict_set(&options, "movflags", "+faststart", 0);
        rc = avformat_write_header(fmt_.get(), &options);
        av_dict_free(&options);
        if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));

        frame_.reset(av_frame_alloc());
        pkt_.reset(av_packet_alloc());
        if (!frame_ || !pkt_) return fail(error, text::kOutOfMemory);
        frame_->format = AV_PIX_FMT_YUV420P;
        frame_->width = info.width;
        frame_->height = info.height;
        frame_->colorspace = enc_->colorspace;
        frame_->color_range = enc_->color_range;
        if (av_frame_get_buffer(frame_.get(), 0) < 0) return fail(error, text::kOutOfMemory);
        sws_.reset(sws_getContext(info.width, info.height, AV_PIX_FMT_BGR24, info.width,
                                  info.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND,
                                  nullptr, nullptr, nullptr));
        if (!sws_) return fail(error, text::kOutOfMemory);
        return true;
    }

    bool add(const std::vector<std::uint8_t>& bgr, std::int64_t n, std::string& error) {
        if (av_frame_make_writable(frame_.get()) < 0) return fail(error, text::kOutOfMemory);
        const std::uint8_t* src[1] = {bgr.data()};
        const int srcStride[1] = {width_ * 3};
        sws_scale(sws_.get(), src, srcStride, 0, height_, frame_->data, frame_->linesize);
        frame_->pts = n;
        if (!encode(frame_.get(), error)) return false;
        return !sound_ || sound_->writeUntil((n + 1) / fps_, fmt_.get(), error);
    }

    bool hasSound() const { return sound_ != nullptr; }

    bool finish(std::string& error) {
        if (!encode(nullptr, error)) return false;
        if (sound_ && !sound_->finish(fmt_.get(), error)) return false;
        const int rc = av_write_trailer(fmt_.get());
        if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));
        fmt_.reset(); // closes the file
        return true;
    }

private:
    static bool fail(std::string& error, std::string why) {
        error = std::move(why);
        return false;
    }

    bool encode(AVFrame* frame, std::string& error) {
        int rc = avcodec_send_frame(enc_.get(), frame);
        if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));
        for (;;) {
            rc = avcodec_receive_packet(enc_.get(), pkt_.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));
            av_packet_rescale_ts(pkt_.get(), enc_->time_base, stream_->time_base);
            pkt_->stream_index = stream_->index;
            rc = av_interleaved_write_frame(fmt_.get(), pkt_.get());
            if (rc < 0) return fail(error, fill(text::kPublishEncodeFailed, {errorText(rc)}));
        }
    }

    video::av::Output fmt_;
    video::av::Codec enc_;
    video::av::Frame frame_;
    video::av::Packet pkt_;
    video::av::Sws sws_;
    AVStream* stream_ = nullptr;
    std::unique_ptr<SoundTrack> sound_;
    double fps_ = 25.0;
    int width_ = 0;
    int height_ = 0;
};

void appendHtmlEscaped(std::string& out, std::string_view s) {
    for (char c : s) {
        if (const std::string_view e = markupEntity(c); !e.empty())
            out += e;
        else
            out += c;
    }
}

// The file name without its last extension (the part the web player replaces with ".obj").
std::string stemOf(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

bool copyFile(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error = fill(text::kCannotWrite, {to.string(), ec.message()});
        return false;
    }
    return true;
}

bool writeText(const fs::path& path, const std::string& content, std::string& error) {
    const fs::path temp = path.string() + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content;
        out.flush();
        if (!out) {
            error = fill(text::kCannotWrite, {path.string(), std::strerror(errno)});
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        error = fill(text::kCannotWrite, {path.string(), ec.message()});
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace

std::optional<PublishFormat> parsePublishFormat(std::string_view name) {
    if (name == "mp4") return PublishFormat::Mp4;
    if (name == "webm") return PublishFormat::WebM;
    return std::nullopt;
}

std::string urlEncodeName(std::string_view name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string defaultPlayerScript() {
    if (const char* env = std::getenv("QXM_WEB_PLAYER"); env && *env) return env;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return (exe.parent_path().parent_path() / "share" / "qxm" / "web" / "qxm-movie.js").string();
}

std::string publishedPage(const std::string& title, const std::string& videoName,
                          const std::string& frameRate, std::int64_t origin) {
    std::string t;
    appendHtmlEscaped(t, title);
    std::string src;
    appendHtmlEscaped(src, urlEncodeName(videoName));
    std::string page = text::kPublishPageHead;
    page = fill(page, {t});
    std::string element =
        "<qxm-movie movie-file=\"" + src + "\" frame-rate=\"" + frameRate + "\" show-anchor";
    if (origin != 0) element += " anchor-frame-origin=\"" + std::to_string(origin) + "\"";
    element += "></qxm-movie>";
    page += fill(text::kPublishPageBody, {t, element});
    return page;
}

bool publishMovie(const PublishOptions& options, PublishResult& result,
                  std::vector<std::string>& warnings, std::string& error) {
    // The movie and the anchor object file that belongs to it.
    std::string moviePath = options.movie;
    fs::path anchorPath;
    std::int64_t origin = 0;
    std::string lower = fs::path(options.movie).extension().string();
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!readableFile(options.movie)) {
        error = fill(text::kCannotRead, {options.movie});
        return false;
    }
    if (lower == ".mob") {
        std::vector<std::string> messages;
        std::optional<anchors::MovieObject> mob;
        {
            CollectedPrompts prompts(messages);
            mob = anchors::ReadMovieObjectFile(options.movie);
        }
        if (!mob) {
            error = messages.empty() ? fill(text::kCannotRead, {options.movie}) : messages.front();
            return false;
        }
        moviePath = mob->MoviePath;
        origin = mob->StartFrame;
    }
    {
        // The editor saves beside the opened file under its name up to the first dot; the web
        // player, like the control, asks for the movie's name up to its last dot.
        const anchors::OpenedFileNames names = anchors::SplitOpenedPath(options.movie);
        anchorPath = anchors::AnchorFilePath(names.Folder, names.BaseName);
        if (!readableFile(anchorPath.string())) {
            const fs::path controls = anchorFilePath(moviePath);
            anchorPath = readableFile(controls.string()) ? controls : fs::path();
        }
    }
    int anchorCount = 0;
    if (!anchorPath.empty()) {
        const PlayerReading reading = readWithPlayer(anchorPath.string());
        if (reading.result != 0) {
            error = fill(
                text::kPublishRefusedAnchors,
                {anchorPath.string(), std::to_string(reading.problem.line), anchorPath.string()});
            return false;
        }
        anchorCount = static_cast<int>(reading.anchors.size());
        if (anchorCount == 0) warnings.push_back(fill(text::kNoAnchors, {anchorPath.string()}));
    } else {
        warnings.push_back(fill(text::kPublishNoAnchorFile, {options.movie}));
    }

    video::OpenStatus status = video::OpenStatus::Ok;
    std::string message;
    const auto source = video::FrameSource::open(moviePath, status, &message);
    if (!source) {
        error = fill(text::kMovieUnreadable, {moviePath, message});
        return false;
    }
    const video::MovieInfo info = source->info();
    if (info.fpsNum <= 0 || info.fpsDen <= 0) {
        error = fill(text::kMovieNoRate, {moviePath});
        return false;
    }
    PublishFormat format = options.format.value_or(PublishFormat::Mp4);
    if (format == PublishFormat::Mp4 && (info.width % 2 || info.height % 2)) {
        if (options.format) {
            error = fill(text::kPublishOddSize,
                         {std::to_string(info.width), std::to_string(info.height)});
            return false;
        }
        format = PublishFormat::WebM;
        warnings.push_back(fill(text::kPublishChoseWebM,
                                {std::to_string(info.width), std::to_string(info.height)}));
    }

    std::error_code ec;
    const fs::path dir(options.outDir);
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
        error = fill(text::kCannotWrite, {options.outDir, ec ? ec.message() : "not a folder"});
        return false;
    }
    if (options.playerScript.empty() || !readableFile(options.playerScript)) {
        error = fill(text::kPublishNoPlayer, {options.playerScript});
        return false;
    }

    const std::string stem = stemOf(fs::path(moviePath).filename().string());
    const std::string videoName = stem + setupOf(format).extension;
    const fs::path videoFile = dir / videoName;
    const fs::path partFile = dir / (videoName + ".part");
    {
        Encoder encoder;
        bool ok = encoder.open(partFile.string(), format, info, moviePath, error);
        std::vector<std::uint8_t> bgr;
        for (std::int32_t n = 0; ok && n < info.frameCount; ++n) {
            if (!source->readBgr(n, bgr)) {
                error = fill(text::kPublishFrameUnreadable, {std::to_string(n), moviePath});
                ok = false;
                break;
            }
            ok = encoder.add(bgr, n, error);
        }
        ok = ok && encoder.finish(error);
        result.sound = ok && encoder.hasSound();
        if (!ok) {
            fs::remove(partFile, ec);
            return false;
        }
    }
    fs::rename(partFile, videoFile, ec);
    if (ec) {
        error = fill(text::kCannotWrite, {videoFile.string(), ec.message()});
        fs::remove(partFile, ec);
        return false;
    }
    // What was written must hold every frame: read it back the way the frame tools do.
    {
        video::OpenStatus back = video::OpenStatus::Ok;
        std::string why;
        const auto check = video::FrameSource::open(videoFile.string(), back, &why);
        if (!check || check->info().frameCount != info.frameCount) {
            error =
                fill(text::kPublishFrameCount,
                     {videoFile.string(), check ? std::to_string(check->info().frameCount) : why,
                      std::to_string(info.frameCount)});
            return false;
        }
    }

    result.anchorFile.clear();
    if (!anchorPath.empty()) {
        const fs::path target = dir / (stem + ".obj");
        if (!fs::equivalent(anchorPath, target, ec) && !copyFile(anchorPath, target, error))
            return false;
        result.anchorFile = target.string();
    }
    if (!copyFile(options.playerScript, dir / "qxm-movie.js", error)) return false;

    const std::int32_t g = std::gcd(info.fpsNum, info.fpsDen);
    const std::string rate = info.fpsDen / g == 1 ? std::to_string(info.fpsNum / g)
                                                  : std::to_string(info.fpsNum / g) + "/" +
                                                        std::to_string(info.fpsDen / g);
    const fs::path page = dir / "index.html";
    if (!writeText(page, publishedPage(stem, videoName, rate, origin), error)) return false;

    result.videoFile = videoFile.string();
    result.pageFile = page.string();
    result.format = format;
    result.frames = info.frameCount;
    result.fpsNum = info.fpsNum / g;
    result.fpsDen = info.fpsDen / g;
    result.width = info.width;
    result.height = info.height;
    result.origin = origin;
    result.anchors = anchorCount;
    return true;
}

} // namespace qxm::anchortool
