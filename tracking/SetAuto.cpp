#include "tracking/SetAuto.h"

#include "imaging/include/qxmimlib.h"
#include "platform/component/HResult.h"
#include "platform/prompter/Prompter.h"
#include "tracking/Codes.h"
#include "tracking/FramePair.h"
#include "tracking/Tracker.h"
#include "tracking/include/qxmtrack.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

namespace qxm::track {

Context& context() {
    static Context ctx;
    return ctx;
}

void closeContext() {
    Context& c = context();
    c.frames.reset();
    c.reader.reset();
    if (c.bufferA != -1) ImBufFree(c.bufferA);
    if (c.bufferB != -1) ImBufFree(c.bufferB);
    c.bufferA = c.bufferB = -1;
    c.movie.reset();
    c.width = c.height = 0;
    c.path.clear();
    c.kind = MovieKind::Other;
    c.params = Params::closed();
}

int32_t openContext(std::unique_ptr<DibSource> movie, int32_t width, int32_t height,
                    const char* iniPath) {
    closeContext(); // a context still open is released first
    Context& c = context();
    c.movie = std::move(movie);
    c.width = width;
    c.height = height;
    auto fail = [](int32_t code) {
        closeContext();
        return code;
    };
    ImBufHandle a = -1, b = -1;
    if (ImBufAlloc(width, height, 8, &a) != IM_OK) return fail(kImageBuffer);
    c.bufferA = a;
    if (ImBufAlloc(width, height, 8, &b) != IM_OK) return fail(kImageBuffer);
    c.bufferB = b;
    if (ImBufCopy(-1, a, -1, -1, -1, -1) != IM_OK || ImBufCopy(-1, b, -1, -1, -1, -1) != IM_OK)
        return fail(kImageBuffer);

    Params p; // every key missing from the file takes its default
    try {
        c.reader = std::make_unique<GrayReader>(*c.movie, width, height,
                                                GrayWeights(p.red, p.green, p.blue));
        c.frames = std::make_unique<FramePair>(*c.reader, a, b);
    } catch (const std::bad_alloc&) {
        return fail(kGrayBuffer);
    }
    if (int32_t code = readParamsFile(iniPath, p)) return fail(code);
    c.reader->setWeights(GrayWeights(p.red, p.green, p.blue));
    c.params = p;
    return 0;
}

namespace {

int32_t initSetAuto(const char* moviePath, const char* iniPath) {
    closeContext();
    if (!moviePath) return kOpenFailed;
    std::unique_ptr<Movie> movie;
    if (int32_t code = Movie::open(moviePath, movie)) return code;
    const int32_t w = movie->width(), h = movie->height();
    Context& c = context();
    if (int32_t code = openContext(std::move(movie), w, h, iniPath)) return code;
    c.path = moviePath;
    c.kind = movieKind(c.path);
    return 0;
}

// The largest arrays worth asking for: beyond the machine's memory an allocation could only
// succeed on paper.
bool affordable(int64_t bytes) {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return bytes <= (int64_t(1) << 32);
    return bytes / pageSize < int64_t(pages);
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using RecordArray = std::unique_ptr<SetAutoAnchorRecord, FreeDeleter>;

int32_t execSetAuto(int32_t s, int32_t e, const Rect& start, const Rect& end, int32_t* count,
                    SetAutoAnchorRecord** records) {
    Context& c = context();
    if (e < s) return kEndBeforeStart;
    if (s < 0) return kNegativeStart;
    if (c.params.frameStep <= 0 || !c.open()) return kNoFrameStep;
    if (!count || !records) return kNoResultMemory;

    const int64_t capacity = int64_t(e) - s + 1;
    const int64_t bytes = capacity * int64_t(sizeof(SetAutoAnchorRecord));
    if (!affordable(2 * bytes)) return kNoResultMemory;
    RecordArray result(static_cast<SetAutoAnchorRecord*>(std::malloc(std::size_t(bytes))));
    RecordArray work(static_cast<SetAutoAnchorRecord*>(std::malloc(std::size_t(bytes))));
    if (!result || !work) return kNoResultMemory;

    Track f{result.get(), 0, capacity};
    Track b{work.get(), 0, capacity};
    // Every frame the passes read lies between s and e; the next ones are decoded while the
    // current step is matched. The first pass starts on s and walks with the frame step.
    struct ReadAheadScope {
        GrayReader& reader;
        ~ReadAheadScope() { reader.stopReadAhead(); }
    } scope{*c.reader};
    c.reader->startReadAhead(s, e, c.params.frameStep);
    Tracker tracker(c.params, *c.frames, c.width, c.height);
    const int32_t rc = tracker.run(s, e, normalised(start), normalised(end), f, b);
    if (rc < 0) return rc;
    *count = int32_t(f.count);
    *records = result.release();
    return rc;
}

} // namespace
} // namespace qxm::track

using namespace qxm::track;

// The library is built with hidden visibility; these five are its interface.
#pragma GCC visibility push(default)
extern "C" {

int32_t InitSetAuto(const char* moviePath, const char* iniPath) {
    try {
        return initSetAuto(moviePath, iniPath);
    } catch (...) {
        closeContext();
        return kInitialization;
    }
}

int32_t ExitSetAuto(void) {
    closeContext();
    return 0;
}

int32_t ExecSetAuto(int32_t startFrame, int32_t endFrame, int32_t sLeft, int32_t sTop,
                    int32_t sRight, int32_t sBottom, int32_t eLeft, int32_t eTop, int32_t eRight,
                    int32_t eBottom, int32_t* count, SetAutoAnchorRecord** records) {
    const auto t0 = std::chrono::steady_clock::now();
    if (count) *count = 0;
    if (records) *records = nullptr;
    const int32_t rc = qxm::callGuarded<int32_t>(kImageLibrary, kNoResultMemory, [&] {
        return execSetAuto(startFrame, endFrame, Rect{sLeft, sTop, sRight, sBottom},
                           Rect{eLeft, eTop, eRight, eBottom}, count, records);
    });
    if (rc < 0) {
        if (count) *count = 0;
        if (records) *records = nullptr;
    }
    if (context().params.showTime) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - t0)
                            .count();
        try {
            qxm::prompt(timeMessage(rc >= 0, static_cast<unsigned long>(ms)), kTitle,
                        qxm::Buttons::Ok, qxm::Icon::Information);
        } catch (...) {
        }
    }
    return rc;
}

int32_t FreeSetAutoAnchorData(SetAutoAnchorRecord* records) {
    std::free(records);
    return 0;
}

int32_t GetSetAutoErrorString(int32_t code, char* buffer) {
    bool known = false;
    std::string text;
    try {
        text = errorString(code, &known);
    } catch (...) {
        return 0;
    }
    if (buffer) std::memcpy(buffer, text.c_str(), text.size() + 1);
    return known ? 1 : 0;
}

} // extern "C"
#pragma GCC visibility pop
