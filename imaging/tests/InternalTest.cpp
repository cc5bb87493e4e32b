// Internals of the library: the cross-sum kernels of every instruction set, the pyramid,
// suppression, the hit list and refinement areas.
#include "ImBuf.h"
#include "Kernels.h"
#include "Pyramid.h"
#include "Reference.h"
#include "Search.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace qxm::imlib;

std::vector<CrossRowFn> kernels() {
    std::vector<CrossRowFn> k{crossRowScalar};
#if QXM_IMLIB_X86
    k.push_back(crossRowSse2);
    if (cpuHasAvx2()) k.push_back(crossRowAvx2);
#endif
    return k;
}

TEST(Kernels, AgreeWithAPlainSumIncludingTheLargestValues) {
    std::mt19937 rng(1);
    for (const auto& [rows, taps, n, bright] : std::vector<std::array<int, 4>>{
             {1, 16, 1, 0}, {3, 16, 7, 0}, {17, 32, 9, 0}, {40, 1024, 5, 1}, {1024, 1024, 2, 1}}) {
        const int stride = (n + kPositionBlock) / kPositionBlock * kPositionBlock + taps;
        // One row more for the second row of windows.
        std::vector<int16_t> img(std::size_t(rows + 1) * stride), coef(std::size_t(rows) * taps);
        for (auto& v : img)
            v = int16_t(bright ? 255 : rng() % 256);
        for (auto& v : coef)
            v = int16_t(bright ? 255 : rng() % 256);
        // want[w][i]: windows of the first (w = 0) and the second row.
        std::vector<int64_t> want[2] = {std::vector<int64_t>(std::size_t(n), 0),
                                        std::vector<int64_t>(std::size_t(n), 0)};
        for (int w = 0; w < 2; ++w)
            for (int i = 0; i < n; ++i)
                for (int r = 0; r < rows; ++r)
                    for (int k = 0; k < taps; ++k)
                        want[w][std::size_t(i)] +=
                            int64_t(img[std::size_t(r + w) * stride + i + k]) *
                            coef[std::size_t(r) * taps + k];
        for (CrossRowFn f : kernels()) {
            std::vector<int64_t> got(std::size_t(n) + 1, -7), second(std::size_t(n) + 1, -7);
            f(img.data(), stride, coef.data(), rows, taps, n, got.data());
            EXPECT_EQ(std::vector<int64_t>(got.begin(), got.end() - 1), want[0]);
            EXPECT_EQ(got[std::size_t(n)], -7) << "wrote past the run";
            std::fill(got.begin(), got.end(), -7);
            routinesFor(f).crossRow2(img.data(), stride, coef.data(), rows, taps, n, got.data(),
                                     second.data());
            EXPECT_EQ(std::vector<int64_t>(got.begin(), got.end() - 1), want[0]);
            EXPECT_EQ(std::vector<int64_t>(second.begin(), second.end() - 1), want[1]);
            EXPECT_EQ(got[std::size_t(n)], -7) << "two rows: wrote past the run";
            EXPECT_EQ(second[std::size_t(n)], -7) << "two rows: wrote past the run";
        }
    }
}

TEST(Kernels, RunningColumnSumsAddTheRowToTheRowAbove) {
    // Lengths around the vector width; the brightest pixels; sums above near 2^32.
    std::mt19937 rng(4);
    for (const int n : {1, 7, 8, 9, 16, 23, 640}) {
        std::vector<int16_t> p(static_cast<std::size_t>(n));
        std::vector<uint32_t> up1(p.size()), up2(p.size()), want1(p.size()), want2(p.size());
        for (std::size_t c = 0; c < p.size(); ++c) {
            p[c] = int16_t(c % 3 == 0 ? 255 : rng() % 256);
            up1[c] = uint32_t(rng());
            up2[c] = 0xFFFFFF00u + uint32_t(c);
            want1[c] = up1[c] + uint32_t(p[c]);
            want2[c] = up2[c] + uint32_t(p[c] * p[c]);
        }
        for (CrossRowFn f : kernels()) {
            std::vector<uint32_t> out1(p.size() + 1, 7), out2(p.size() + 1, 7);
            routinesFor(f).runningColumns(p.data(), up1.data(), up2.data(), n, out1.data(),
                                          out2.data());
            EXPECT_EQ(out1.back(), 7u) << "wrote past the row";
            EXPECT_EQ(out2.back(), 7u) << "wrote past the row";
            out1.pop_back();
            out2.pop_back();
            EXPECT_EQ(out1, want1) << n;
            EXPECT_EQ(out2, want2) << n;
        }
    }
}

