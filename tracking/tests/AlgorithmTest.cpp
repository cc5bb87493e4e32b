// Matching steps, walks and passes on hand-made frame sequences through the image library.
#include "imaging/include/qxmimlib.h"
#include "tests/TestFrames.h"
#include "tracking/Codes.h"
#include "tracking/FramePair.h"
#include "tracking/Tracker.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace qxm::track;
using namespace qxm::track::test;

namespace {

// Image buffers, reader, frame pair and tracker over one scene.
class Rig {
public:
    Rig(Scene& scene, const Params& p) : scene_(scene), params(p) {
        ImBufAlloc(scene.width(), scene.height(), 8, &a_);
        ImBufAlloc(scene.width(), scene.height(), 8, &b_);
        reader_ = std::make_unique<GrayReader>(scene, scene.width(), scene.height(),
                                               GrayWeights(p.red, p.green, p.blue));
        frames = std::make_unique<FramePair>(*reader_, a_, b_);
        tracker = std::make_unique<Tracker>(params, *frames, scene.width(), scene.height());
        f.resize(4096);
        b.resize(4096);
        F = Track{f.data(), 0, int64_t(f.size())};
        B = Track{b.data(), 0, int64_t(b.size())};
    }
    ~Rig() {
        tracker.reset();
        frames.reset();
        ImBufFree(a_);
        ImBufFree(b_);
    }
    std::vector<int32_t> frameNumbers(const Track& t) const {
        std::vector<int32_t> out;
        for (int64_t i = 0; i < t.count; ++i)
            out.push_back(t.records[i].frame);
        return out;
    }

    Scene& scene_;
    Params params;
    std::unique_ptr<GrayReader> reader_;
    std::unique_ptr<FramePair> frames;
    std::unique_ptr<Tracker> tracker;
    std::vector<SetAutoAnchorRecord> f, b;
    Track F, B;

private:
    ImBufHandle a_ = -1, b_ = -1;
};

// Object 40 x 30 moving right by dx and down by dy pixels a frame from (20, 30).
Scene movingScene(int frames, int dx, int dy, int w = 200, int h = 150) {
    return Scene(w, h, frames, [=](int n) {
        return Rect{20 + dx * n, 30 + dy * n, 60 + dx * n, 60 + dy * n};
    });
}

// A scene without anything to match: every frame flat.
class FlatScene : public Scene {
public:
    FlatScene(int frames) : Scene(100, 80, frames, [](int) { return Rect{}; }) {}
    bool dib(int32_t n, std::vector<uint8_t>& out) override {
        ++decodes;
        if (n < 0 || n >= 1000) return false;
        out = grayDib(100, 80, [](int, int) { return uint8_t(90); });
        return true;
    }
};

} // namespace

TEST(MatchStep, FindsTheMovedObject) {
    Scene scene = movingScene(10, 3, 2);
    Params p;
    Rig rig(scene, p);
    ASSERT_EQ(rig.frames->load(0, 1, true), 0);
    const Rect model = modelRect(scene.object(0), 70, 200, 150);
    ASSERT_EQ(model, (Rect{26, 34, 54, 55}));
    // 21 rows are widened to 23 around the centre row 44.5: rows 33 to 56.
    Rect out;
    ASSERT_EQ(rig.tracker->matchStep(model, out), 0);
    EXPECT_EQ(out, (Rect{29, 35, 57, 58}));
    // Loaded the other way round, the step goes back.
    ASSERT_EQ(rig.frames->load(1, 0), 0);
    ASSERT_EQ(rig.tracker->matchStep(out, out), 0);
    EXPECT_EQ(out, (Rect{26, 33, 54, 56}));
}

