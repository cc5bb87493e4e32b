#include "platform/video/Remux.h"

#include "platform/video/AvHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace qxm::video::detail {

namespace {

using namespace av;
const auto avError = av::errorText;

// Opens and probes src; on failure returns null with the libav reason in error.
Input openInput(const std::string& src, std::string& error) {
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, src.c_str(), nullptr, nullptr);
    if (rc < 0) {
        error = avError(rc);
        return nullptr;
    }
    Input in(raw);
    rc = avformat_find_stream_info(in.get(), nullptr);
    if (rc < 0) {
        error = avError(rc);
        return nullptr;
    }
    return in;
}

int firstVideoStream(const AVFormatContext* fmt) {
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return int(i);
    }
    return -1;
}

AVRational frameRate(const AVStream* st) {
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0) return st->avg_frame_rate;
    if (st->r_frame_rate.num > 0 && st->r_frame_rate.den > 0) return st->r_frame_rate;
    return AVRational{25, 1};
}

std::string containerName(const AVInputFormat* fmt) {
    std::string name = fmt->name;
    return name.substr(0, name.find(','));
}

// Containers whose timestamps let the indexer place every frame correctly by itself.
bool trustedContainer(const std::string& name) {
    return name == "mov" || name == "matroska" || name == "webm";
}

void reportPosition(AVFormatContext* in, int pass, const StepProgress& progress) {
    if (!progress || !in->pb) return;
    const int64_t size = std::max<int64_t>(1, avio_size(in->pb));
    const int64_t pos = std::clamp<int64_t>(avio_tell(in->pb), 0, size);
    progress(pass * 1000 + pos * 1000 / size, 2000);
}

// Decodes the whole stream once and gives, for every packet in file order, the position of
// its picture in presentation order. Returns false when that mapping is not one to one.
bool presentationRanks(const std::string& src, int streamIndex, std::vector<int64_t>& rank,
                       const StepProgress& progress, std::string& error) {
    Input in = openInput(src, error);
    if (!in || streamIndex >= int(in->nb_streams)) return false;
    for (unsigned i = 0; i < in->nb_streams; ++i)
        if (int(i) != streamIndex) in->streams[i]->discard = AVDISCARD_ALL;
    const AVStream* st = in->streams[streamIndex];
    const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder) {
        error = "no decoder";
        return false;
    }
    Codec dec(avcodec_alloc_context3(decoder));
    Packet pkt(av_packet_alloc());
    av::Frame frame(av_frame_alloc());
    if (!dec || !pkt || !frame) {
        error = "out of memory";
        return false;
    }
    avcodec_parameters_to_context(dec.get(), st->codecpar);
    dec->thread_count = 1;
    dec->pkt_timebase = AVRational{1, 1};
    int rc = avcodec_open2(dec.get(), decoder, nullptr);
    if (rc < 0) {
        error = avError(rc);
        return false;
    }
    rank.clear();
    int64_t shown = 0;
    bool oneToOne = true;
    // Joined captures may change the picture size midway; such a movie cannot be served frame
    // for frame at one size, so it is refused rather than shown wrong.
    int width = 0, height = 0;
    std::string sizeChange;
    // Each packet is tagged with its number as timestamp; the decoder hands that tag on to
    // the picture the packet carries, in the order the pictures are shown.
    auto drain = [&]() {
        while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            if (shown == 0) {
                width = frame->width;
                height = frame->height;
            } else if (sizeChange.empty() && (frame->width != width || frame->height != height)) {
                sizeChange = "the picture size changes within the movie, from " +
                             std::to_string(width) + " x " + std::to_string(height) + " to " +
                             std::to_string(frame->width) + " x " +
                             std::to_string(frame->height) + " at frame " + std::to_string(shown);
            }
            const int64_t tag = frame->pts;
            if (tag < 0 || tag >= int64_t(rank.size()) || rank[tag] != -1)
                oneToOne = false;
            else
                rank[tag] = shown;
            ++shown;
            av_frame_unref(frame.get());
        }
    };
    while ((rc = av_read_frame(in.get(), pkt.get())) >= 0) {
        if (pkt->stream_index == streamIndex) {
            pkt->pts = pkt->dts = int64_t(rank.size());
            rank.push_back(-1);
            if (avcodec_send_packet(dec.get(), pkt.get()) < 0) oneToOne = false;
            drain();
            reportPosition(in.get(), 0, progress);
        }
        av_packet_unref(pkt.get());
    }
    if (rc != AVERROR_EOF) {
        error = "reading failed: " + avError(rc);
        return false;
    }
    avcodec_send_packet(dec.get(), nullptr);
    drain();
    if (!sizeChange.empty()) {
        error = sizeChange;
        rank.clear(); // a failure, not a stream to decode linearly
        return false;
    }
    if (!oneToOne || shown != int64_t(rank.size()) ||
        std::find(rank.begin(), rank.end(), -1) != rank.end()) {
        error = "pictures do not map one to one to packets";
        return false;
    }
    return true;
}

} // namespace

