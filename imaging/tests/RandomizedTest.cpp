// Seeded random searches compared bit for bit with the reference implementation: return
// codes, every copied record, and the records beyond the count left untouched.
#include "Reference.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <strings.h>

namespace {

using qxm::imref::Content;
using qxm::imref::Image;
using qxm::imtest::Buf;
using qxm::imtest::Results;

struct Case {
    Image source; // the model is cut from this
    Image target; // searched; the source itself or a shifted noisy copy
    int mx = 0, my = 0, mw = 0, mh = 0;
    int ax = -1, ay = -1, aw = -1, ah = -1; // search area as passed (-1: defaults)
    qxm::imref::Params params;
    int capacity = 1;
    std::string describe() const {
        std::ostringstream s;
        s << "image " << target.width << "x" << target.height << " model (" << mx << "," << my
          << "," << mw << "," << mh << ") area (" << ax << "," << ay << "," << aw << "," << ah
          << ") accept " << params.accept << " second " << params.secondPixel << " levels "
          << params.firstLevel << "-" << params.lastLevel << " capacity " << capacity;
        return s.str();
    }
};

int pick(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// Rough count of pixel visits of the reference (a full scan at the top level, then about
// 6 x 6 windows per peak at every finer level), to keep every case cheap enough for a test
// run. The peak count is a guess from the acceptance threshold.
double referenceCost(const Case& c, int W, int H, int sx, int sy, int sw, int sh) {
    const int hw = (c.mw - 1) / 2, hh = (c.mh - 1) / 2;
    const int x0 = std::max(sx - hw, 0), y0 = std::max(sy - hh, 0);
    const int x1 = std::min(sx + sw - 1 + hw, W - 1), y1 = std::min(sy + sh - 1 + hh, H - 1);
    const int depth = qxm::imref::pyramidDepth(c.mw, c.mh, x1 - x0 + 1, y1 - y0 + 1);
    const int top = std::min(depth, c.params.firstLevel);
    const int bottom = std::min(c.params.lastLevel, top);
    auto modelPixels = [&](int k) { return (c.mw >> k) * double(c.mh >> k) + 1; };
    const double positions = (sw / double(1 << top) + 2) * (sh / double(1 << top) + 2);
    const double share = c.params.accept == 0    ? 1 / 6.0
                         : c.params.accept <= 10 ? 1 / 10.0
                                                 : 1 / 30.0;
    double perPeak = 0;
    for (int k = bottom; k < top; ++k)
        perPeak += 36 * modelPixels(k) * double(1 << (top - 1 - k));
    return positions * modelPixels(top) + positions * share * perPeak;
}

Case makeCase(unsigned seed) {
    std::mt19937 rng(seed);
    Case c;
    const int sizeKind = pick(rng, 0, 99);
    int W, H;
    if (sizeKind < 70) {
        W = pick(rng, 24, 120);
        H = pick(rng, 24, 120);
    } else if (sizeKind < 93) {
        W = pick(rng, 100, 400);
        H = pick(rng, 100, 400);
    } else {
        W = pick(rng, 400, 1024);
        H = pick(rng, 400, 1024);
    }
    const bool bright = sizeKind >= 99; // large bright models: products beyond 2^53
    const Content kind = Content(pick(rng, 0, 4));
    c.source = qxm::imref::makeContent(W, H, kind, rng);
    if (bright)
        for (auto& p : c.source.pixels)
            p = uint8_t(200 + p % 56);

    const int maxModel = std::min({W, H, bright ? 1024 : (sizeKind < 93 ? 64 : 96)});
    c.mw = pick(rng, 24, std::max(24, maxModel));
    c.mh = pick(rng, 24, std::max(24, maxModel));
    if (bright) {
        c.mw = pick(rng, std::min(W, H) * 3 / 4, std::min(W, H));
        c.mh = c.mw;
    }
    c.mw = std::min(c.mw, W);
    c.mh = std::min(c.mh, H);
    c.mx = pick(rng, 0, W - c.mw);
    c.my = pick(rng, 0, H - c.mh);

    if (pick(rng, 0, 2) == 0) {
        c.target = c.source;
    } else {
        c.target = qxm::imref::shiftedNoisyCopy(c.source, pick(rng, -6, 6), pick(rng, -6, 6),
                                                pick(rng, 0, 30), rng);
    }

    const double accepts[] = {0.0, 10.0, 50.0, 90.0};
    c.params.accept = accepts[pick(rng, 0, 3)];
    c.params.secondPixel = pick(rng, 0, 1) ? pick(rng, 1, 5) : 0;
    c.params.firstLevel = pick(rng, 0, 7);
    c.params.lastLevel = pick(rng, 0, c.params.firstLevel);
    c.capacity = pick(rng, 1, 50);
    if (bright) { // the big model itself must be searched at level 0
        c.params.firstLevel = pick(rng, 0, 2);
        c.params.lastLevel = 0;
    }

    const int cx = c.mx + (c.mw - 1) / 2, cy = c.my + (c.mh - 1) / 2;
    for (int attempt = 0;; ++attempt) {
        int sx, sy, sw, sh;
        switch (attempt > 20 || bright ? 1 : pick(rng, 0, 9)) {
        case 0: // one centre (an even-sized model has no whole window there)
            sx = cx, sy = cy, sw = 1, sh = 1;
            c.ax = sx, c.ay = sy, c.aw = 1, c.ah = 1;
            break;
        case 1: { // around the true place
            const int r = attempt > 20 || bright ? pick(rng, 0, 3) : pick(rng, 1, 40);
            sx = std::max(cx - r, 0), sy = std::max(cy - r, 0);
            sw = std::min(cx + r, W - 1) - sx + 1, sh = std::min(cy + r, H - 1) - sy + 1;
            c.ax = sx, c.ay = sy, c.aw = sw, c.ah = sh;
            break;
        }
        case 2: // whole image through the defaults
            sx = 0, sy = 0, sw = W, sh = H;
            c.ax = c.ay = c.aw = c.ah = -1;
            break;
        case 3:
        case 4:
        case 5: { // touching a border
            sw = pick(rng, 1, W), sh = pick(rng, 1, H);
            sx = pick(rng, 0, 1) ? 0 : W - sw;
            sy = pick(rng, 0, 1) ? 0 : H - sh;
            c.ax = sx, c.ay = sy, c.aw = sw, c.ah = sh;
            break;
        }
        default: // anywhere
            sw = pick(rng, 1, W), sh = pick(rng, 1, H);
            sx = pick(rng, 0, W - sw), sy = pick(rng, 0, H - sh);
            c.ax = sx, c.ay = sy, c.aw = sw, c.ah = sh;
            break;
        }
        c.target.sx = sx, c.target.sy = sy, c.target.sw = sw, c.target.sh = sh;
        if (bright || attempt > 60 || referenceCost(c, W, H, sx, sy, sw, sh) < 4e6) break;
        if (attempt > 20 && c.params.accept < 50) c.params.accept = 50;
    }
    return c;
}

void runCase(const Case& c) {
    SCOPED_TRACE(c.describe());
    Buf source(c.source);
    Buf target(c.target.width, c.target.height);
    ASSERT_EQ(ImBufPut(target.get(), -1, -1, -1, -1, c.target.pixels.data()), IM_OK);
    ASSERT_EQ(ImPatSetSearchArea(target.get(), c.ax, c.ay, c.aw, c.ah), IM_OK);
    ImBufHandle model = 0;
    ASSERT_EQ(ImPatAllocModel(source.get(), &model, c.mx, c.my, c.mw, c.mh), IM_OK);
    qxm::imtest::applyParams(c.params);

    Results results(c.capacity);
    for (int i = 0; i < c.capacity; ++i)
        results[i] = ImPatResult{-1.0 - i, -2.0 - i, -3.0 - i};
    const int32_t code = ImPatExecute(model, target.get(), results.get());
    EXPECT_EQ(ImPatFreeModel(model), 1);

    const qxm::imref::Outcome want = qxm::imref::execute(
        qxm::imref::cut(c.source, c.mx, c.my, c.mw, c.mh), c.target, c.params, c.capacity);
    ASSERT_EQ(code, want.code);
    for (int i = 0; i < code; ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_EQ(std::memcmp(&results[i], &want.hits[std::size_t(i)], sizeof(ImPatResult)), 0)
            << "got " << results[i].score << " (" << results[i].x << ", " << results[i].y
            << ") want " << want.hits[std::size_t(i)].score << " (" << want.hits[std::size_t(i)].x
            << ", " << want.hits[std::size_t(i)].y << ")";
    }
    for (int i = std::max(code, 0); i < c.capacity; ++i) {
        EXPECT_EQ(results[i].score, -1.0 - i);
        EXPECT_EQ(results[i].y, -3.0 - i);
    }
}

// Registered once more for every kernel with QXM_IMLIB_KERNEL naming it; a kernel this
// processor does not run is skipped.
class RandomizedComparison : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const char* named = std::getenv("QXM_IMLIB_KERNEL");
        if (named == nullptr || *named == '\0' || strcasecmp(named, "scalar") == 0) return;
#if defined(__x86_64__) || defined(__i386__)
        if (strcasecmp(named, "avx2") == 0 && !__builtin_cpu_supports("avx2"))
            GTEST_SKIP() << "this processor has no AVX2";
#else
        GTEST_SKIP() << "no " << named << " kernel on this processor";
#endif
    }
};

