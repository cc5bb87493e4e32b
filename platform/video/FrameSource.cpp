// Frame source on FFMS2.
//
// Random access is exact by construction: containers whose timestamps place every frame
// (QuickTime, Matroska) and intra-only streams are opened as they are, in the normal seek
// mode. Streams with reordered pictures in containers without trustworthy presentation
// timestamps (MPEG program streams, AVI with B-frames) are rewritten once into a Matroska
// file in the cache whose timestamps come from a full decode (see Remux.cpp), and that file
// is opened in the normal mode. Should a stream defy that mapping, the original is opened in
// the linear mode, which is slow for distant frames but exact.
#include "platform/video/FrameSource.h"

#include "platform/files/FileLock.h"
#include "platform/files/TextFiles.h"

#include "platform/video/DroppedFrames.h"
#include "platform/video/GopCache.h"
#include "platform/video/Hash.h"
#include "platform/video/Remux.h"

#include <ffms.h>
extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixfmt.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace qxm::video {

namespace {

std::mutex gDecoderMessagesMutex;
DecoderMessages gDecoderMessages; // guarded by gDecoderMessagesMutex

// The libraries' own messages: errors go to the handler when a program installed one; the
// rest, and everything when none is installed, is dropped.
void forwardLibraryMessage(void* context, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    const std::lock_guard lock(gDecoderMessagesMutex);
    if (!gDecoderMessages) return;
    char line[1024];
    int prefix = 0; // the context's name alone, without its address
    av_log_format_line2(context, level, format, args, line, sizeof line, &prefix);
    const AVClass* kind = context ? *static_cast<const AVClass* const*>(context) : nullptr;
    std::string text = kind && kind->item_name ? std::string(kind->item_name(context)) + ": " : "";
    text += line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (!text.empty()) gDecoderMessages(text);
}

void initLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        FFMS_Init(0, 0);
        FFMS_SetLogLevel(FFMS_LOG_QUIET);
        av_log_set_level(AV_LOG_QUIET);
        av_log_set_callback(forwardLibraryMessage);
    });
}

struct IndexDeleter {
    void operator()(FFMS_Index* i) const { FFMS_DestroyIndex(i); }
};
struct SourceDeleter {
    void operator()(FFMS_VideoSource* v) const { FFMS_DestroyVideoSource(v); }
};
using IndexPtr = std::unique_ptr<FFMS_Index, IndexDeleter>;
using SourcePtr = std::unique_ptr<FFMS_VideoSource, SourceDeleter>;

struct ErrorInfo {
    char buffer[1024] = {};
    FFMS_ErrorInfo info{0, 0, sizeof buffer, buffer};
    std::string text() const { return buffer[0] ? std::string(buffer) : "unknown error"; }
};

std::string hex64(uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

fs::path cacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    if (xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".cache";
    else
        base = fs::temp_directory_path();
    return base / "qxm" / "video";
}

// Cache entries are named "<hash of path>-<hash of path, size, mtime>.<what>", so that a
// changed movie gets new entries and the old ones of the same path can be dropped.
struct CacheKey {
    std::string pathPart;
    std::string full;
};

CacheKey cacheKey(const std::string& canonical, const struct stat& st) {
    const uint64_t pathHash = fnv1a64(canonical);
    const std::string state = canonical + '\n' + std::to_string(st.st_size) + '\n' +
                              std::to_string(st.st_mtim.tv_sec) + '.' +
                              std::to_string(st.st_mtim.tv_nsec) + '\n' + std::to_string(st.st_ino);
    const std::string p = hex64(pathHash);
    return {p, p + "-" + hex64(fnv1a64(state))};
}

void dropStaleEntries(const fs::path& folder, const CacheKey& key) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(key.pathPart + "-", 0) == 0 && name.rfind(key.full, 0) != 0)
            fs::remove(entry.path(), ec);
    }
}

// A unique temporary name beside target, for writing a cache file then renaming it.
fs::path temporaryFor(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    const auto tid = std::hash<std::thread::id>{}(std::this_thread::get_id());
    return target.string() + ".tmp" + std::to_string(getpid()) + "-" +
           std::to_string(tid % 100000) + "-" + std::to_string(counter++);
}

