#include "editor/anchors/AnchorTable.h"
#include "editor/anchors/AnchorMemory.h"
#include "editor/anchors/AnchorTexts.h"
#include "platform/prompter/Prompter.h"

#include <gtest/gtest.h>

using namespace qxm::anchors;

namespace {

std::vector<int32_t> frames(const AnchorRecord& r) {
    std::vector<int32_t> out;
    for (const auto& e : r.Entries)
        out.push_back(e.Frame);
    return out;
}

// A table with one anchor whose key frames are at the given frames (first is the start).
AnchorTable tableWithFrames(std::initializer_list<int32_t> fs) {
    AnchorTable t;
    EXPECT_EQ(t.Append("A1", "First"), EditResult::Ok);
    std::vector<FrameEntry> entries;
    for (int32_t f : fs)
        entries.push_back({f, f, f, f + 10, f + 10});
    t.at(0).Entries = entries;
    t.at(0).StartFrame = entries.front().Frame;
    t.at(0).EndFrame = entries.back().Frame;
    t.AnchorDataSaved = true;
    return t;
}

} // namespace

TEST(AnchorTable, AppendMakesAnIncompleteAnchorWithTwoZeroEntries) {
    AnchorTable t;
    EXPECT_TRUE(t.AnchorDataSaved);
    EXPECT_EQ(t.Append("A1", "One"), EditResult::Ok);
    EXPECT_EQ(t.Append("A2", "Two"), EditResult::Ok);
    ASSERT_EQ(t.size(), 2u);
    const AnchorRecord& r = t[1];
    EXPECT_EQ(r.ID, "A2");
    EXPECT_EQ(r.Name, "Two");
    EXPECT_EQ(r.StartFrame, -1);
    EXPECT_EQ(r.EndFrame, -1);
    EXPECT_EQ(r.EntryCount(), 2u);
    EXPECT_EQ(r.Entries[0], FrameEntry{});
    EXPECT_EQ(r.Entries[1], FrameEntry{});
    EXPECT_FALSE(r.complete());
    EXPECT_EQ(t.CurrentAnchor, 1);
    EXPECT_EQ(t.AnchorsCreated, 2);
    EXPECT_FALSE(t.AnchorDataSaved);
}

TEST(AnchorTable, AppendRefusesTheThousandAndFirstAnchorAndBrokenTexts) {
    AnchorTable t;
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(t.Append("I" + std::to_string(i), "N"), EditResult::Ok) << i;
    EXPECT_EQ(t.Append("X", "N"), EditResult::Full);
    EXPECT_EQ(t.size(), 1000u);

    AnchorTable u;
    EXPECT_EQ(u.Append("", "N"), EditResult::Invalid);
    EXPECT_EQ(u.Append("A", ""), EditResult::Invalid);
    EXPECT_EQ(u.Append("A:B", "N"), EditResult::Invalid);
    EXPECT_EQ(u.Append("A", "a name"), EditResult::Invalid);
    EXPECT_EQ(u.Append("A", "N"), EditResult::Ok);
    EXPECT_EQ(u.Append("A", "Other"), EditResult::Invalid); // IDs are unique
    EXPECT_EQ(u.Append("a", "Other"), EditResult::Ok);      // ... and compared with case
    EXPECT_EQ(u.size(), 2u);
}

TEST(AnchorTable, ClearResetsEverything) {
    AnchorTable t;
    t.XScale = 2.0;
    t.YScale = 3.0;
    t.Append("A", "N");
    t.Clear();
    EXPECT_EQ(t.size(), 0u);
    EXPECT_EQ(t.CurrentAnchor, -1);
    EXPECT_TRUE(t.AnchorDataSaved);
    EXPECT_EQ(t.XScale, 0.0);
    EXPECT_EQ(t.YScale, 0.0);
}

TEST(AnchorTable, RemoveAndMoveKeepOrderAndFollowTheCurrentAnchor) {
    AnchorTable t;
    for (const char* id : {"A", "B", "C", "D"})
        t.Append(id, "N");
    t.CurrentAnchor = 2; // C
    t.AnchorDataSaved = true;
    EXPECT_EQ(t.Remove(1), EditResult::Ok); // B
    EXPECT_FALSE(t.AnchorDataSaved);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].ID + t[1].ID + t[2].ID, "ACD");
    EXPECT_EQ(t.CurrentAnchor, 1);
    EXPECT_EQ(t.Remove(1), EditResult::Ok); // the current one
    EXPECT_EQ(t.CurrentAnchor, -1);
    EXPECT_EQ(t.Remove(5), EditResult::BadIndex);

    AnchorTable m;
    for (const char* id : {"A", "B", "C"})
        m.Append(id, "N");
    m.CurrentAnchor = 0;
    m.AnchorDataSaved = true;
    EXPECT_FALSE(m.Move(0, Direction::Up));
    EXPECT_FALSE(m.Move(2, Direction::Down));
    EXPECT_FALSE(m.Move(9, Direction::Down));
    EXPECT_TRUE(m.AnchorDataSaved);
    EXPECT_TRUE(m.Move(0, Direction::Down));
    EXPECT_EQ(m[0].ID + m[1].ID + m[2].ID, "BAC");
    EXPECT_EQ(m.CurrentAnchor, 1);
    EXPECT_FALSE(m.AnchorDataSaved);
    EXPECT_TRUE(m.Move(2, Direction::Up));
    EXPECT_EQ(m[0].ID + m[1].ID + m[2].ID, "BCA");
    EXPECT_EQ(m.CurrentAnchor, 2);
}

