#include "player_control/anchors/DefAnchor.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "AnchorTestUtil.h"

using namespace qxm;
using qxm::testing_util::loadText;

namespace {

const DefAnchorRecord& rec(const CDefAnchor& s, int i) {
    return *s.Record(s.At(i));
}

// A file as the editor writes it: the MaxObject line, two sections, CRLF line ends.
const char* const kEditorFile = "MaxObject=2\r\n"
                                "[car:Red car:0-30:3]\r\n"
                                "0:10,20,110,70;\r\n"
                                "15:20,20,120,70;\r\n"
                                "30:30,20,130,70;\r\n"
                                "\r\n"
                                "[dog:A dog:5-9:2]\r\n"
                                "5:0,0,8,8;\r\n"
                                "9:4,4,12,12;\r\n";

TEST(DefAnchorRead, EditorFileGivesRecordsInFileOrder) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, kEditorFile), 0);
    ASSERT_EQ(s.Count(), 2);
    EXPECT_EQ(s.ID(0), "car");
    EXPECT_EQ(s.Name(0), "Red car");
    EXPECT_EQ(s.ID(1), "dog");
    EXPECT_EQ(s.Name(1), "A dog");
    const auto& car = rec(s, 0);
    EXPECT_EQ(car.startFrame, 0);
    EXPECT_EQ(car.endFrame, 30);
    EXPECT_EQ(car.capacity, 3);
    ASSERT_EQ(car.entries.size(), 3u);
    EXPECT_EQ(car.entries[1].frame, 15);
    EXPECT_EQ(car.entries[1].rect, (AnchorRect{20, 20, 120, 70}));
    EXPECT_EQ(car.lastFrame, 30);
    std::int32_t a = -7, b = -7;
    ASSERT_TRUE(s.Range(s.At(1), a, b));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 9);
}

TEST(DefAnchorRead, BlankLinesAndTextBeforeTheFirstHeaderAreSkipped) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, "garbage line\nmaxobject=1\n12:bad\n \t \n"
                          "[a:b:0-5:1]\n\t\n   \n0:1,2,3,4;\n"),
              0);
    ASSERT_EQ(s.Count(), 1);
    EXPECT_EQ(rec(s, 0).entries.size(), 1u);
}

TEST(DefAnchorRead, MaxObjectIsSkippedOnlyCaseSensitiveAtTheFirstColumn) {
    CDefAnchor s;
    EXPECT_EQ(loadText(s, "[a:b:0-5:2]\nMaxObject=99\n0:1,2,3,4;\n"), 0);
    EXPECT_EQ(s.Count(), 1);
    EXPECT_EQ(loadText(s, "[a:b:0-5:2]\nmaxobject=1\n"), ANCHOR_ERR_FORMAT);
    EXPECT_EQ(loadText(s, "[a:b:0-5:2]\n MaxObject=1\n"), ANCHOR_ERR_FORMAT);
}

TEST(DefAnchorRead, RepeatedFrameKeepsTheFirstRectangle) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, "[a:b:0-20:3]\n10:1,1,5,5;\n10:9,9,9,9;\n12:2,2,6,6;\n"), 0);
    const auto& r = rec(s, 0);
    ASSERT_EQ(r.entries.size(), 2u);
    EXPECT_EQ(r.entries[0].rect, (AnchorRect{1, 1, 5, 5}));
    EXPECT_EQ(r.entries[1].frame, 12);
}

TEST(DefAnchorRead, CapacityIsCheckedBeforeTheRepeatedFrame) {
    CDefAnchor s;
    EXPECT_EQ(loadText(s, "[a:b:0-20:1]\n10:1,1,5,5;\n10:1,1,5,5;\n"), ANCHOR_ERR_FORMAT);
}