// Maps the two or three indexing steps onto one growing progress count.
class StagedProgress {
public:
    StagedProgress(const Progress& p, int stages) : progress_(p), stages_(stages) {}
    void begin(int stage) { stage_ = stage; }
    void report(int64_t done, int64_t total) {
        if (!progress_) return;
        const int64_t part = total > 0 ? std::clamp<int64_t>(done * 1000 / total, 0, 1000) : 0;
        progress_(stage_ * 1000 + part, int64_t(stages_) * 1000);
    }
    void finish() {
        if (progress_) progress_(int64_t(stages_) * 1000, int64_t(stages_) * 1000);
    }

private:
    const Progress& progress_;
    int stages_;
    int stage_ = 0;
};

int FFMS_CC indexCallback(int64_t current, int64_t total, void* priv) {
    static_cast<StagedProgress*>(priv)->report(current, total);
    return 0;
}

// The cached index of source when there is one and it still belongs to source.
IndexPtr readMatchingIndex(const std::string& source, const fs::path& indexFile) {
    ErrorInfo err;
    std::error_code ec;
    if (!fs::exists(indexFile, ec)) return nullptr;
    IndexPtr index(FFMS_ReadIndex(indexFile.c_str(), &err.info));
    if (index && FFMS_IndexBelongsToFile(index.get(), source.c_str(), &err.info) == 0) return index;
    return nullptr;
}

// Makes a finished temporary cache file durable and puts it in place of target; on failure
// the temporary is gone, target is as it was, and why says what failed.
bool storeCacheFile(const fs::path& tmp, const fs::path& target, std::string& why) {
    std::string what;
    if (const int e = commitTemporaryFile(-1, tmp.string(), target.string(), &what); e != 0) {
        why = what + ": " + std::strerror(e);
        return false;
    }
    return true;
}

// Indexes source and stores the index in indexFile (when that fails, the index is used all
// the same and made again next time).
IndexPtr buildIndex(const std::string& source, const fs::path& indexFile, StagedProgress& progress,
                    std::string& error) {
    ErrorInfo err;
    FFMS_Indexer* indexer = FFMS_CreateIndexer(source.c_str(), &err.info);
    if (!indexer) {
        error = err.text();
        return nullptr;
    }
    FFMS_SetProgressCallback(indexer, indexCallback, &progress);
    // Indexing takes ownership of the indexer whatever the outcome.
    IndexPtr index(FFMS_DoIndexing2(indexer, FFMS_IEH_ABORT, &err.info));
    if (!index) {
        error = err.text();
        return nullptr;
    }
    const fs::path tmp = temporaryFor(indexFile);
    std::string notStored;
    if (FFMS_WriteIndex(tmp.c_str(), index.get(), &err.info) == 0) {
        storeCacheFile(tmp, indexFile, notStored);
    } else {
        std::error_code ec;
        fs::remove(tmp, ec); // whatever part of it was written
    }
    return index;
}

void touch(const fs::path& file) {
    if (FILE* f = std::fopen(file.c_str(), "w")) std::fclose(f);
}

class FfmsFrameSource final : public FrameSource {
public:
    FfmsFrameSource(SourcePtr source, MovieInfo info)
        : source_(std::move(source)), info_(info), cache_(defaultCacheLimit()) {}

    const MovieInfo& info() const override { return info_; }

    bool read(int32_t n, Frame& out) override {
        if (n < 0 || n >= info_.frameCount) return false;
        const int32_t previous = asked_;
        asked_ = n;
        const bool stepBack = previous > n && previous - n <= kStepBack;
        const bool walkingBack = stepBack && steppedBack_;
        steppedBack_ = stepBack;
        if (const Frame* held = cache_.find(n)) {
            copyFrame(*held, out);
            return true;
        }
        // A short step back after another one (a walk backward, not a random read landing
        // just behind the last) decodes the group up to n once and keeps it, so that the steps
        // that follow find their frames held. Keeping costs a conversion of every frame.
        if (walkingBack && fillUpTo(n)) {
            copyFrame(*cache_.find(n), out);
            return true;
        }
        // Other reads keep nothing: copying every frame aside would slow plain reading down.
        return decode(n, out);
    }

