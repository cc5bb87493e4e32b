// Each step of the tracking algorithm against values worked out by hand.
#include "tests/TestFrames.h"
#include "tracking/Codes.h"
#include "tracking/Tracker.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <random>

using namespace qxm::track;
using namespace qxm::track::test;

namespace {

SetAutoAnchorRecord rec(int32_t f, int32_t l, int32_t t, int32_t r, int32_t b) {
    return SetAutoAnchorRecord{f, l, t, r, b};
}

ImPatResult hit(double s, double x, double y) {
    return ImPatResult{s, x, y};
}

// The marking as first written: recursive, one level per split.
void markRecursive(const SetAutoAnchorRecord* rec, int64_t i, int64_t j, double tol,
                   std::vector<bool>& marks) {
    marks[i] = marks[j] = true;
    if (j - i <= 1) return;
    const Rect P = rectOf(rec[i]), Q = rectOf(rec[j]);
    int64_t f = -1;
    double best = 0;
    for (int64_t k = i + 1; k < j; ++k) {
        const double ex = P.cx() + (Q.cx() - P.cx()) * double(k - i) / double(j - i);
        const double ey = P.cy() + (Q.cy() - P.cy()) * double(k - i) / double(j - i);
        const Rect K = rectOf(rec[k]);
        const double d = std::hypot(K.cx() - ex, K.cy() - ey);
        if (d > tol && (f < 0 || d > best)) {
            f = k;
            best = d;
        }
    }
    if (f >= 0) {
        markRecursive(rec, i, f, tol, marks);
        markRecursive(rec, f, j, tol, marks);
    }
}

} // namespace

TEST(Geometry, CentreAndNormalisation) {
    const Rect r{10, 20, 15, 27};
    EXPECT_EQ(r.cx(), 12.5); // halved in double precision
    EXPECT_EQ(r.cy(), 23.5);
    EXPECT_EQ(normalised(Rect{30, 40, 10, 5}), (Rect{10, 5, 30, 40}));
    EXPECT_EQ(normalised(Rect{1, 2, 3, 4}), (Rect{1, 2, 3, 4}));
    const Rect wide{INT32_MIN, 0, INT32_MAX, 10};
    EXPECT_EQ(wide.width(), int64_t(UINT32_MAX));
}

TEST(Geometry, ModelRectangle) {
    // 10 x 10 with 70 %: a 7 x 7 model in the middle.
    EXPECT_EQ(modelRect(Rect{100, 100, 110, 110}, 70, 640, 480), (Rect{101, 101, 108, 108}));
    // 40 x 30 with 70 %: 28 x 21, offsets (40 - 28) / 2 = 6 and (30 - 21) / 2 = 4.
    EXPECT_EQ(modelRect(Rect{0, 0, 40, 30}, 70, 640, 480), (Rect{6, 4, 34, 25}));
    // Odd remainders are halved by integer division: 11 wide, 50 % -> 5, offset 3.
    EXPECT_EQ(modelRect(Rect{0, 0, 11, 11}, 50, 640, 480), (Rect{3, 3, 8, 8}));
    // Kept inside the frame.
    EXPECT_EQ(modelRect(Rect{-20, -20, 20, 20}, 100, 640, 480), (Rect{0, 0, 20, 20}));
    EXPECT_EQ(modelRect(Rect{600, 450, 700, 500}, 100, 640, 480), (Rect{600, 450, 639, 479}));
}