TEST(MatchStep, SearchAreaLimitsTheHits) {
    Scene scene = movingScene(30, 3, 0);
    Params p;
    p.searchWidth = 2; // the step from 0 to 10 moves 30 pixels
    p.searchHeight = 2;
    Rig rig(scene, p);
    ASSERT_EQ(rig.frames->load(0, 10, true), 0);
    const Rect model = modelRect(scene.object(0), 70, 200, 150);
    Rect out;
    EXPECT_EQ(rig.tracker->matchStep(model, out), kStepNoMatch);
    EXPECT_EQ(out, model);
    // The whole frame is searched with SearchAll, whatever the half-extents.
    p.searchAll = true;
    Rig all(scene, p);
    ASSERT_EQ(all.frames->load(0, 10, true), 0);
    ASSERT_EQ(all.tracker->matchStep(model, out), 0);
    const Rect q = minimumModel(model, 200, 150);
    EXPECT_EQ(out, (Rect{q.left + 30, q.top, q.right + 30, q.bottom}));
}

TEST(MatchStep, SmallModelsAreWidened) {
    // The object leaves the picture at the left edge.
    Scene scene(120, 90, 20, [](int n) { return Rect{30 - 4 * n, 30, 70 - 4 * n, 60}; });
    Params p;
    Rig rig(scene, p);
    ASSERT_EQ(rig.frames->load(0, 1, true), 0);
    // A 10 x 10 anchor gives a 7 x 7 model, searched as 23 x 23 around the same centre.
    Rect out;
    ASSERT_EQ(rig.tracker->matchStep(Rect{40, 40, 47, 47}, out), 0);
    EXPECT_EQ(out.width(), 23);
    EXPECT_EQ(out.height(), 23);
    EXPECT_EQ(out.cx(), 43.5 - 4);
}

TEST(MatchStep, ImageLibraryFailureIsCodeMinus3) {
    // Frames narrower than 25 pixels cannot hold a widened model.
    Scene scene(20, 40, 5, [](int) { return Rect{2, 2, 18, 30}; });
    Params p;
    Rig rig(scene, p);
    ASSERT_EQ(rig.frames->load(0, 1, true), 0);
    Rect out{1, 1, 1, 1};
    EXPECT_EQ(rig.tracker->matchStep(Rect{2, 2, 18, 30}, out), kImageLibrary);
}

TEST(MatchStep, SettingsTheImageLibraryRefusesFailTheStep) {
    // Values the profile reader never lets through: the step must not search with the
    // settings of the step before.
    Scene scene(120, 90, 5, [](int) { return Rect{30, 30, 70, 60}; });
    for (const auto& [accept, first, last] : std::vector<std::tuple<double, int32_t, int32_t>>{
             {150.0, 7, 0}, {10.0, 9, 0}, {10.0, 2, 3}}) {
        SCOPED_TRACE(testing::Message() << accept << " " << first << "-" << last);
        Params p;
        p.acceptanceThreshold = accept;
        p.firstLevel = first;
        p.lastLevel = last;
        Rig rig(scene, p);
        ASSERT_EQ(rig.frames->load(0, 1, true), 0);
        Rect out;
        EXPECT_EQ(rig.tracker->matchStep(Rect{30, 30, 70, 60}, out), kImageLibrary);
    }
}

TEST(TrackStep, FailingStepsAreSplitDownToSingleFrames) {
    FlatScene scene(20);
    Params p;
    Rig rig(scene, p);
    const Rect S{10, 10, 50, 40}, E{40, 30, 80, 60};
    // The model (16, 14, 44, 35) never moves; resized to E's size it is (10, 9, 50, 39),
    // which covers 90 of E's 1200 pixels: missed.
    EXPECT_EQ(rig.tracker->forward(0, 12, S, E, rig.F), 2);
    // Every frame is recorded, intermediate ones with the unchanged model rectangle.
    ASSERT_EQ(rig.F.count, 13);
    const Rect M = modelRect(S, 70, 100, 80);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(rig.F.records[i].frame, i);
    for (int i = 1; i < 12; ++i)
        EXPECT_EQ(rectOf(rig.F.records[i]), M) << i;
    EXPECT_EQ(rectOf(rig.F.records[0]), S);
    EXPECT_EQ(rectOf(rig.F.records[12]), E);
    // Working values are back at their parameter values.
    EXPECT_EQ(rig.tracker->acceptance(), 10.0);
    EXPECT_EQ(rig.tracker->searchHalfWidth(), 40);
    EXPECT_EQ(rig.tracker->searchHalfHeight(), 40);
}