    bool readBgr(int32_t n, std::vector<uint8_t>& out) override {
        if (!info_.palettised) {
            if (!read(n, scratch_)) return false;
            out.swap(scratch_.pixels);
            return true;
        }
        if (!read(n, scratch_)) return false;
        out.resize(scratch_.pixels.size() * 3);
        for (size_t i = 0; i < scratch_.pixels.size(); ++i) {
            const uint32_t c = scratch_.palette[scratch_.pixels[i]];
            out[i * 3] = uint8_t(c);
            out[i * 3 + 1] = uint8_t(c >> 8);
            out[i * 3 + 2] = uint8_t(c >> 16);
        }
        return true;
    }

    void setCacheLimit(std::size_t bytes) override { cache_.setLimit(bytes); }
    std::size_t cacheLimit() const override { return cache_.limit(); }

private:
    // The largest step back that fills the cache; longer jumps are random reads and decode
    // only the frame asked for.
    static constexpr int32_t kStepBack = 16;

    // Decodes frame n exactly into out.
    bool decode(int32_t n, Frame& out) {
        const FFMS_Frame* f = fetch(n);
        if (!f) return false;
        out.width = info_.width;
        out.height = info_.height;
        const int w = info_.width, h = info_.height;
        if (info_.palettised) {
            out.kind = Frame::Kind::Pal8;
            out.pixels.resize(size_t(w) * h);
            for (int y = 0; y < h; ++y)
                std::memcpy(&out.pixels[size_t(y) * w], f->Data[0] + size_t(y) * f->Linesize[0], w);
            out.palette.resize(256);
            std::memcpy(out.palette.data(), f->Data[1], 256 * 4);
            for (auto& c : out.palette)
                c &= 0xFFFFFFu;
        } else {
            out.kind = Frame::Kind::Bgr24;
            out.palette.clear();
            out.pixels.resize(size_t(w) * h * 3);
            for (int y = 0; y < h; ++y)
                std::memcpy(&out.pixels[size_t(y) * w * 3], f->Data[0] + size_t(y) * f->Linesize[0],
                            size_t(w) * 3);
        }
        return true;
    }

    static void copyFrame(const Frame& from, Frame& to) {
        to.kind = from.kind;
        to.width = from.width;
        to.height = from.height;
        to.pixels.assign(from.pixels.begin(), from.pixels.end());
        to.palette.assign(from.palette.begin(), from.palette.end());
    }

    // Decodes the frames from the key frame at or before n (or as many before n as the bound
    // holds) up to n into the cache, in order. The decoder seeks once, to the first of them,
    // and then runs on; false when nothing was gained or a frame failed.
    bool fillUpTo(int32_t n) {
        const std::size_t frameBytes =
            size_t(info_.width) * size_t(info_.height) * (info_.palettised ? 1 : 3) +
            (info_.palettised ? 256 * sizeof(uint32_t) : 0);
        const std::size_t fit = cache_.fitting(frameBytes);
        if (fit < 2) return false;
        const int32_t from =
            int32_t(std::max<int64_t>(keyFrameAtOrBefore(n), int64_t(n) - int64_t(fit) + 1));
        for (int32_t k = from; k <= n; ++k) {
            if (!decode(k, fill_)) return false;
            cache_.add(k, fill_, k != from);
        }
        return cache_.find(n) != nullptr;
    }

    // Key frames in presentation order, as the index lists them (learnt on first use).
    const std::vector<int32_t>& keyFrames() {
        if (keysKnown_) return keys_;
        keysKnown_ = true;
        if (FFMS_Track* track = FFMS_GetTrackFromVideo(source_.get()))
            for (int32_t i = 0; i < info_.frameCount; ++i)
                if (const FFMS_FrameInfo* fi = FFMS_GetFrameInfo(track, i); fi && fi->KeyFrame)
                    keys_.push_back(i);
        return keys_;
    }
    int32_t keyFrameAtOrBefore(int32_t n) {
        const auto& keys = keyFrames();
        auto it = std::upper_bound(keys.begin(), keys.end(), n);
        return it == keys.begin() ? 0 : *(it - 1);
    }

    const FFMS_Frame* fetch(int32_t n) {
        if (n < 0 || n >= info_.frameCount) return nullptr;
        ErrorInfo err;
        const FFMS_Frame* f = FFMS_GetFrame(source_.get(), n, &err.info);
        if (!f || (f->ScaledWidth > 0 &&
                   (f->ScaledWidth != info_.width || f->ScaledHeight != info_.height)))
            return nullptr;
        if (!f->Data[0] || (info_.palettised && !f->Data[1])) return nullptr;
        return f;
    }

