// Frame-exact access on arbitrary small movie files: open (probe, index, remux), then the first,
// a middle and the last frame, each in its own form and as 24-bit BGR, and the packed bitmap of
// one. The cache goes to the scratch folder and is emptied after every input, so each input is
// indexed afresh. Run with -timeout and -rss_limit_mb: a hostile header may announce anything.
#include "fuzz/FuzzSupport.h"
#include "platform/video/FrameSource.h"

#include <cstdlib>
#include <filesystem>

using namespace qxm;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_CACHE_HOME", (fuzz::scratchFolder() + "/cache").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = fuzz::writeScratchFile("movie.avi", data, size);
    video::OpenStatus status = video::OpenStatus::Ok;
    std::string message;
    std::unique_ptr<video::FrameSource> source = video::FrameSource::open(path, status, &message);
    if (source) {
        const video::MovieInfo& info = source->info();
        QXM_FUZZ_CHECK(info.frameCount > 0 && info.width > 0 && info.height > 0);
        video::Frame frame;
        std::vector<uint8_t> bgr;
        for (const int32_t n : {0, info.frameCount / 2, info.frameCount - 1, info.frameCount}) {
            if (source->read(n, frame)) {
                QXM_FUZZ_CHECK(n < info.frameCount);
                QXM_FUZZ_CHECK(frame.pixels.size() ==
                               std::size_t(frame.width) * frame.height *
                                   (frame.kind == video::Frame::Kind::Bgr24 ? 3 : 1));
                if (n == 0) video::packDib(frame);
            }
            if (source->readBgr(n, bgr)) QXM_FUZZ_CHECK(n < info.frameCount);
        }
    } else {
        QXM_FUZZ_CHECK(status != video::OpenStatus::Ok);
    }
    std::error_code ignored;
    std::filesystem::remove_all(fuzz::scratchFolder() + "/cache", ignored);
    return 0;
}