TEST(ForwardPass, StepsOfFrameStepDecodingEachFrameOnce) {
    Scene scene = movingScene(20, 2, 1);
    Params p;
    Rig rig(scene, p);
    const Rect S = scene.object(0), E = scene.object(12);
    EXPECT_EQ(rig.tracker->forward(0, 12, S, E, rig.F), 0);
    EXPECT_EQ(rig.frameNumbers(rig.F), (std::vector<int32_t>{0, 5, 10, 12}));
    EXPECT_EQ(scene.decodesOf, (std::map<int, int>{{0, 1}, {5, 1}, {10, 1}, {12, 1}}));
    // Intermediate records hold the tracked model rectangle, widened to 23 rows.
    const Rect M = minimumModel(modelRect(S, 70, 200, 150), 200, 150);
    EXPECT_EQ(rectOf(rig.F.records[1]), (Rect{M.left + 10, M.top + 5, M.right + 10, M.bottom + 5}));
    EXPECT_EQ(rectOf(rig.F.records[2]),
              (Rect{M.left + 20, M.top + 10, M.right + 20, M.bottom + 10}));
    EXPECT_EQ(rectOf(rig.F.records[3]), E); // the last record carries the end rectangle
}

TEST(ForwardPass, RatingMeasuresTheEndRectangle) {
    Scene scene = movingScene(20, 2, 1);
    Params p;
    Rig rig(scene, p);
    const Rect S = scene.object(0), T = scene.object(10);
    // The track ends at T; E 8 pixels to the right overlaps 32 / 40 = 80 %.
    EXPECT_EQ(rig.tracker->forward(0, 10, S, Rect{T.left + 8, T.top, T.right + 8, T.bottom}, rig.F),
              0);
    // 20 pixels: 50 %, partly.
    EXPECT_EQ(
        rig.tracker->forward(0, 10, S, Rect{T.left + 20, T.top, T.right + 20, T.bottom}, rig.F), 1);
    // 30 pixels: 25 %, missed.
    EXPECT_EQ(
        rig.tracker->forward(0, 10, S, Rect{T.left + 30, T.top, T.right + 30, T.bottom}, rig.F), 2);
    // Start = end: one record, rating 0.
    EXPECT_EQ(rig.tracker->forward(4, 4, S, T, rig.F), 0);
    ASSERT_EQ(rig.F.count, 1);
    EXPECT_EQ(rig.F.records[0].frame, 4);
    EXPECT_EQ(rectOf(rig.F.records[0]), S);
}

TEST(ForwardPass, FrameErrorsEndThePassAndRestoreTheWorkingValues) {
    Scene scene = movingScene(20, 2, 1);
    scene.failAt[0] = true; // the first load, the one that forgets
    Params p;
    Rig rig(scene, p);
    EXPECT_EQ(rig.tracker->forward(0, 12, scene.object(0), scene.object(12), rig.F), kFrameFetch);
    Scene later = movingScene(20, 2, 1);
    later.failAt[10] = true;
    Rig rig2(later, p);
    EXPECT_EQ(rig2.tracker->forward(0, 12, later.object(0), later.object(12), rig2.F), kFrameFetch);
    EXPECT_EQ(rig2.tracker->acceptance(), 10.0);
    EXPECT_EQ(rig2.tracker->searchHalfWidth(), 40);
    // Frames past the end of the movie fail the same way.
    Rig rig3(scene, p);
    scene.failAt.clear();
    EXPECT_EQ(rig3.tracker->forward(15, 40, scene.object(15), scene.object(15), rig3.F),
              kFrameFetch);
}