TEST(Geometry, MinimumModelSize) {
    // The 7 x 7 model is widened to 23 around its centre 104.5: ceil(93.0) = 93.
    EXPECT_EQ(minimumModel(Rect{101, 101, 108, 108}, 640, 480), (Rect{93, 93, 116, 116}));
    // Only the narrow direction changes.
    EXPECT_EQ(minimumModel(Rect{10, 10, 20, 60}, 640, 480), (Rect{4, 10, 27, 60}));
    EXPECT_EQ(minimumModel(Rect{10, 10, 60, 20}, 640, 480), (Rect{10, 4, 60, 27}));
    // Centre 10: ceil(-1.5) = -1, raised to 0.
    EXPECT_EQ(minimumModel(Rect{0, 0, 20, 23}, 640, 480), (Rect{0, 0, 23, 23}));
    // Near the far edge: left + 23 >= width moves it to width - 25.
    EXPECT_EQ(minimumModel(Rect{90, 0, 100, 30}, 100, 480), (Rect{75, 0, 98, 30}));
    // Width 23 is already enough.
    EXPECT_EQ(minimumModel(Rect{5, 5, 28, 28}, 640, 480), (Rect{5, 5, 28, 28}));
}

TEST(Geometry, ResizeOverlapAndRating) {
    EXPECT_EQ(resizedAround(Rect{10, 20, 30, 50}, 11, 7), (Rect{15, 32, 26, 39}));
    EXPECT_EQ(resizedAround(Rect{10, 20, 15, 25}, 5, 5), (Rect{10, 20, 15, 25}));
    EXPECT_EQ(overlapPercent(Rect{0, 0, 10, 10}, Rect{5, 5, 20, 20}), 25.0);
    EXPECT_EQ(overlapPercent(Rect{5, 5, 20, 20}, Rect{0, 0, 10, 10}), 25.0 / 225.0 * 100);
    EXPECT_EQ(overlapPercent(Rect{0, 0, 10, 10}, Rect{10, 0, 20, 10}), 0.0); // edges touch
    EXPECT_EQ(overlapPercent(Rect{0, 0, 0, 10}, Rect{0, 0, 10, 10}), 0.0);   // empty reference
    EXPECT_EQ(overlapPercent(Rect{0, 0, 10, 10}, Rect{2, 2, 8, 8}), 36.0);
    EXPECT_EQ(rating(70.0, 70.0, 30.0), 0);
    EXPECT_EQ(rating(69.9, 70.0, 30.0), 1);
    EXPECT_EQ(rating(30.0, 70.0, 30.0), 1);
    EXPECT_EQ(rating(29.9, 70.0, 30.0), 2);
}

TEST(HitChoice, BestInAreaThenNearestWithinTheBand) {
    const Area area{0, 0, 20, 20};
    const ImPatResult hits[] = {
        hit(90, 50, 50),   // outside the area: never the best
        hit(80, 5, 5),     // the best
        hit(70, 13, 13),   // nearer the centre (14, 14)
        hit(61, 14.5, 14), // nearer still, inside the band 80 - 20 = 60
        hit(59, 14, 14),   // below the band: the walk stops here
        hit(65, 14, 14),   // never reached
    };
    EXPECT_EQ(chooseHit(hits, 6, area, 14, 14, 20, 10), 3);
    EXPECT_EQ(chooseHit(hits, 6, area, 14, 14, 15, 10), 2); // band 65
    EXPECT_EQ(chooseHit(hits, 6, area, 14, 14, 20, 75), 1); // acceptance raises the bound
    EXPECT_EQ(chooseHit(hits, 1, area, 14, 14, 20, 10), -1);
    EXPECT_EQ(chooseHit(hits, 0, area, 14, 14, 20, 10), -1);
    // Hits after the best are not tested against the area.
    const ImPatResult outside[] = {hit(80, 0, 0), hit(79, 100, 100), hit(78, 30, 30)};
    EXPECT_EQ(chooseHit(outside, 3, area, 30, 30, 20, 10), 2);
    // Equal distances: the earlier one wins.
    const ImPatResult ties[] = {hit(80, 10, 20), hit(75, 12, 10), hit(74, 8, 10)};
    EXPECT_EQ(chooseHit(ties, 3, area, 10, 10, 20, 10), 1);
    // The area is inclusive.
    const ImPatResult edge[] = {hit(50, 20, 0)};
    EXPECT_EQ(chooseHit(edge, 1, area, 0, 0, 20, 10), 0);
}

