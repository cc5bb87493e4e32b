#include "tracking/MovieFrames.h"

#include "platform/video/FrameSource.h"
#include "tracking/Codes.h"
#include "tracking/ReadAhead.h"

#include <new>

#include <sys/stat.h>

namespace qxm::track {

MovieKind movieKind(const std::string& path) {
    std::string lower = path;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (lower.find(".avi", 2) != std::string::npos) return MovieKind::Avi;
    if (lower.find(".mov", 2) != std::string::npos) return MovieKind::Mov;
    return MovieKind::Other;
}

GrayReader::GrayReader(DibSource& source, int32_t width, int32_t height, const GrayWeights& weights)
    : source_(source), width_(width), height_(height), weights_(weights) {}

GrayReader::~GrayReader() = default;

void GrayReader::startReadAhead(int32_t first, int32_t last, int32_t step) {
    ahead_.reset();
    if (!twinAsked_) {
        twinAsked_ = true;
        try {
            twin_ = source_.twin();
        } catch (const std::exception&) {
            twin_.reset(); // one thread then
        }
    }
    std::vector<DibSource*> sources{&source_};
    if (twin_) sources.push_back(twin_.get());
    try {
        ahead_ = std::make_unique<ReadAhead>(sources, first, last, step);
    } catch (const std::exception&) {
        ahead_.reset(); // no second thread: plain reading
    }
}

void GrayReader::stopReadAhead() {
    ahead_.reset();
}

int32_t GrayReader::read(int32_t n, uint8_t* gray) {
    DibSource& from = ahead_ ? static_cast<DibSource&>(*ahead_) : source_;
    if (!from.dib(n, dib_)) return kFrameFetch;
    return readGrayDib(dib_.data(), dib_.size(), width_, height_, weights_, gray);
}

Movie::~Movie() = default;

int32_t Movie::open(const std::string& path, std::unique_ptr<Movie>& out) {
    out.reset();
    video::OpenStatus status = video::OpenStatus::Unreadable;
    std::unique_ptr<Movie> m(new (std::nothrow) Movie);
    if (!m) return kOpenFailed;
    m->path_ = path;
    m->identity_ = identify(path);
    m->source_ = video::FrameSource::open(path, status);
    if (!m->source_) {
        switch (status) {
        case video::OpenStatus::BadSize:
            return kInfoFailed;
        case video::OpenStatus::NoVideo:
            return kNoVideoStream;
        default:
            return kOpenFailed;
        }
    }
    const video::MovieInfo& info = m->source_->info();
    if (info.width <= 0 || info.height <= 0 || info.frameCount <= 0) return kInfoFailed;
    m->width_ = info.width;
    m->height_ = info.height;
    m->frameCount_ = info.frameCount;
    // A stream whose first frame cannot be decoded has no working decoder.
    std::vector<uint8_t> probe;
    if (!m->dib(0, probe)) return kNoDecoder;
    out = std::move(m);
    return 0;
}

Movie::Identity Movie::identify(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size),
            int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::unique_ptr<DibSource> Movie::twin() {
    // Only the very file this movie was opened from, unchanged, gives the same frames.
    std::unique_ptr<Movie> other;
    if (identity_.size < 0 || identify(path_) != identity_ || open(path_, other) != 0 ||
        other->identity_ != identity_ || identify(path_) != identity_)
        return nullptr;
    const std::size_t half = source_->cacheLimit() / 2;
    source_->setCacheLimit(half);
    other->source_->setCacheLimit(half);
    return other;
}

bool Movie::dib(int32_t n, std::vector<uint8_t>& out) {
    if (n < 0 || n >= frameCount_) return false;
    if (!source_->read(n, frame_)) return false;
    out = video::packDib(frame_);
    return !out.empty();
}

} // namespace qxm::track