TEST(Kernels, SummedRowsAddTheRunningSumsToTheRowAbove) {
    // Lengths around the vector width; the brightest pixels; a row above near 2^32 (the
    // tables count modulo 2^32).
    std::mt19937 rng(2);
    for (const int n : {1, 7, 8, 9, 16, 23, 640}) {
        std::vector<int16_t> p(static_cast<std::size_t>(n));
        std::vector<uint32_t> up1(std::size_t(n) + 1), up2(std::size_t(n) + 1);
        for (int c = 0; c < n; ++c) {
            p[std::size_t(c)] = int16_t(c % 3 == 0 ? 255 : rng() % 256);
            up1[std::size_t(c) + 1] = uint32_t(rng());
            up2[std::size_t(c) + 1] = 0xFFFFFF00u + uint32_t(c);
        }
        std::vector<uint32_t> want1(std::size_t(n) + 1, 0), want2(std::size_t(n) + 1, 0);
        uint32_t a = 0, b = 0;
        for (int c = 0; c < n; ++c) {
            a += uint32_t(p[std::size_t(c)]);
            b += uint32_t(p[std::size_t(c)] * p[std::size_t(c)]);
            want1[std::size_t(c) + 1] = up1[std::size_t(c) + 1] + a;
            want2[std::size_t(c) + 1] = up2[std::size_t(c) + 1] + b;
        }
        for (CrossRowFn f : kernels()) {
            std::vector<uint32_t> out1(std::size_t(n) + 2, 7), out2(std::size_t(n) + 2, 7);
            routinesFor(f).summedRow(p.data(), up1.data(), up2.data(), n, out1.data(), out2.data());
            EXPECT_EQ(out1[std::size_t(n) + 1], 7u) << "wrote past the row";
            EXPECT_EQ(out2[std::size_t(n) + 1], 7u) << "wrote past the row";
            out1.pop_back();
            out2.pop_back();
            EXPECT_EQ(out1, want1) << n;
            EXPECT_EQ(out2, want2) << n;
        }
    }
}