TEST(DefAnchorRead, ViolationsEmptyTheWholeList) {
    const std::string first = "[ok:fine:0-9:1]\n0:0,0,1,1;\n";
    const std::vector<std::string> bad = {
        "[a:b:0-20:3]\n10:0,0,1,1;\n9:0,0,1,1;\n",                        // descending
        "[a:b:0-20:3]\n1:0,0,1,1;\n2:0,0,1,1;\n3:0,0,1,1;\n4:0,0,1,1;\n", // beyond the count
        "[a:b:5-20:3]\n4:0,0,1,1;\n",                                     // before the range
        "[a:b:5-20:3]\n21:0,0,1,1;\n",                                    // after the range
        "[a:b:0 20:3]\n",                                                 // no dash in the range
        "[a:b:0-20]\n",                                                   // only two colons
        "[:b:0-20:3]\n",                                                  // empty ID
        "[a:b:20-10:3]\n",                                                // end before start
        "[a:b:0-10:0]\n",                                                 // count 0
        "[a:b:0-10:]\n",                                                  // count without digits
        "[a:b:0-10:1]\n0,1,2,3,4;\n",                                     // first field not ':'
        "[a:b:0-10:1]\n0:1,2,3;\n",                                       // four numbers only
        "[a:b:0-10:1]\n0:1;2,3,4;\n",                                     // ';' too early
        "[a:b:0-10:1]\n0:1,2:3,4;\n",                                     // ':' in place of ','
        "[a:b:0-10:1]\nrubbish\n",                                        // not a frame line
    };
    for (const auto& text : bad) {
        SCOPED_TRACE(text);
        CDefAnchor s;
        EXPECT_EQ(loadText(s, first + text), ANCHOR_ERR_FORMAT);
        EXPECT_EQ(s.Count(), 0);
        EXPECT_EQ(s.ID(0), "");
    }
}

TEST(DefAnchorRead, LooseButWellFormedNumbers) {
    CDefAnchor s;
    // Extra fields after the count, blanks before numbers, a fifth value ending at the line end.
    ASSERT_EQ(loadText(s, "[a:b: 2-+8:2:more:text]\n 3: -1,\t2, 3 , 4\n5:1,2,3,4,99\n"), 0);
    const auto& r = rec(s, 0);
    EXPECT_EQ(r.startFrame, 2);
    EXPECT_EQ(r.endFrame, 8);
    ASSERT_EQ(r.entries.size(), 2u);
    EXPECT_EQ(r.entries[0].rect, (AnchorRect{-1, 2, 3, 4}));
    EXPECT_EQ(r.entries[1].rect, (AnchorRect{1, 2, 3, 4}));
}

TEST(DefAnchorRead, LongIdAndNameAreCut) {
    CDefAnchor s;
    const std::string name(45, 'n');
    ASSERT_EQ(loadText(s, "[0123456789AB:" + name + ":0-1:1]\n"), 0);
    EXPECT_EQ(s.ID(0), "012345678");
    EXPECT_EQ(s.Name(0), std::string(39, 'n'));
}

TEST(DefAnchorRead, LinesAreSplitAfter79Characters) {
    CDefAnchor s;
    // 79 characters exactly: one line, the following LF ends an empty line.
    std::string line79 = "1:1,2,3,4;";
    line79 += std::string(79 - line79.size(), ';');
    ASSERT_EQ(line79.size(), 79u);
    EXPECT_EQ(loadText(s, "[a:b:0-9:2]\n" + line79 + "\n"), 0);
    EXPECT_EQ(rec(s, 0).entries.size(), 1u);
    // 81 characters: a 79-character line and a two-character line that is no frame line.
    EXPECT_EQ(loadText(s, "[a:b:0-9:2]\n" + line79 + "12\n"), ANCHOR_ERR_FORMAT);
    // The rest of a split line that happens to be well formed is a frame line of its own.
    EXPECT_EQ(loadText(s, "[a:b:0-9:3]\n" + line79 + "2:5,6,7,8;\n"), 0);
    ASSERT_EQ(rec(s, 0).entries.size(), 2u);
    EXPECT_EQ(rec(s, 0).entries[1].rect, (AnchorRect{5, 6, 7, 8}));
}

TEST(DefAnchorRead, CarriageReturnsAreDroppedAndTheLastLineNeedsNoEnd) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, "[a:b:0-9:2]\r\r\n0:1,\r2,3,4;\r\n9:1,2,3,4"), 0);
    ASSERT_EQ(rec(s, 0).entries.size(), 2u);
    EXPECT_EQ(rec(s, 0).entries[0].rect, (AnchorRect{1, 2, 3, 4}));
}