namespace {

// A forward track 0, 5, 10, 12 whose intermediate records are far from the object.
void lostForwardTrack(Rig& rig, const Scene& scene) {
    const SetAutoAnchorRecord far{0, 150, 100, 190, 130};
    rig.f[0] = SetAutoAnchorRecord{0, scene.object(0).left, scene.object(0).top,
                                   scene.object(0).right, scene.object(0).bottom};
    rig.f[1] = far;
    rig.f[1].frame = 5;
    rig.f[2] = far;
    rig.f[2].frame = 10;
    const Rect e = scene.object(12);
    rig.f[3] = SetAutoAnchorRecord{12, e.left, e.top, e.right, e.bottom};
    rig.F.count = 4;
}

} // namespace

TEST(BackwardPass, TargetsFallOnTheForwardStepsWithinTheLimit) {
    Scene scene = movingScene(20, 2, 1);
    Params p;
    Rig rig(scene, p);
    lostForwardTrack(rig, scene);
    // 12 - 12 mod 5 = 10; the limit 12 - trunc(0.5 * 12) = 6 stops before 5.
    ASSERT_EQ(rig.tracker->backward(rig.F, rig.B), 0);
    EXPECT_EQ(rig.frameNumbers(rig.B), (std::vector<int32_t>{12, 10}));
    // B's record at 10 is resized to the forward record's size around the tracked centre.
    const Rect M = modelRect(scene.object(12), 70, 200, 150);
    const Rect at10{M.left - 4, M.top - 2, M.right - 4, M.bottom - 2};
    EXPECT_EQ(rectOf(rig.B.records[1]), resizedAround(at10, 40, 30));

    rig.params.backwardSearch = 100; // limit 0: all the way back
    ASSERT_EQ(rig.tracker->backward(rig.F, rig.B), 0);
    EXPECT_EQ(rig.frameNumbers(rig.B), (std::vector<int32_t>{12, 10, 5, 0}));
    splice(rig.F, rig.B);
    EXPECT_EQ(rig.frameNumbers(rig.F), (std::vector<int32_t>{0, 5, 10, 12}));
    EXPECT_EQ(rectOf(rig.F.records[0]), scene.object(0)); // the first record stays
    EXPECT_EQ(rig.tracker->acceptance(), 10.0);
}

TEST(BackwardPass, EndsWhereTheTracksMeet) {
    Scene scene = movingScene(30, 2, 1);
    Params p;
    p.backwardSearch = 100;
    Rig rig(scene, p);
    // A forward track right on the object but for its last step.
    ASSERT_EQ(rig.tracker->forward(0, 20, scene.object(0), scene.object(20), rig.F), 0);
    rig.f[3].left += 60; // frame 15 is off
    rig.f[3].right += 60;
    ASSERT_EQ(rig.tracker->backward(rig.F, rig.B), 0);
    // 20 mod 5 = 0, so the first target is 15 (off: continue), then 10 (met: end).
    EXPECT_EQ(rig.frameNumbers(rig.B), (std::vector<int32_t>{20, 15, 10}));
}

TEST(Run, ThinningAndSizesOnAStraightPath) {
    Scene scene = movingScene(40, 3, 1);
    Params p;
    Rig rig(scene, p);
    const Rect S = scene.object(0), E = scene.object(30);
    ASSERT_EQ(rig.tracker->run(0, 30, S, E, rig.F, rig.B), 0);
    // Linear motion thins to the two ends.
    EXPECT_EQ(rig.frameNumbers(rig.F), (std::vector<int32_t>{0, 30}));

    rig.params.delMidle = false;
    ASSERT_EQ(rig.tracker->run(0, 30, S, E, rig.F, rig.B), 0);
    ASSERT_EQ(rig.F.count, 7);
    EXPECT_EQ(rectOf(rig.F.records[0]), S);
    EXPECT_EQ(rectOf(rig.F.records[6]), E);
    // The model's centre (40, 44.5) + motion, truncated, with the anchor's 40 x 30 around it.
    for (int i = 1; i < 6; ++i) {
        const Rect o = scene.object(5 * i);
        EXPECT_EQ(rectOf(rig.F.records[i]), (Rect{o.left, o.top - 1, o.right, o.bottom - 1})) << i;
    }
}