TEST(Kernels, GiveUpTestsAreTheSameWithEveryKernel) {
    // Rows of 1 to 9 windows alike but for their partial cross sums, so that those below
    // window 2's are given up and those above are not; window 2's bound lands on the bar
    // itself. Window 3 has no variance, window 5 a bound below 0, window 1 is given up
    // already.
    const PruneTerms base{9216.0, 1.1e6, 3.7e13, 0.0};
    std::vector<int64_t> partial(9);
    std::vector<double> rest(9, 5e7 + 0.25), wsum(9, 1.3e5), wvar(9, 2.1e12);
    for (std::size_t i = 0; i < 9; ++i)
        partial[i] = 60000000 + (int64_t(i) - 2) * 400000;
    wvar[3] = 0.0;
    wsum[5] = 1e12;
    const double u2 = (double(partial[2]) + rest[2]) * (1.0 + 1e-9) + 1.0;
    const double nu2 = base.pixels * u2, sxsm = wsum[2] * base.sm;
    const double dub = (nu2 - sxsm) + 1e-9 * (nu2 + std::fabs(sxsm)) + 1.0;
    PruneTerms t = base;
    t.bar = dub * dub * 100.0 / (base.vm * wvar[2] * (1.0 - 1e-9));
    // Nudged until the two sides are equal.
    for (int k = 0; k < 64 && t.bar * (base.vm * wvar[2]) * (1.0 - 1e-9) != dub * dub * 100.0; ++k)
        t.bar = std::nextafter(
            t.bar, t.bar * (base.vm * wvar[2]) * (1.0 - 1e-9) < dub * dub * 100.0 ? 1e300 : 0.0);
    ASSERT_EQ(t.bar * (base.vm * wvar[2]) * (1.0 - 1e-9), dub * dub * 100.0);
    const std::vector<uint8_t> expected{0, 0, 0, 0, 1, 0, 1, 1, 1, 1};
    for (int n = 1; n <= 9; ++n) {
        for (CrossRowFn f : kernels()) {
            std::vector<uint8_t> got(10, 1);
            got[1] = 0;
            routinesFor(f).prune(partial.data(), rest.data(), wsum.data(), wvar.data(), n, t,
                                 got.data());
            std::vector<uint8_t> want = expected;
            for (int i = n; i < 10; ++i)
                want[std::size_t(i)] = i == 1 ? 0 : 1;
            EXPECT_EQ(got, want) << n;
        }
    }
}

TEST(Kernels, WindowBoundsAreTheSameWithEveryKernel) {
    // Rows of 1 to 9 windows (the vector routine's groups of four and what is left), tables
    // whose entries wrap around 2^32, bands of uneven heights.
    std::mt19937 rng(3);
    const int stride = 40, height = 12;
    std::vector<uint32_t> s1(std::size_t(stride) * (height + 1)), s2(s1.size());
    for (std::size_t i = 0; i < s1.size(); ++i) {
        s1[i] = uint32_t(rng());
        s2[i] = 0xFFFFF000u + uint32_t(rng() % 0x2000);
    }
    BandTerms t;
    t.count = 3;
    t.width = 7;
    t.height = height;
    t.pixels = 7.0 * height;
    t.top = {0, 3, 8};
    t.bottom = {3, 8, 12};
    t.inr = {0, 1.0 / 35, 1.0 / 28};
    t.mb = {0, 4000.3, 3500.7};
    t.varM = {0, 9e4 + 0.1, 3.3};
    for (int n = 1; n <= 9; ++n) {
        const std::size_t pitch = 16;
        std::vector<double> want(3 * 16 + 4 * pitch, -1.0);
        routinesFor(crossRowScalar)
            .bounds(s1.data(), s2.data(), stride, t, n, want.data(), want.data() + 16,
                    want.data() + 32, pitch);
        for (CrossRowFn f : kernels()) {
            std::vector<double> got(want.size(), -1.0);
            routinesFor(f).bounds(s1.data(), s2.data(), stride, t, n, got.data(), got.data() + 16,
                                  got.data() + 32, pitch);
            // Bit for bit, and nothing written past the row or below band 1.
            EXPECT_EQ(0, std::memcmp(got.data(), want.data(), got.size() * sizeof(double))) << n;
        }
        const double sx = double(uint32_t(s1[std::size_t(height) * stride + 7] -
                                          s1[std::size_t(height) * stride] - s1[7] + s1[0]));
        EXPECT_EQ(want[0], sx);
        EXPECT_EQ(want[32 + 3 * pitch], 0.0);
        EXPECT_EQ(want[32 + pitch + std::size_t(n)], -1.0);
    }
}