ProbeResult probeMovie(const std::string& path) {
    ProbeResult r;
    std::string why;
    Input in = openInput(path, why);
    if (!in) {
        r.status = OpenStatus::Unreadable;
        r.message = "not a movie file that can be read (" + why + "): " + path;
        return r;
    }
    r.streamIndex = firstVideoStream(in.get());
    if (r.streamIndex < 0) {
        r.status = OpenStatus::NoVideo;
        r.message = "the movie has no video stream: " + path;
        return r;
    }
    const AVStream* st = in->streams[r.streamIndex];
    const AVCodecParameters* par = st->codecpar;
    if (!avcodec_find_decoder(par->codec_id)) {
        r.status = OpenStatus::NoVideo;
        r.message = std::string("no decoder for the video stream (") +
                    avcodec_get_name(par->codec_id) + "): " + path;
        return r;
    }
    if (par->width <= 0 || par->height <= 0) {
        r.status = OpenStatus::BadSize;
        r.message = "the video stream has no picture size: " + path;
        return r;
    }
    const std::string container = containerName(in->iformat);
    r.kind = container + "/" + avcodec_get_name(par->codec_id);
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    const bool intraOnly = desc && (desc->props & AV_CODEC_PROP_INTRA_ONLY);
    r.needsRemux = !intraOnly && !trustedContainer(container);
    r.palettised = par->format == AV_PIX_FMT_PAL8;
    r.declaredFrames = st->nb_frames > 0 ? st->nb_frames : 0;
    // The AVI reader leaves the empty entries of dropped frames out of the stream's index but
    // counts them in the timestamps (in frames) of the entries after them.
    AVStream* indexed = in->streams[r.streamIndex];
    const int entries = avformat_index_get_entries_count(indexed);
    if (container == "avi" && entries > 0 && entries < r.declaredFrames) {
        for (int i = 0; i < entries; ++i) {
            const AVIndexEntry* e = avformat_index_get_entry(indexed, i);
            if (!e || e->size <= 0 || e->timestamp < 0 || e->timestamp >= r.declaredFrames ||
                (!r.pictureFrames.empty() && e->timestamp <= r.pictureFrames.back())) {
                r.pictureFrames.clear(); // not a plain run of pictures: no gaps taken on trust
                break;
            }
            r.pictureFrames.push_back(int32_t(e->timestamp));
        }
    }
    const AVRational fps = frameRate(st);
    r.fpsNum = fps.num;
    r.fpsDen = fps.den;
    return r;
}

RemuxResult remuxToMatroska(const std::string& src, int streamIndex, const std::string& dst,
                            const StepProgress& progress, std::string& error) {
    std::vector<int64_t> rank;
    if (!presentationRanks(src, streamIndex, rank, progress, error))
        return rank.empty() ? RemuxResult::Failed : RemuxResult::Unmappable;

    // Decode timestamps must not pass presentation ones: hold them back by the largest
    // reordering delay.
    int64_t delay = 0;
    for (size_t k = 0; k < rank.size(); ++k)
        delay = std::max(delay, int64_t(k) - rank[k]);

    Input in = openInput(src, error);
    if (!in) return RemuxResult::Failed;
    for (unsigned i = 0; i < in->nb_streams; ++i)
        if (int(i) != streamIndex) in->streams[i]->discard = AVDISCARD_ALL;
    const AVStream* ist = in->streams[streamIndex];
    const AVRational frameTime = av_inv_q(frameRate(ist));

    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, "matroska", dst.c_str());
    if (rc < 0 || !raw) {
        error = "cannot set up the cache file: " + avError(rc);
        return RemuxResult::Failed;
    }
    Output out(raw);
    AVStream* ost = avformat_new_stream(out.get(), nullptr);
    if (!ost || avcodec_parameters_copy(ost->codecpar, ist->codecpar) < 0) {
        error = "out of memory";
        return RemuxResult::Failed;
    }
    ost->codecpar->codec_tag = 0;
    ost->time_base = frameTime;
    ost->avg_frame_rate = frameRate(ist);
    rc = avio_open(&out->pb, dst.c_str(), AVIO_FLAG_WRITE);
    if (rc >= 0) rc = avformat_write_header(out.get(), nullptr);
    if (rc < 0) {
        error = "cannot write the cache file " + dst + ": " + avError(rc);
        return RemuxResult::Failed;
    }
    Packet pkt(av_packet_alloc());
    if (!pkt) return RemuxResult::Failed;
    size_t k = 0;
    while ((rc = av_read_frame(in.get(), pkt.get())) >= 0) {
        if (pkt->stream_index == streamIndex) {
            if (k >= rank.size()) {
                error = "the movie changed while being indexed";
                return RemuxResult::Failed;
            }
            pkt->pts = rank[k];
            pkt->dts = int64_t(k) - delay;
            pkt->duration = 1;
            pkt->pos = -1;
            pkt->stream_index = 0;
            av_packet_rescale_ts(pkt.get(), frameTime, ost->time_base);
            rc = av_write_frame(out.get(), pkt.get());
            if (rc < 0) {
                error = "cannot write the cache file: " + avError(rc);
                return RemuxResult::Failed;
            }
            ++k;
            reportPosition(in.get(), 1, progress);
        }
        av_packet_unref(pkt.get());
    }
    if (k != rank.size()) {
        error = "the movie changed while being indexed";
        return RemuxResult::Failed;
    }
    rc = av_write_trailer(out.get());
    if (rc >= 0) rc = avio_closep(&out->pb); // its last writes may fail only here
    if (rc < 0) {
        error = "cannot finish the cache file: " + avError(rc);
        return RemuxResult::Failed;
    }
    return RemuxResult::Done;
}

} // namespace qxm::video::detail