TEST(DefAnchorRead, ZeroByteEndsTheLineText) {
    CDefAnchor s;
    std::string text = "[a:b:0-9:2]\n0:1,2,3,4;";
    text += '\0';
    text += "garbage\n";
    text += '\0';
    text += "ignored too\n";
    ASSERT_EQ(loadText(s, text), 0);
    EXPECT_EQ(rec(s, 0).entries.size(), 1u);
}

TEST(DefAnchorRead, EmptyInputGivesNoAnchors) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, kEditorFile), 0);
    EXPECT_EQ(loadText(s, ""), 0);
    EXPECT_EQ(s.Count(), 0);
}

TEST(DefAnchorMemory, FailedAllocationEmptiesTheList) {
    for (int failAt = 0; failAt < 2; ++failAt) { // one allocation per record
        SCOPED_TRACE(failAt);
        CDefAnchor s;
        int calls = 0;
        s.SetAllocationHook([&](std::size_t) { return calls++ != failAt; });
        EXPECT_EQ(loadText(s, kEditorFile), ANCHOR_ERR_MEMORY);
        EXPECT_EQ(s.Count(), 0);
    }
}

TEST(DefAnchorMemory, FailureWhileEntriesGrow) {
    std::string text = "[a:b:0-1000:1000]\n";
    for (int f = 0; f < 100; ++f)
        text += std::to_string(f) + ":0,0,1,1;\n";
    CDefAnchor s;
    int calls = 0;
    s.SetAllocationHook([&](std::size_t) { return ++calls < 3; });
    EXPECT_EQ(loadText(s, text), ANCHOR_ERR_MEMORY);
    EXPECT_EQ(s.Count(), 0);
    s.SetAllocationHook({});
    EXPECT_EQ(loadText(s, text), 0);
    EXPECT_EQ(rec(s, 0).entries.size(), 100u);
}

TEST(DefAnchorMemory, HugeCountCostsOnlyWhatTheFileHolds) {
    CDefAnchor s;
    std::size_t largest = 0;
    s.SetAllocationHook([&](std::size_t bytes) {
        largest = std::max(largest, bytes);
        return true;
    });
    ASSERT_EQ(loadText(s, "[a:b:0-2147483647:2147483647]\n0:0,0,1,1;\n2147483647:0,0,1,1;\n"), 0);
    EXPECT_EQ(rec(s, 0).capacity, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(rec(s, 0).entries.size(), 2u);
    EXPECT_LT(largest, 4096u);
}

TEST(DefAnchorLookup, FindIsByteExactAndTakesTheFirst) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, "[Car:one:0-1:1]\n[car:two:0-1:1]\n[car:three:0-1:1]\n"), 0);
    EXPECT_EQ(s.Find("car").index, 1);
    EXPECT_EQ(s.Find("Car").index, 0);
    EXPECT_TRUE(s.Find("CAR").isNone());
    EXPECT_TRUE(s.Find("").isNone());
    EXPECT_TRUE(s.Find("car ").isNone());
}

TEST(DefAnchorLookup, IndexOutsideTheListGivesEmptyText) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, kEditorFile), 0);
    EXPECT_EQ(s.ID(-1), "");
    EXPECT_EQ(s.ID(2), "");
    EXPECT_EQ(s.Name(2), "");
    EXPECT_TRUE(s.At(2).isNone());
    EXPECT_TRUE(s.At(-1).isNone());
}

TEST(DefAnchorLookup, ReferencesDieWithTheListTheyCameFrom) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, kEditorFile), 0);
    const AnchorRef car = s.Find("car");
    ASSERT_NE(s.Record(car), nullptr);
    ASSERT_EQ(loadText(s, kEditorFile), 0);
    EXPECT_FALSE(s.IsCurrent(car));
    EXPECT_EQ(s.Record(car), nullptr);
    std::int32_t a = 0, b = 0;
    EXPECT_FALSE(s.Range(car, a, b));
    AnchorRect r{1, 1, 1, 1};
    EXPECT_FALSE(s.FindAnchorAt(car, 0, {}, false, r));
    EXPECT_EQ(r, AnchorRect{});
    const AnchorRef again = s.Find("car");
    EXPECT_TRUE(s.IsCurrent(again));
    s.Clear();
    EXPECT_FALSE(s.IsCurrent(again));
    EXPECT_EQ(s.Count(), 0);
}