TEST(Kernels, TheSwitchForcesANamedKernelTheProcessorRuns) {
#if QXM_IMLIB_X86
    const CrossRowFn sse2 = crossRowSse2, avx2 = crossRowAvx2;
    const char* absent = "this processor has no AVX2";
    const char* noSse2 = "";
#else
    const CrossRowFn sse2 = crossRowScalar, avx2 = crossRowScalar;
    const char* absent = "not an x86 processor";
    const char* noSse2 = absent;
#endif
    struct Row {
        const char* named;
        bool hasAvx2;
        CrossRowFn want;
        const char* why; // part of the complaint, "" for none
    };
    const Row rows[] = {
        {nullptr, true, avx2, ""},
        {"", false, sse2, ""},
        {"scalar", true, crossRowScalar, ""},
        {"SSE2", true, sse2, noSse2},
        {"avx2", true, avx2, ""},
        {"avx2", false, sse2, absent},
        {"avx512", true, avx2, "is none of scalar, sse2, avx2"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.named ? r.named : "(unset)");
        std::string why = "stale";
        EXPECT_EQ(chooseCrossRow(r.named, r.hasAvx2, why), r.want);
        if (*r.why == '\0')
            EXPECT_EQ(why, "");
        else
            EXPECT_NE(why.find(r.why), std::string::npos) << why;
    }
}

// The model is tall enough for the level above the bottom one to take its column sums from
// running column sums.
TEST(Kernels, WholeSearchesAgreeOnEveryInstructionSet) {
    std::mt19937 rng(2);
    const auto img = qxm::imref::makeContent(200, 160, qxm::imref::Content::Mixed, rng);
    for (int second : {0, 1}) {
        std::vector<std::vector<ImPatResult>> outs;
        for (CrossRowFn f : kernels()) {
            std::unique_ptr<Buffer> image, model;
            ASSERT_EQ(makeBuffer(200, 160, 8, image), IM_OK);
            ASSERT_EQ(makeBuffer(33, 72, 8, model), IM_OK);
            std::memcpy(image->pixels.get(), img.pixels.data(), img.pixels.size());
            for (uint32_t r = 0; r < 72; ++r)
                std::memcpy(model->row(r), image->row(r + 70) + 90, 33);
            Params p;
            p.accept = 0;
            p.secondPixel = second;
            std::vector<ImPatResult> out(50);
            const int n = execute(*model, *image, p, out.data(), 50, f);
            ASSERT_GT(n, 0);
            out.resize(std::size_t(n));
            outs.push_back(out);
            EXPECT_EQ(image->work.x, 0); // the region reaches the left border
            EXPECT_EQ(model->work.w, 33);
        }
        for (std::size_t k = 1; k < outs.size(); ++k) {
            ASSERT_EQ(outs[k].size(), outs[0].size());
            EXPECT_EQ(std::memcmp(outs[k].data(), outs[0].data(), outs[0].size() * 24), 0);
        }
    }
}

