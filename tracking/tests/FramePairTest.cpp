#include "tracking/FramePair.h"
#include "imaging/include/qxmimlib.h"
#include "tests/TestFrames.h"
#include "tracking/Codes.h"
#include "tracking/MovieFrames.h"

#include <gtest/gtest.h>

using namespace qxm::track;
using namespace qxm::track::test;

namespace {

// Each frame n is a flat picture of gray n, so the buffers tell which frame they hold.
class FlatFrames : public DibSource {
public:
    bool dib(int32_t n, std::vector<uint8_t>& out) override {
        ++decodes;
        decoded.push_back(n);
        if (n == failing) return false;
        if (n == wrongSize) {
            out = grayDib(W + 1, H, [](int, int) { return uint8_t(0); });
            return true;
        }
        out = grayDib(W, H, [n](int, int) { return uint8_t(n); });
        return true;
    }
    static constexpr int W = 24, H = 24;
    int decodes = 0;
    std::vector<int32_t> decoded;
    int32_t failing = -100, wrongSize = -100;
};

class FramePairTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ImBufAlloc(FlatFrames::W, FlatFrames::H, 8, &a), IM_OK);
        ASSERT_EQ(ImBufAlloc(FlatFrames::W, FlatFrames::H, 8, &b), IM_OK);
    }
    void TearDown() override {
        ImBufFree(a);
        ImBufFree(b);
    }
    FlatFrames frames;
    GrayReader reader{frames, FlatFrames::W, FlatFrames::H, GrayWeights(0.299, 0.587, 0.114)};
    ImBufHandle a = -1, b = -1;
    std::unique_ptr<FramePair> pair;
};

} // namespace

TEST_F(FramePairTest, WalkDecodesEveryFrameOnce) {
    pair = std::make_unique<FramePair>(reader, a, b);
    ASSERT_EQ(pair->load(0, 5, true), 0);
    EXPECT_EQ(frames.decoded, (std::vector<int32_t>{0, 5}));
    ASSERT_EQ(pair->load(5, 10), 0); // B copied into A, only 10 decoded
    ASSERT_EQ(pair->load(10, 15), 0);
    EXPECT_EQ(frames.decoded, (std::vector<int32_t>{0, 5, 10, 15}));
    EXPECT_EQ(pair->heldA(), 10);
    EXPECT_EQ(pair->heldB(), 15);
    ASSERT_EQ(pair->load(10, 15), 0); // both held: nothing to do
    EXPECT_EQ(frames.decodes, 4);
    // Swapped: A takes B's frame by a copy, which leaves nothing holding 10 any more.
    ASSERT_EQ(pair->load(15, 10), 0);
    EXPECT_EQ(frames.decodes, 5);
    EXPECT_EQ(frames.decoded.back(), 10);
    EXPECT_EQ(pair->heldA(), 15);
    EXPECT_EQ(pair->heldB(), 10);
    // Backwards walk: again one decode a step.
    ASSERT_EQ(pair->load(10, 5), 0);
    EXPECT_EQ(frames.decodes, 6);
}

TEST_F(FramePairTest, ForgetDecodesBoth) {
    pair = std::make_unique<FramePair>(reader, a, b);
    ASSERT_EQ(pair->load(0, 5), 0);
    ASSERT_EQ(pair->load(0, 5, true), 0);
    EXPECT_EQ(frames.decoded, (std::vector<int32_t>{0, 5, 0, 5}));
    ASSERT_EQ(pair->load(3, 3), 0); // one decode, then a copy
    EXPECT_EQ(frames.decoded.back(), 3);
    EXPECT_EQ(frames.decodes, 5);
    EXPECT_EQ(pair->heldA(), 3);
    EXPECT_EQ(pair->heldB(), 3);
}

TEST_F(FramePairTest, FailuresKeepWhatWasHeld) {
    pair = std::make_unique<FramePair>(reader, a, b);
    ASSERT_EQ(pair->load(0, 5), 0);
    frames.failing = 10;
    EXPECT_EQ(pair->load(5, 10), kFrameFetch);
    EXPECT_EQ(pair->heldA(), 5); // the copy into A succeeded
    EXPECT_EQ(pair->heldB(), 5);
    frames.wrongSize = 20;
    EXPECT_EQ(pair->load(20, 5), kFrameSize);
    EXPECT_EQ(pair->heldA(), 5);
    frames.failing = -100;
    ASSERT_EQ(pair->load(5, 10), 0);
    EXPECT_EQ(pair->heldB(), 10);

    // Buffers the image library no longer knows give -611.
    ImBufHandle deadA = -1, deadB = -1;
    ASSERT_EQ(ImBufAlloc(24, 24, 8, &deadA), IM_OK);
    ASSERT_EQ(ImBufAlloc(24, 24, 8, &deadB), IM_OK);
    ImBufFree(deadA);
    ImBufFree(deadB);
    FramePair dead(reader, deadA, deadB);
    EXPECT_EQ(dead.load(1, 2), kFrameStore);
    EXPECT_EQ(dead.heldA(), -1);
}