class DefAnchorFrames : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(loadText(s, "[lin:x:0-30:2]\n10:0,0,10,10;\n20:100,0,110,10;\n"
                              "[thirds:x:0-30:2]\n10:0,0,0,0;\n13:10,-10,10,-30;\n"),
                  0);
    }
    AnchorRect at(const char* id, std::int32_t f) {
        AnchorRect r{-1, -1, -1, -1};
        found = s.FindAnchorAt(s.Find(id), f, {}, false, r);
        return r;
    }
    CDefAnchor s;
    bool found = false;
};

TEST_F(DefAnchorFrames, InterpolatesBetweenEntries) {
    EXPECT_EQ(at("lin", 15), (AnchorRect{50, 0, 60, 10}));
    EXPECT_TRUE(found);
    EXPECT_EQ(at("lin", 10), (AnchorRect{0, 0, 10, 10}));
    EXPECT_EQ(at("lin", 20), (AnchorRect{100, 0, 110, 10}));
    EXPECT_EQ(at("thirds", 11).left, 3);
    EXPECT_EQ(at("thirds", 12).left, 6);
}

TEST_F(DefAnchorFrames, DivisionTruncatesTowardZero) {
    // -10 * 1 / 3 is -3 (not -4), -30 * 2 / 3 is -20 exactly.
    EXPECT_EQ(at("thirds", 11).top, -3);
    EXPECT_EQ(at("thirds", 12).top, -6);
    EXPECT_EQ(at("thirds", 11).bottom, -10);
}

TEST_F(DefAnchorFrames, NoRectangleOutsideTheEntries) {
    for (std::int32_t f : {9, 21, 0, 30, -1, 31}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(at("lin", f), AnchorRect{});
        EXPECT_FALSE(found);
    }
}

TEST_F(DefAnchorFrames, HitTestEdges) {
    AnchorRect r;
    const AnchorRef lin = s.Find("lin");
    EXPECT_TRUE(s.FindAnchorAt(lin, 10, {0, 0}, true, r));
    EXPECT_TRUE(s.FindAnchorAt(lin, 10, {9, 9}, true, r));
    EXPECT_FALSE(s.FindAnchorAt(lin, 10, {10, 5}, true, r));
    EXPECT_EQ(r, AnchorRect{});
    EXPECT_FALSE(s.FindAnchorAt(lin, 10, {5, 10}, true, r));
    EXPECT_FALSE(s.FindAnchorAt(lin, 10, {-1, 5}, true, r));
    EXPECT_TRUE(s.FindAnchorAt(lin, 10, {10, 5}, false, r));
    EXPECT_EQ(r, (AnchorRect{0, 0, 10, 10}));
}

TEST(DefAnchorHitTest, FirstInFileOrderAndFilter) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, "[back:x:0-9:1]\n5:0,0,100,100;\n[front:x:0-9:1]\n5:10,10,20,20;\n"
                          "[front:y:0-9:1]\n5:50,50,60,60;\n"),
              0);
    EXPECT_EQ(s.HitTestAnchors(5, {15, 15}).index, 0);
    EXPECT_EQ(s.HitTestAnchors(5, {15, 15}, "front").index, 1);
    EXPECT_EQ(s.HitTestAnchors(5, {55, 55}, "front").index, 2);
    EXPECT_TRUE(s.HitTestAnchors(5, {5, 5}, "front").isNone());
    EXPECT_TRUE(s.HitTestAnchors(5, {15, 15}, "nobody").isNone());
    EXPECT_TRUE(s.HitTestAnchors(4, {15, 15}).isNone());
    EXPECT_TRUE(s.HitTestAnchors(5, {100, 15}).isNone());
}