TEST(AnchorTable, InsertKeyFrameReplacesOrInsertsInOrder) {
    AnchorTable t = tableWithFrames({10, 20, 30});
    const Rect r{1, 2, 3, 4};

    // An existing frame only changes its rectangle.
    EXPECT_EQ(t.InsertKeyFrame(0, 20, r), EditResult::Ok);
    EXPECT_EQ(frames(t[0]), (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(t[0].Entries[1].rect(), r);
    EXPECT_FALSE(t.AnchorDataSaved);

    // Between start and end: neither moves.
    t.InsertKeyFrame(0, 25, r);
    EXPECT_EQ(frames(t[0]), (std::vector<int32_t>{10, 20, 25, 30}));
    EXPECT_EQ(t[0].StartFrame, 10);
    EXPECT_EQ(t[0].EndFrame, 30);
    EXPECT_EQ(t[0].Entries[2].rect(), r);

    // Before the start and after the end.
    t.InsertKeyFrame(0, 5, r);
    EXPECT_EQ(t[0].StartFrame, 5);
    t.InsertKeyFrame(0, 40, r);
    EXPECT_EQ(t[0].EndFrame, 40);
    EXPECT_EQ(frames(t[0]), (std::vector<int32_t>{5, 10, 20, 25, 30, 40}));
    EXPECT_EQ(t.InsertKeyFrame(3, 1, r), EditResult::BadIndex);
}

TEST(AnchorTable, InsertKeyFrameComparesFramesAsUnsigned) {
    // An unset StartFrame (-1) is greater than every frame, so the first key frame takes it.
    AnchorTable t;
    t.Append("A", "N");
    t.at(0).Entries.clear();
    t.InsertKeyFrame(0, 7, {1, 1, 2, 2});
    EXPECT_EQ(t[0].StartFrame, 7);
    EXPECT_EQ(t[0].EndFrame, -1);
    t.InsertKeyFrame(0, 3, {1, 1, 2, 2});
    EXPECT_EQ(t[0].StartFrame, 3);
    EXPECT_EQ(frames(t[0]), (std::vector<int32_t>{3, 7}));
}

TEST(AnchorTable, RemoveKeyFrameFollowsFirstAndLastEntries) {
    AnchorTable t = tableWithFrames({10, 20, 30});
    EXPECT_EQ(t.RemoveKeyFrame(0, 0), EditResult::Ok);
    EXPECT_EQ(t[0].StartFrame, 20);
    EXPECT_EQ(frames(t[0]), (std::vector<int32_t>{20, 30}));
    t.RemoveKeyFrame(0, 1);
    EXPECT_EQ(t[0].StartFrame, 20);
    EXPECT_EQ(t[0].EndFrame, 20);
    t.RemoveKeyFrame(0, 0);
    EXPECT_EQ(t[0].StartFrame, -1);
    EXPECT_EQ(t[0].EndFrame, -1);
    EXPECT_EQ(t.RemoveKeyFrame(0, 0), EditResult::BadIndex);
}

TEST(AnchorTable, FindByIdIsExact) {
    AnchorTable t;
    t.Append("Car", "N");
    t.Append("car", "N");
    EXPECT_EQ(t.FindByID("car"), 1);
    EXPECT_EQ(t.FindByID("Car"), 0);
    EXPECT_EQ(t.FindByID("CAR"), -1);
    EXPECT_EQ(t.FindByID("Ca"), -1);
}

TEST(AnchorTable, DropIncompleteKeepsCompleteAnchorsWhereverTheIncompleteOnesStand) {
    AnchorTable t;
    for (const char* id : {"A", "B", "C", "D"})
        t.Append(id, "N");
    for (std::size_t i : {0u, 2u, 3u})
        t.at(i).StartFrame = t.at(i).EndFrame = 0;
    t.at(3).EndFrame = -1; // D incomplete, and B
    t.CurrentAnchor = 2;
    EXPECT_EQ(t.CompleteCount(), 2u);
    t.DropIncomplete();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].ID + t[1].ID, "AC");
    EXPECT_EQ(t.CurrentAnchor, 1);
}

