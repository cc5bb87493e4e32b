#include <gtest/gtest.h>

#include <random>

#include "CursorTestFiles.h"
#include "player_control/cursors/CursorFile.h"

using namespace qxm::cursors;
using namespace qxm::cursors::testfiles;

namespace {

const Buf kRed = solidCursor(4, 0xFF0000, 1, 2);
const Buf kBlue = solidCursor(4, 0x0000FF, 3, 0);

std::uint8_t red(const CursorImage& img) {
    return img.rgba[0];
}

TEST(AnimatedCursor, FramesPlayInOrderAtTheHeaderRate) {
    CursorData data;
    ASSERT_EQ(readCursor(riff({anih(2, 2, 6, 1), frameList({kRed, kBlue})}), data),
              CursorError::None);
    EXPECT_TRUE(data.animated);
    ASSERT_EQ(data.frames.size(), 2u);
    EXPECT_EQ(red(data.frames[0]), 255);
    EXPECT_EQ(red(data.frames[1]), 0);
    EXPECT_EQ(data.frames[0].hotspotY, 2);
    EXPECT_EQ(data.frames[1].hotspotX, 3);
    ASSERT_EQ(data.steps.size(), 2u);
    EXPECT_EQ(data.steps[1].frame, 1u);
    EXPECT_EQ(data.steps[1].jiffies, 6u);
    EXPECT_EQ(stepMilliseconds(data.steps[1]), 100u);
}

TEST(AnimatedCursor, RateAndSequenceChunks) {
    CursorData data;
    ASSERT_EQ(readAnimatedCursor(riff({anih(2, 3, 10, 3), chunk("rate", words({1, 2, 3})),
                                       chunk("seq ", words({1, 0, 1})), frameList({kRed, kBlue})}),
                                 data),
              CursorError::None);
    ASSERT_EQ(data.steps.size(), 3u);
    EXPECT_EQ(data.steps[0].frame, 1u);
    EXPECT_EQ(data.steps[1].frame, 0u);
    EXPECT_EQ(data.steps[2].frame, 1u);
    EXPECT_EQ(data.steps[0].jiffies, 1u);
    EXPECT_EQ(data.steps[2].jiffies, 3u);
    // More steps than frames without a sequence cycle through the frames; a short rate chunk
    // leaves the header rate for the rest.
    ASSERT_EQ(
        readAnimatedCursor(
            riff({anih(2, 5, 4, 1), chunk("rate", words({9})), frameList({kRed, kBlue})}), data),
        CursorError::None);
    ASSERT_EQ(data.steps.size(), 5u);
    EXPECT_EQ(data.steps[4].frame, 0u);
    EXPECT_EQ(data.steps[0].jiffies, 9u);
    EXPECT_EQ(data.steps[4].jiffies, 4u);
}

TEST(AnimatedCursor, OtherChunksAndOddSizesAreSkipped) {
    Buf info;
    tag(info, "INFO");
    append(info, chunk("INAM", {'a', 'b', 'c'}));
    CursorData data;
    ASSERT_EQ(readCursor(riff({chunk("LIST", info), chunk("junk", {1}), anih(1, 1, 0, 1),
                               frameList({kBlue})}),
                         data),
              CursorError::None);
    ASSERT_EQ(data.steps.size(), 1u);
    EXPECT_EQ(stepMilliseconds(data.steps[0]), 16u); // zero jiffies show for one
}

TEST(AnimatedCursor, MalformedForms) {
    struct Case {
        const char* what;
        Buf bytes;
        CursorError want;
    };
    Buf badSize = riff({anih(1, 1, 1, 1), frameList({kRed})});
    badSize[16] = 0xFF; // the anih chunk claims more than the form holds
    Buf badIcon = kRed;
    badIcon[2] = 7;
    const std::vector<Case> cases = {
        {"not ACON",
         [] {
             Buf b = riff({});
             b[8] = 'X';
             return b;
         }(),
         CursorError::Format},
        {"no header", riff({frameList({kRed})}), CursorError::Format},
        {"no frames", riff({anih(1, 1, 1, 1)}), CursorError::Format},
        {"short header", riff({chunk("anih", words({36, 1})), frameList({kRed})}),
         CursorError::Format},
        {"raw frames", riff({anih(1, 1, 1, 0), frameList({kRed})}), CursorError::Unsupported},
        {"sequence past the frames",
         riff({anih(1, 2, 1, 3), chunk("seq ", words({0, 1})), frameList({kRed})}),
         CursorError::Format},
        {"chunk past the end", badSize, CursorError::Format},
        {"broken frame", riff({anih(1, 1, 1, 1), frameList({badIcon})}), CursorError::Format},
        {"too many steps", riff({anih(1, 100000, 1, 1), frameList({kRed})}), CursorError::TooLarge},
        {"empty sequence", riff({anih(1, 1, 1, 3), chunk("seq ", {}), frameList({kRed})}),
         CursorError::Format},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CursorData data;
        EXPECT_EQ(readCursor(c.bytes, data), c.want);
        EXPECT_TRUE(data.frames.empty());
        EXPECT_TRUE(data.steps.empty());
    }
}

TEST(AnimatedCursor, DecodedFramesAreBoundedAcrossFrameLists) {
    // 256 x 256 frames decode to 256 KiB each: 200 of them stay below the limit, but three lists
    // of 200 reach 150 MiB together.
    const Buf big = solidCursor(kMaxCursorSize, 0x00FF00);
    const Buf list = frameList(std::vector<Buf>(200, big));
    CursorData data;
    EXPECT_EQ(readCursor(riff({anih(200, 1, 1, 1), list}), data), CursorError::None);
    EXPECT_EQ(data.frames.size(), 200u);
    EXPECT_EQ(readCursor(riff({anih(600, 1, 1, 1), list, list, list}), data),
              CursorError::TooLarge);
    EXPECT_TRUE(data.frames.empty());
}

// Whatever a reader accepts must be self-consistent.
void expectConsistent(const CursorData& d) {
    ASSERT_FALSE(d.frames.empty());
    ASSERT_FALSE(d.steps.empty());
    for (const CursorImage& f : d.frames) {
        ASSERT_GT(f.width, 0);
        ASSERT_GT(f.height, 0);
        ASSERT_LE(f.width, kMaxCursorSize);
        ASSERT_LE(f.height, kMaxCursorSize);
        ASSERT_GE(f.hotspotX, 0);
        ASSERT_LT(f.hotspotX, f.width);
        ASSERT_GE(f.hotspotY, 0);
        ASSERT_LT(f.hotspotY, f.height);
        if (!f.isPng()) {
            ASSERT_EQ(f.rgba.size(), static_cast<std::size_t>(f.width) * f.height * 4);
        }
    }
    for (const CursorStep& s : d.steps)
        ASSERT_LT(s.frame, d.frames.size());
}

TEST(CursorFuzz, MutatedFilesNeverBreakTheReaders) {
    Buf png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,  0, 0, 13, 'I', 'H', 'D',
               'R',  0,   0,   0,   16,   0,    0,    0,    16, 8, 6, 0,  0,   0};
    std::vector<std::uint32_t> pal(16, 0x123456);
    const Buf deep = directory(
        {{dib(
              5, 3, 4, pal, [](int x, int) { return static_cast<std::uint32_t>(x); },
              [](int x, int y) { return (x + y) & 1; }),
          2, 2},
         {dib(
             3, 3, 32, {}, [](int, int) { return 0x11223344u; }, [](int, int) { return false; })},
         {png, 1, 1}});
    const std::vector<Buf> seeds = {
        kRed, deep,
        riff({anih(2, 3, 5, 3), chunk("rate", words({1, 2, 3})), chunk("seq ", words({1, 0, 1})),
              frameList({kRed, deep})})};
    std::mt19937 rng(20261208);
    const std::uint32_t interesting[] = {0, 1, 2, 0x7F, 0x80, 0xFF};
    int accepted = 0;
    for (int round = 0; round < 6000; ++round) {
        Buf b = seeds[round % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !b.empty(); ++e) {
            const std::size_t at = rng() % b.size();
            switch (rng() % 4) {
            case 0:
                b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1:
                b[at] = static_cast<std::uint8_t>(interesting[rng() % 6]);
                break;
            case 2:
                b.resize(at);
                break;
            default:
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at),
                         static_cast<std::uint8_t>(rng()));
                break;
            }
        }
        CursorData data;
        if (readCursor(b, data) == CursorError::None) {
            ++accepted;
            expectConsistent(data);
        } else {
            ASSERT_TRUE(data.frames.empty());
        }
        std::vector<CursorImage> images;
        readCursorImages(b, images);
    }
    // The mutations must leave some files readable, or the loop tests only the first check.
    EXPECT_GT(accepted, 100);
}

} // namespace