    SourcePtr source_;
    MovieInfo info_;
    Frame scratch_;
    Frame fill_;               // reused while filling the cache
    GopCache cache_;           // the frames of the group last decoded
    int32_t asked_ = -1;       // the frame asked for last
    bool steppedBack_ = false; // that frame was a short step back from the one before
    bool keysKnown_ = false;
    std::vector<int32_t> keys_;
};

bool fail(OpenStatus& status, std::string* message, OpenStatus why, const std::string& text) {
    status = why;
    if (message) *message = text;
    return false;
}

} // namespace

std::size_t FrameSource::defaultCacheLimit() {
    if (const char* mb = std::getenv("QXM_FRAME_CACHE_MB"); mb && *mb) {
        char* end = nullptr;
        const unsigned long long v = std::strtoull(mb, &end, 10);
        if (end && !*end && v <= (std::size_t(-1) >> 20)) return std::size_t(v) << 20;
    }
    return std::size_t(256) << 20;
}

void setDecoderMessageHandler(DecoderMessages handler) {
    initLibraries();
    const std::lock_guard lock(gDecoderMessagesMutex);
    gDecoderMessages = std::move(handler);
}

std::unique_ptr<FrameSource> FrameSource::open(const std::string& path, OpenStatus& status,
                                               std::string* message, const Progress& progress) {
    initLibraries();
    status = OpenStatus::Ok;
    if (message) message->clear();
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        const bool missing = path.empty() || errno == ENOENT || errno == ENOTDIR;
        fail(status, message, missing ? OpenStatus::NotFound : OpenStatus::Unreadable,
             (missing ? "no such movie file: " : "cannot read the movie file: ") + path);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0) {
        fail(status, message, OpenStatus::Unreadable, "cannot read the movie file: " + path);
        return nullptr;
    }

    detail::ProbeResult probe = detail::probeMovie(path);
    if (probe.status != OpenStatus::Ok) {
        fail(status, message, probe.status, probe.message);
        return nullptr;
    }

    std::error_code ec;
    const std::string canonical = fs::weakly_canonical(path, ec).string();
    const CacheKey key = cacheKey(ec ? path : canonical, st);
    const fs::path folder = cacheFolder();
    fs::create_directories(folder, ec);
    if (ec) {
        fail(status, message, OpenStatus::Unreadable,
             "cannot create the cache folder " + folder.string() + ": " + ec.message());
        return nullptr;
    }
    // The lock keeps threads and processes opening the same movie at once from indexing it
    // twice and from replacing a file another one has just made. Without it (a cache folder
    // that takes no lock file) opening goes on: every cache file is written beside its place
    // and renamed over it, so the worst is the same work done twice, never a file half read.
    const FileLock lock((folder / (key.full + ".lock")).string());

    StagedProgress staged(progress, probe.needsRemux ? 2 : 1);
    bool built = false;
    std::string source = path;
    int seekMode = FFMS_SEEK_NORMAL;
    fs::path indexFile = folder / (key.full + ".ffindex");
    IndexPtr index;
    std::string why;
    if (probe.needsRemux) {
        const fs::path mkv = folder / (key.full + ".mkv");
        const fs::path mkvIndex = folder / (key.full + ".mkv.ffindex");
        const fs::path linearMark = folder / (key.full + ".linear");
        index = readMatchingIndex(mkv.string(), mkvIndex);
        if (index) {
            source = mkv.string();
        } else if (!fs::exists(linearMark)) {
            // The rewritten file and its index are made together; one without the other
            // (or not matching it) is made again, the new file replacing the old.
            dropStaleEntries(folder, key);
            built = true;
            const fs::path tmp = temporaryFor(mkv);
            const auto result = detail::remuxToMatroska(
                path, probe.streamIndex, tmp.string(),
                [&](int64_t d, int64_t t) { staged.report(d, t); }, why);
            if (result == detail::RemuxResult::Failed) {
                fs::remove(tmp, ec);
                fail(status, message, OpenStatus::Unreadable,
                     "cannot index the movie (" + why + "): " + path);
                return nullptr;
            }
            if (result == detail::RemuxResult::Done) {
                if (!storeCacheFile(tmp, mkv, why)) {
                    fail(status, message, OpenStatus::Unreadable,
                         "cannot store the movie's cache file (" + why + "): " + path);
                    return nullptr;
                }
                source = mkv.string();
                staged.begin(1);
                index = buildIndex(source, mkvIndex, staged, why);
            } else {
                // Pictures that cannot be tied to packets: exact linear decoding instead.
                fs::remove(tmp, ec);
                touch(linearMark);
            }
        }
        if (source == path) seekMode = FFMS_SEEK_LINEAR;
    }
    if (!index && source == path) {
        index = readMatchingIndex(path, indexFile);
        if (!index) {
            if (!built) dropStaleEntries(folder, key);
            built = true;
            staged.begin(probe.needsRemux ? 1 : 0);
            index = buildIndex(path, indexFile, staged, why);
        }
    }
    if (!index) {
        fail(status, message, OpenStatus::Unreadable,
             "cannot index the movie (" + why + "): " + path);
        return nullptr;
    }
    ErrorInfo err;
    const int track = FFMS_GetFirstTrackOfType(index.get(), FFMS_TYPE_VIDEO, &err.info);
    if (track < 0) {
        fail(status, message, OpenStatus::NoVideo, "the movie has no video stream: " + path);
        return nullptr;
    }
    // A stream whose samples the container drops, every one (an edit list that starts before
    // the media, say), leaves the index without frames; the decoder cannot be set up on that.
    if (FFMS_GetNumFrames(FFMS_GetTrackFromIndex(index.get(), track)) <= 0) {
        fail(status, message, OpenStatus::BadSize,
             "the video stream has no decodable frames: " + path);
        return nullptr;
    }
    SourcePtr video(
        FFMS_CreateVideoSource(source.c_str(), track, index.get(), 1, seekMode, &err.info));
    if (!video) {
        fail(status, message, OpenStatus::Unreadable,
             "cannot decode the movie (" + err.text() + "): " + path);
        return nullptr;
    }
    const FFMS_VideoProperties* props = FFMS_GetVideoProperties(video.get());
    ErrorInfo first;
    const FFMS_Frame* frame0 =
        props->NumFrames > 0 ? FFMS_GetFrame(video.get(), 0, &first.info) : nullptr;
    if (!frame0 || frame0->EncodedWidth <= 0 || frame0->EncodedHeight <= 0) {
        fail(status, message, OpenStatus::BadSize,
             "the video stream has no decodable frames: " + path);
        return nullptr;
    }
    // A capture that dropped frames: every real picture is there, the rest are empty entries.
    // A count past what a frame number can hold is a damaged header, not a capture.
    const bool droppedFrames = probe.declaredFrames > props->NumFrames &&
                               probe.declaredFrames <= std::numeric_limits<int32_t>::max() &&
                               int64_t(probe.pictureFrames.size()) == props->NumFrames;
    if (probe.declaredFrames > 0 && props->NumFrames < probe.declaredFrames && !droppedFrames) {
        fail(status, message, OpenStatus::Unreadable,
             "the movie is truncated or damaged: " + std::to_string(props->NumFrames) + " of " +
                 std::to_string(probe.declaredFrames) + " frames present: " + path);
        return nullptr;
    }

    MovieInfo info;
    info.frameCount = props->NumFrames;
    info.width = frame0->EncodedWidth;
    info.height = frame0->EncodedHeight;
    info.palettised = probe.palettised && frame0->EncodedPixelFormat == AV_PIX_FMT_PAL8;
    info.kind = probe.kind;
    if (probe.fpsNum > 0 && probe.fpsDen > 0) {
        info.fpsNum = probe.fpsNum;
        info.fpsDen = probe.fpsDen;
    } else {
        info.fpsNum = props->FPSNumerator;
        info.fpsDen = props->FPSDenominator > 0 ? props->FPSDenominator : 1;
    }
    const int formats[] = {info.palettised ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_BGR24, -1};
    if (FFMS_SetOutputFormatV2(video.get(), formats, info.width, info.height, FFMS_RESIZER_BICUBIC,
                               &err.info) != 0) {
        fail(status, message, OpenStatus::Unreadable,
             "cannot convert the movie's pictures (" + err.text() + "): " + path);
        return nullptr;
    }
    if (built) staged.finish();
    auto pictures = std::make_unique<FfmsFrameSource>(std::move(video), info);
    if (droppedFrames)
        return std::make_unique<detail::DroppedFramesSource>(
            std::move(pictures), std::move(probe.pictureFrames), int32_t(probe.declaredFrames));
    return pictures;
}

} // namespace qxm::video