// Large searches run in two shares, one on the helper thread; whether it takes its share,
// is busy with another caller's job, or is not used at all, the records are the same bit for
// bit (the shares' hits are merged in the order of the areas they refined).
TEST(SharedSearch, FindsWhatOneThreadFinds) {
    std::mt19937 rng(5);
    const auto img = qxm::imref::makeContent(320, 240, qxm::imref::Content::Mixed, rng);
    const auto next = qxm::imref::shiftedNoisyCopy(img, 2, -1, 8, rng);
    // A picture of one tile repeated: equal scores at many places, in many areas, whose
    // order in the list is that of the areas.
    auto tiled = img;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            tiled.pixels[std::size_t(y * 320 + x)] =
                img.pixels[std::size_t((y % 37) * 320 + x % 41)];
    struct Case {
        int size = 24;
        double accept = 10;
        int capacity = 10, second = 0, first = 7, last = 0;
        bool tiles = false;
        double certainty = 100;
        int top = 90; // the model's first row in the picture
    };
    // Searched from level 1 or 0, the 24-pixel model's top level has enough windows to be
    // scored in two halves of rows; a certainty below 100 ends it at a window of either half.
    const Case cases[] = {{},
                          {.size = 48, .accept = 0, .capacity = 50},
                          {.size = 70, .capacity = 3},
                          {.size = 100, .accept = 30, .capacity = 12},
                          {.size = 40, .capacity = 20, .second = 1},
                          {.size = 64, .capacity = 8, .last = 1},
                          {.capacity = 50, .tiles = true},
                          {.size = 80, .capacity = 50, .tiles = true},
                          {.capacity = 3, .tiles = true},
                          {.size = 80, .capacity = 2, .tiles = true},
                          {.capacity = 50, .first = 1},
                          {.capacity = 20, .first = 0},
                          {.second = 1, .first = 1},
                          {.first = 1, .certainty = 90, .top = 30},
                          {.first = 1, .certainty = 90, .top = 190}};
    HelperThread helper;
    // A helper slow to start each job: the caller refines alone until the tables are built,
    // putting its bottom-level searches off, and takes them up afterwards in another order.
    HelperThread late([] { std::this_thread::sleep_for(std::chrono::milliseconds(3)); });
    for (const Case& c : cases) {
        SCOPED_TRACE("model " + std::to_string(c.size) + " accept " + std::to_string(c.accept) +
                     " first " + std::to_string(c.first) + " certainty " +
                     std::to_string(c.certainty) + " top " + std::to_string(c.top) +
                     (c.tiles ? " tiles" : ""));
        std::unique_ptr<Buffer> image, model;
        ASSERT_EQ(makeBuffer(320, 240, 8, image), IM_OK);
        ASSERT_EQ(makeBuffer(c.size, c.size, 8, model), IM_OK);
        const auto& target = c.tiles ? tiled : next;
        std::memcpy(image->pixels.get(), target.pixels.data(), target.pixels.size());
        for (int r = 0; r < c.size; ++r)
            std::memcpy(model->row(uint32_t(r)),
                        (c.tiles ? tiled : img).pixels.data() + (r + c.top) * 320 + 140,
                        std::size_t(c.size));
        // Not an exact copy: a perfect score would end each level at its first window.
        model->row(0)[0] = uint8_t(model->row(0)[0] ^ 0x40);
        Params p;
        p.accept = c.accept;
        p.secondPixel = c.second;
        p.firstLevel = c.first;
        p.lastLevel = c.last;
        p.certainty = c.certainty;
        auto run = [&](HelperThread* h) {
            std::vector<ImPatResult> out(std::size_t(c.capacity));
            const int n = execute(*model, *image, p, out.data(), c.capacity, crossRow(), h);
            out.resize(std::size_t(std::max(n, 0)));
            return out;
        };
        const auto alone = run(nullptr);
        ASSERT_FALSE(alone.empty());
        const uint64_t before = helper.jobs();
        const auto shared = run(&helper);
        EXPECT_GT(helper.jobs(), before);
        const uint64_t after = helper.jobs();
        // A helper busy with another job leaves the whole search to the caller.
        std::mutex gate;
        gate.lock();
        ASSERT_TRUE(helper.start([&] { std::lock_guard<std::mutex> wait(gate); }));
        const auto busy = run(&helper);
        gate.unlock();
        helper.finish();
        EXPECT_EQ(helper.jobs(), after + 1);
        const auto slow = run(&late);
        for (const auto* out : {&shared, &busy, &slow}) {
            ASSERT_EQ(out->size(), alone.size());
            EXPECT_EQ(std::memcmp(out->data(), alone.data(), alone.size() * sizeof(ImPatResult)),
                      0);
        }
    }
}

TEST(SharedSearch, TheHelperRunsQueuedJobsInOrderAndHandsBackTheFirstThrow) {
    HelperThread helper;
    std::vector<int> ran;
    EXPECT_FALSE(helper.then([] {})) << "no caller holds the helper";
    ASSERT_TRUE(helper.start([&] {
        ran.push_back(1);
        throw std::bad_alloc();
    }));
    EXPECT_TRUE(helper.then([&] {
        ran.push_back(2);
        throw std::runtime_error("second");
    }));
    EXPECT_TRUE(helper.then([&] { ran.push_back(3); }));
    EXPECT_THROW(helper.finish(), std::bad_alloc);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(helper.then([] {}));
    ASSERT_TRUE(helper.start([&] { ran.push_back(4); }));
    helper.finish();
    EXPECT_EQ(ran.size(), 4u);
}