TEST(AnchorTable, ConversionsTruncateTowardZero) {
    AnchorTable t;
    t.XScale = 2.0;
    t.YScale = 0.5;
    EXPECT_EQ(t.ToMovie({7, 7, 9, 9}), (Rect{14, 3, 18, 4}));
    EXPECT_EQ(t.ToDisplay({15, 15, 3, 3}), (Rect{7, 30, 1, 6}));
    t.XScale = 3.0;
    EXPECT_EQ(t.ToDisplay({-7, 0, 7, 0}).Left, -2); // toward zero, not down
    EXPECT_EQ(t.ToDisplay({-7, 0, 7, 0}).Right, 2);
    t.XScale = 1.5;
    EXPECT_EQ(t.ToMovie({7, 0, 0, 0}).Left, 10);
    // Round trip can lose a pixel and nothing compensates.
    EXPECT_EQ(t.ToDisplay(t.ToMovie({7, 0, 0, 0})).Left, 6);

    t.XScale = t.YScale = 1.0;
    EXPECT_EQ(t.ToMovie({3, 4, 5, 6}), (Rect{3, 4, 5, 6}));
    EXPECT_EQ(t.ToDisplay({3, 4, 5, 6}), (Rect{3, 4, 5, 6}));
}

TEST(AnchorTable, ConversionsStayDefinedAtTheEdges) {
    AnchorTable t; // no movie: scales 0.0, nothing is converted (and nothing divides by zero)
    EXPECT_EQ(t.ToDisplay({5, 6, 7, 8}), (Rect{5, 6, 7, 8}));
    EXPECT_EQ(t.ToMovie({5, 6, 7, 8}), (Rect{5, 6, 7, 8}));
    t.XScale = t.YScale = 0.001;
    const Rect big = t.ToDisplay({INT32_MAX, INT32_MIN, 5, -5});
    EXPECT_EQ(big.Left, INT32_MAX);
    EXPECT_EQ(big.Top, INT32_MIN);
    EXPECT_EQ(big.Right, 5000);
    EXPECT_EQ(big.Bottom, -5000);
}

TEST(AnchorTable, ScalesFromMovieAndPictureSizes) {
    AnchorTable t;
    t.SetScales(640, 480, 320, 240);
    EXPECT_EQ(t.XScale, 2.0);
    EXPECT_EQ(t.YScale, 2.0);
    t.SetScales(352, 288, 704, 144);
    EXPECT_EQ(t.XScale, 0.5);
    EXPECT_EQ(t.YScale, 2.0);
    t.SetScales(640, 480, 0, 0); // no picture window: coordinates pass through
    EXPECT_EQ(t.XScale, 1.0);
    EXPECT_EQ(t.YScale, 1.0);
    EXPECT_EQ(t.ToMovie({7, 8, 9, 10}), (Rect{7, 8, 9, 10}));
}

TEST(AnchorTable, NormalizedPutsTheSmallerCoordinateFirst) {
    EXPECT_EQ(Normalized({10, 20, 1, 2}), (Rect{1, 2, 10, 20}));
    EXPECT_EQ(Normalized({1, 20, 10, 2}), (Rect{1, 2, 10, 20}));
}

TEST(AnchorTable, OutOfMemoryShowsTheMessageAndChangesNothing) {
    qxm::ScriptedPrompter prompter;
    AnchorTable t = tableWithFrames({10, 20});
    const std::vector<AnchorRecord> before = t.records();
    {
        ScopedAllocFailure fail;
        EXPECT_EQ(t.Append("B", "N"), EditResult::NoMemory);
        EXPECT_EQ(t.InsertKeyFrame(0, 15, {1, 1, 1, 1}), EditResult::NoMemory);
        EXPECT_EQ(t.InsertKeyFrame(0, 10, {1, 1, 1, 1}), EditResult::NoMemory);
        EXPECT_EQ(t.ReplaceEntries(0, {FrameEntry{}}), EditResult::NoMemory);
        std::vector<AnchorRecord> backup;
        EXPECT_FALSE(t.Backup(backup));
        EXPECT_TRUE(backup.empty());
    }
    {
        ScopedAllocFailure fail(1); // the entries of the new record, not the record itself
        EXPECT_EQ(t.Append("B", "N"), EditResult::NoMemory);
        EXPECT_EQ(fail.attempts(), 2);
    }
    EXPECT_EQ(t.records(), before);
    EXPECT_EQ(t.CurrentAnchor, 0);
    EXPECT_EQ(t.AnchorsCreated, 1);
    EXPECT_TRUE(t.AnchorDataSaved);
    ASSERT_EQ(prompter.prompts.size(), 6u);
    for (const auto& p : prompter.prompts) {
        EXPECT_EQ(p.text, "No Memory Available.");
        EXPECT_EQ(p.caption, "Movie Marquill");
        EXPECT_EQ(p.buttons, qxm::Buttons::Ok);
    }
    // Once memory is back the same operations work.
    EXPECT_EQ(t.ReplaceEntries(0, {FrameEntry{5, 1, 1, 2, 2}}), EditResult::Ok);
    EXPECT_EQ(t[0].EntryCount(), 1u);
    EXPECT_EQ(t[0].StartFrame, 10); // left to the caller
    EXPECT_EQ(t.Append("B", "N"), EditResult::Ok);
    std::vector<AnchorRecord> backup;
    EXPECT_TRUE(t.Backup(backup));
    EXPECT_EQ(backup, t.records());
}