TEST(DefAnchorOverflow, InterpolationWrapsLike32BitArithmetic) {
    CDefAnchor s;
    ASSERT_EQ(loadText(s, "[big:x:0-2147483647:2]\n0:-2147483648,0,2147483647,7;\n"
                          "2147483647:2147483647,2147483647,-2147483648,7;\n"),
              0);
    const AnchorRef big = s.Find("big");
    for (std::int32_t f : {1, 3, 1000, 65536, 1 << 30, 2147483646}) {
        SCOPED_TRACE(f);
        AnchorRect r;
        ASSERT_TRUE(s.FindAnchorAt(big, f, {}, false, r));
        // The same formula in unsigned modular arithmetic, the way a 32-bit machine computes it.
        auto ref = [&](std::uint32_t vb, std::uint32_t vi) {
            const auto product =
                static_cast<std::int32_t>((vi - vb) * static_cast<std::uint32_t>(f));
            return static_cast<std::int32_t>(vb + static_cast<std::uint32_t>(product / 2147483647));
        };
        EXPECT_EQ(r.left, ref(0x80000000u, 0x7FFFFFFFu));
        EXPECT_EQ(r.top, ref(0u, 0x7FFFFFFFu));
        EXPECT_EQ(r.right, ref(0x7FFFFFFFu, 0x80000000u));
        EXPECT_EQ(r.bottom, 7);
    }
    AnchorRect r;
    ASSERT_TRUE(s.FindAnchorAt(big, 2, {}, false, r));
    // (2147483647 - 0) * 2 wraps to -2; -2 / 2147483647 truncates to 0.
    EXPECT_EQ(r.top, 0);
}

} // namespace

namespace {

// Whatever the reader accepts keeps the record invariants the lookups rely on.
TEST(DefAnchorFuzz, MutatedFilesKeepTheInvariants) {
    const std::string seed = std::string(kEditorFile) + "[x\xE6\x98\xA0yz0123:n:0-100:4]\n"
                                                        "1:-5,-5,5,5;\n50:0,0,2147483647,9;\n";
    std::mt19937 rng(1208);
    const char alphabet[] = "[]:,;-+0123456789 \t\r\nMaxObject\xE6\x98";
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text = seed;
        for (int e = 1 + static_cast<int>(rng() % 3); e > 0 && !text.empty(); --e) {
            const std::size_t at = rng() % text.size();
            const char c = alphabet[rng() % (sizeof alphabet - 1)];
            switch (rng() % 3) {
            case 0:
                text[at] = c;
                break;
            case 1:
                text.insert(at, 1, c);
                break;
            default:
                text.erase(at, 1 + rng() % 4);
                break;
            }
        }
        CDefAnchor s;
        const int r = loadText(s, text);
        if (r != 0) {
            ASSERT_EQ(r, ANCHOR_ERR_FORMAT);
            ASSERT_EQ(s.Count(), 0);
            continue;
        }
        ++accepted;
        for (int i = 0; i < s.Count(); ++i) {
            const DefAnchorRecord& a = rec(s, i);
            ASSERT_FALSE(a.id.empty());
            ASSERT_LE(a.id.size(), kAnchorIdMaxBytes);
            ASSERT_LE(a.name.size(), kAnchorNameMaxBytes);
            ASSERT_GE(a.startFrame, 0);
            ASSERT_GE(a.endFrame, a.startFrame);
            ASSERT_GE(a.capacity, 1);
            ASSERT_LE(a.entries.size(), static_cast<std::size_t>(a.capacity));
            for (std::size_t k = 0; k < a.entries.size(); ++k) {
                ASSERT_GE(a.entries[k].frame, a.startFrame);
                ASSERT_LE(a.entries[k].frame, a.endFrame);
                if (k) {
                    ASSERT_GT(a.entries[k].frame, a.entries[k - 1].frame);
                }
            }
            AnchorRect rect;
            for (std::int32_t f :
                 {a.startFrame, a.endFrame, a.startFrame + (a.endFrame - a.startFrame) / 2})
                s.FindAnchorAt(s.At(i), f, {0, 0}, false, rect);
        }
        s.HitTestAnchors(25, {1, 1});
    }
    EXPECT_GT(accepted, 200);
}

} // namespace