TEST(Pyramid, DepthRule) {
    EXPECT_EQ(pyramidDepth(24, 24, 1024, 1024), 2); // 24 -> 12 -> 6, then 3 < 4
    EXPECT_EQ(pyramidDepth(24, 24, 23, 23), 1);     // the region halves to 12, then 6 < 8
    EXPECT_EQ(pyramidDepth(1024, 1024, 1024, 1024), 7);
    EXPECT_EQ(pyramidDepth(7, 100, 100, 100), 1); // 7 -> 4 still counts
    EXPECT_EQ(pyramidDepth(6, 100, 100, 100), 0);
    EXPECT_EQ(pyramidDepth(100, 100, 100, 15), 1); // 15 -> 8
    EXPECT_EQ(pyramidDepth(100, 100, 100, 14), 0); // the round fails on its last halving
    EXPECT_EQ(pyramidDepth(100, 100, 16, 16), 1);
    for (int mw : {24, 31, 64, 200})
        for (int rw : {15, 16, 47, 640})
            EXPECT_EQ(pyramidDepth(mw, mw + 3, rw, rw + 5),
                      qxm::imref::pyramidDepth(mw, mw + 3, rw, rw + 5));
}

TEST(Pyramid, OddRegionsReuseTheLastColumnAndRow) {
    std::unique_ptr<Buffer> base;
    ASSERT_EQ(makeBuffer(9, 7, 8, base), IM_OK);
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 9; ++x)
            base->row(y)[x] = uint8_t(10 * x + y);
    base->search = Area{2, 1, 5, 4};
    Pyramid p;
    ASSERT_EQ(p.build(*base, Region{1, 1, 5, 3}, 1), IM_OK);
    const Buffer& l1 = *p.level(1);
    EXPECT_EQ(l1.width, 5u);
    EXPECT_EQ(l1.height, 4u);
    EXPECT_EQ(l1.search.x, 1u);
    EXPECT_EQ(l1.search.w, 3u - 1u + 1u); // (2 + 5 - 1) / 2 - 1 + 1
    EXPECT_EQ(l1.work.x, 0);
    EXPECT_EQ(l1.work.w, 3);
    auto mean = [&](int c, int r) {
        return (base->row(r)[c] + base->row(r)[c + 1] + base->row(r + 1)[c] +
                base->row(r + 1)[c + 1]) >>
               2;
    };
    // Columns 1-2, 3-4 and the odd one from 4-5; rows 1-2 and the odd one from 2-3.
    EXPECT_EQ(l1.row(0)[0], mean(1, 1));
    EXPECT_EQ(l1.row(0)[1], mean(3, 1));
    EXPECT_EQ(l1.row(0)[2], mean(4, 1));
    EXPECT_EQ(l1.row(1)[0], mean(1, 2));
    EXPECT_EQ(l1.row(1)[2], mean(4, 2));
    EXPECT_EQ(l1.row(0)[3], 0);
    EXPECT_EQ(l1.row(2)[0], 0);
    EXPECT_EQ(base->work.w, 5);
}