TEST(HitChoice, PlacementRoundsHalvesAwayAndClips) {
    int32_t code = 1;
    // 20 - 11.5 = 8.5 -> 9; 20.5 - 12 = 8.5 -> 9.
    EXPECT_EQ(placeHit(hit(50, 20, 20.5), 23, 24, 640, 480, code), (Rect{9, 9, 32, 33}));
    EXPECT_EQ(code, 0);
    // -0.5 rounds to -1; right is formed from it before left is clipped to 0.
    EXPECT_EQ(placeHit(hit(50, 11, 30), 23, 23, 640, 480, code), (Rect{0, 19, 22, 42}));
    EXPECT_EQ(code, kStepClipped);
    EXPECT_EQ(placeHit(hit(50, 95, 470), 23, 23, 100, 480, code), (Rect{84, 459, 99, 479}));
    EXPECT_EQ(code, kStepClipped);
    EXPECT_EQ(placeHit(hit(50, 87, 11.5), 23, 23, 100, 480, code), (Rect{76, 0, 99, 23}));
    EXPECT_EQ(code, 0);
}

TEST(Thinning, LinearMotionKeepsTheEnds) {
    std::vector<SetAutoAnchorRecord> r;
    for (int k = 0; k < 9; ++k)
        r.push_back(rec(5 * k, 3 * k, 2 * k, 3 * k + 40, 2 * k + 30));
    Track t{r.data(), int64_t(r.size()), int64_t(r.size())};
    ASSERT_EQ(thin(t, 24.0), 0);
    ASSERT_EQ(t.count, 2);
    EXPECT_EQ(t.records[0].frame, 0);
    EXPECT_EQ(t.records[1].frame, 40);
}