// Each parameter runs a block of seeds so that CTest schedules a few larger pieces.
constexpr int kBlocks = 8;
constexpr int kCasesPerBlock = 70;

TEST_P(RandomizedComparison, AgreesWithReferenceBitForBit) {
    for (int i = 0; i < kCasesPerBlock; ++i) {
        const unsigned seed = 1000u + unsigned(GetParam() * kCasesPerBlock + i);
        SCOPED_TRACE("seed " + std::to_string(seed));
        runCase(makeCase(seed));
        if (HasFatalFailure()) return;
    }
    ImPatSetSearchLevel(7, 0);
    ImPatSetAccept(10.0);
    ImPatUseSecondPixel(0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomizedComparison, ::testing::Range(0, kBlocks));

// A large model searched over a whole picture with a short result list: the list fills
// early, so most windows of the finest level are given up on bounds before their cross sums
// are complete. With `closeCalls` the pictures are smooth and the target an exact or nearly
// exact copy, so that many windows score just above the lowest kept hit and only a bound
// with nothing to spare keeps them. Bright pictures put the sums near the limits of double
// precision.
Case largeModelCase(unsigned seed, bool closeCalls) {
    std::mt19937 rng(seed);
    Case c;
    const int W = pick(rng, 160, 320), H = pick(rng, 140, 240);
    const Content kind = closeCalls ? Content(pick(rng, 0, 1)) : Content(pick(rng, 0, 4));
    c.source = qxm::imref::makeContent(W, H, kind, rng);
    if (seed % 6 == 5)
        for (auto& p : c.source.pixels)
            p = uint8_t(200 + p % 56);
    c.mw = pick(rng, 64, 130);
    c.mh = pick(rng, 64, std::min(130, H - 8));
    c.mx = pick(rng, 0, W - c.mw);
    c.my = pick(rng, 0, H - c.mh);
    if (closeCalls)
        c.target = pick(rng, 0, 1) == 0
                       ? c.source
                       : qxm::imref::shiftedNoisyCopy(c.source, pick(rng, -2, 2), pick(rng, -2, 2),
                                                      pick(rng, 0, 2), rng);
    else
        c.target = pick(rng, 0, 3) == 0
                       ? c.source
                       : qxm::imref::shiftedNoisyCopy(c.source, pick(rng, -6, 6), pick(rng, -6, 6),
                                                      pick(rng, 0, 30), rng);
    const double accepts[] = {0.0, 10.0, 30.0, 60.0};
    c.params.accept = accepts[pick(rng, 0, 3)];
    c.params.firstLevel = 7;
    c.params.lastLevel = pick(rng, 0, 3) == 0 ? 1 : 0;
    c.capacity = closeCalls ? pick(rng, 1, 4) : pick(rng, 1, 12);
    return c;
}

TEST_F(RandomizedComparison, LargeModelsOverWholePicturesAgreeBitForBit) {
    for (bool closeCalls : {false, true})
        for (unsigned seed = 5000; seed < 5036; ++seed) {
            SCOPED_TRACE("seed " + std::to_string(seed) + (closeCalls ? " close calls" : ""));
            runCase(largeModelCase(seed, closeCalls));
            if (HasFatalFailure()) return;
        }
    ImPatSetSearchLevel(7, 0);
    ImPatSetAccept(10.0);
    ImPatUseSecondPixel(0);
}

} // namespace