TEST(Suppression, FollowsTheBlockOrder) {
    std::vector<double> one{42.0};
    suppressNonMaxima(one.data(), 1, 1, 1, 1, 1);
    EXPECT_EQ(one[0], 42.0);

    std::vector<double> tie{5.0, 5.0};
    suppressNonMaxima(tie.data(), 2, 2, 1, 2, 1);
    EXPECT_EQ(tie[0], 5.0);
    EXPECT_EQ(tie[1], 0.0);

    // A cell that is no local maximum survives when its larger neighbour was zeroed by an
    // earlier block: 9 falls to 10, then 8 only meets zeros.
    std::vector<double> t{10, 0, 9, 8};
    suppressNonMaxima(t.data(), 4, 4, 1, 4, 1);
    EXPECT_EQ(t, (std::vector<double>{10, 0, 0, 8}));

    // Two rows: every 3 x 2 block keeps its first-visited maximum.
    std::vector<double> u{1, 3, 2, //
                          3, 0, 1};
    suppressNonMaxima(u.data(), 3, 3, 2, 3, 2);
    EXPECT_EQ(u, (std::vector<double>{0, 3, 0, 0, 0, 0}));
}

// The suppression walked block by block, every cell of each block compared.
void suppressPlainly(std::vector<double>& t, int stride, int w, int h, int nx, int ny) {
    const int kw = std::min(w, 3), kh = std::min(h, 3);
    for (int ay = 0; ay <= std::min(h - kh, ny - 1); ++ay)
        for (int ax = 0; ax <= std::min(w - kw, nx - 1); ++ax) {
            double* best = &t[std::size_t(ay * stride + ax)];
            for (int dy = 0; dy < kh; ++dy)
                for (int dx = dy == 0 ? 1 : 0; dx < kw; ++dx) {
                    double* cell = &t[std::size_t((ay + dy) * stride + ax + dx)];
                    if (*best >= *cell) {
                        *cell = 0.0;
                    } else {
                        *best = 0.0;
                        best = cell;
                    }
                }
        }
}

TEST(Suppression, AgreesWithTheBlockByBlockWalkOnTiesAndZeros) {
    std::mt19937 rng(77);
    for (int round = 0; round < 4000; ++round) {
        const int w = 1 + int(rng() % 9), h = 1 + int(rng() % 7), stride = w + int(rng() % 3);
        const int nx = 1 + int(rng() % unsigned(w)), ny = 1 + int(rng() % unsigned(h));
        // Few distinct values, so that ties and zeros are everywhere.
        std::vector<double> t(std::size_t(stride * h), 0.0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                t[std::size_t(y * stride + x)] = double(rng() % 4);
        std::vector<double> want = t;
        suppressPlainly(want, stride, w, h, nx, ny);
        suppressNonMaxima(t.data(), stride, w, h, nx, ny);
        ASSERT_EQ(t, want) << w << "x" << h << " stride " << stride << " corner " << nx << "x" << ny
                           << " round " << round;
    }
}

TEST(HitList, KeepsTheBestInFoundOrderUpToTheCapacity) {
    HitList h(3);
    h.add(5, 1, 0);
    h.add(5, 2, 0);
    h.add(7, 3, 0);
    h.add(5, 4, 0); // equal to the lowest: after the others, beyond the capacity
    h.add(6, 5, 0);
    ASSERT_EQ(h.size(), 3);
    EXPECT_EQ(h[0].x, 3);
    EXPECT_EQ(h[1].x, 5);
    EXPECT_EQ(h[2].x, 1);
}

TEST(Refinement, AreaIsSixBySixUnlessClipped) {
    const Area all{0, 0, 100, 100};
    Rect r = refinementArea(10.0, 20.0, all);
    EXPECT_EQ(r.x, 18);
    EXPECT_EQ(r.w, 6);
    EXPECT_EQ(r.y, 38);
    EXPECT_EQ(r.h, 6);
    r = refinementArea(10.5, 0.0, all); // half centres: 19.5 -> 19, ceil(23.5) = 24
    EXPECT_EQ(r.x, 19);
    EXPECT_EQ(r.w, 6);
    EXPECT_EQ(r.y, 0); // trunc(-1.5) = -1, then clipped; ceil(2.5) = 3
    EXPECT_EQ(r.h, 4);
    r = refinementArea(10.0, 10.0, Area{20, 20, 2, 30});
    EXPECT_EQ(r.x, 20);
    EXPECT_EQ(r.w, 2);
}

} // namespace