TEST(Thinning, FarRecordsSplitTheTrack) {
    // Centres (0,0) (10,0) (20,30) (30,0) (40,0): record 2 lies 30 from the chord; then each
    // half has records only 15 from theirs.
    std::vector<SetAutoAnchorRecord> r = {rec(0, 0, 0, 0, 0), rec(1, 10, 0, 10, 0),
                                          rec(2, 20, 30, 20, 30), rec(3, 30, 0, 30, 0),
                                          rec(4, 40, 0, 40, 0)};
    auto marks = thinningMarks(r.data(), 5, 24.0);
    EXPECT_EQ(marks, (std::vector<bool>{true, false, true, false, true}));
    marks = thinningMarks(r.data(), 5, 14.9);
    EXPECT_EQ(marks, (std::vector<bool>{true, true, true, true, true}));
    marks = thinningMarks(r.data(), 5, 30.0); // not strictly above the tolerance
    EXPECT_EQ(marks, (std::vector<bool>{true, false, false, false, true}));
    // Interpolation is by record index, not by frame number.
    std::vector<SetAutoAnchorRecord> gaps = {rec(0, 0, 0, 0, 0), rec(1, 10, 0, 10, 0),
                                             rec(100, 20, 0, 20, 0)};
    EXPECT_EQ(thinningMarks(gaps.data(), 3, 0.5), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(thinningMarks(gaps.data(), 1, 0.5), (std::vector<bool>{true}));
    EXPECT_TRUE(thinningMarks(gaps.data(), 0, 0.5).empty());
}

TEST(Thinning, SameMarksAsTheRecursiveForm) {
    std::mt19937 rng(4);
    for (int round = 0; round < 200; ++round) {
        const int n = 2 + int(rng() % 60);
        std::vector<SetAutoAnchorRecord> r;
        int x = 0, y = 0;
        for (int k = 0; k < n; ++k) {
            x += int(rng() % 21) - 5;
            y += int(rng() % 21) - 10;
            const int w = int(rng() % 7);
            r.push_back(rec(k, x, y, x + w, y + w));
        }
        const double tol = double(rng() % 30);
        std::vector<bool> expected(n, false);
        markRecursive(r.data(), 0, n - 1, tol, expected);
        EXPECT_EQ(thinningMarks(r.data(), n, tol), expected) << round;
    }
}

namespace {
struct DeepJob {
    std::vector<SetAutoAnchorRecord> records;
    std::vector<bool> marks;
};
void* runDeep(void* p) {
    auto* job = static_cast<DeepJob*>(p);
    job->marks = thinningMarks(job->records.data(), int64_t(job->records.size()), 0.0);
    return nullptr;
}
} // namespace

TEST(Thinning, LongTracksDoNotNeedADeepStack) {
    // Centres alternate (k, +k), (k, -k): every marking picks the record next to its end, so
    // a recursive marking goes one level deeper per record. Run it on a 128 KiB stack.
    DeepJob job;
    const int n = 12000;
    for (int k = 0; k < n; ++k) {
        const int y = (k % 2) ? -k : k;
        job.records.push_back(rec(k, 0, y, 0, y));
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, runDeep, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(job.marks.size(), std::size_t(n));
    for (int k = 0; k < n; ++k)
        ASSERT_TRUE(job.marks[k]) << k;
}

TEST(SizeInterpolation, ByFrameBetweenTheEnds) {
    std::vector<SetAutoAnchorRecord> r = {rec(0, 0, 0, 10, 20), rec(5, 100, 100, 104, 104),
                                          rec(8, 50, 50, 51, 51), rec(10, 0, 0, 30, 40)};
    Track t{r.data(), 4, 4};
    interpolateSizes(t);
    // Frame 5: t = 0.5, 20 x 30 around (102, 102).
    EXPECT_EQ(rectOf(r[1]), (Rect{92, 87, 112, 117}));
    // Frame 8: t = 0.8, width trunc(0.8 * 20 + 10) = 26, height trunc(0.8 * 20 + 20) = 36;
    // centre (50.5, 50.5) truncated to 50.
    EXPECT_EQ(rectOf(r[2]), (Rect{37, 32, 63, 68}));
    EXPECT_EQ(rectOf(r[0]), (Rect{0, 0, 10, 20}));
    EXPECT_EQ(rectOf(r[3]), (Rect{0, 0, 30, 40}));
    // Two records: nothing changes.
    std::vector<SetAutoAnchorRecord> two = {rec(0, 0, 0, 10, 10), rec(9, 5, 5, 6, 6)};
    Track t2{two.data(), 2, 2};
    interpolateSizes(t2);
    EXPECT_EQ(rectOf(two[1]), (Rect{5, 5, 6, 6}));
}

TEST(Splice, BackwardTrackReplacesTheTail) {
    std::vector<SetAutoAnchorRecord> f = {
        rec(0, 0, 0, 1, 1), rec(5, 1, 1, 2, 2), rec(10, 2, 2, 3, 3), rec(12, 3, 3, 4, 4), {}, {}};
    std::vector<SetAutoAnchorRecord> b = {rec(12, 9, 9, 9, 9), rec(10, 8, 8, 8, 8),
                                          rec(7, 7, 7, 7, 7)};
    Track F{f.data(), 4, 6}, B{b.data(), 3, 6};
    splice(F, B);
    ASSERT_EQ(F.count, 5);
    const int frames[] = {0, 5, 7, 10, 12};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(F.records[i].frame, frames[i]);
    EXPECT_EQ(F.records[2].left, 7);
    EXPECT_EQ(F.records[4].left, 9);

    // A backward track of one record, or one reaching the first frame, changes nothing.
    std::vector<SetAutoAnchorRecord> f2 = {rec(0, 0, 0, 1, 1), rec(5, 1, 1, 2, 2), {}, {}};
    std::vector<SetAutoAnchorRecord> b2 = {rec(5, 9, 9, 9, 9), rec(0, 8, 8, 8, 8)};
    Track F2{f2.data(), 2, 4}, B2{b2.data(), 1, 4};
    splice(F2, B2);
    EXPECT_EQ(F2.count, 2);
    B2.count = 2;
    splice(F2, B2);
    EXPECT_EQ(F2.count, 2);
    EXPECT_EQ(F2.records[1].left, 1);
}
