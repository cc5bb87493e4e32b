#pragma once
// The player control's anchor store: the anchors of one movie, read from its anchor object file,
// with the lookups the control makes while the movie plays (rectangle at a frame, hit test).
//
// Records are never handed out for keeping. Callers hold an AnchorRef (index plus the store's
// generation); every Clear and LoadAnchors starts a new generation, so a reference taken before
// resolves to "none" afterwards instead of to a freed or different record.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qxm {

inline constexpr int ANCHOR_ERR_MEMORY = 2001;
inline constexpr int ANCHOR_ERR_FORMAT = 2002;

// Longest ID and name a record keeps, in bytes (longer ones from the file are cut).
inline constexpr std::size_t kAnchorIdMaxBytes = 9;
inline constexpr std::size_t kAnchorNameMaxBytes = 39;
// Longest line the reader stores; the characters after it form the next line.
inline constexpr std::size_t kAnchorLineMaxChars = 79;

struct AnchorPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Right and bottom are outside the rectangle.
struct AnchorRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool contains(AnchorPoint p) const {
        return left <= p.x && p.x < right && top <= p.y && p.y < bottom;
    }
    bool operator==(const AnchorRect&) const = default;
};

struct AnchorFrameEntry {
    std::int32_t frame = 0;
    AnchorRect rect;
};

struct DefAnchorRecord {
    std::string id;   // at most kAnchorIdMaxBytes
    std::string name; // at most kAnchorNameMaxBytes
    std::int32_t startFrame = 0;
    std::int32_t endFrame = 0;
    std::int32_t capacity = 0;             // entries allowed by the header's count
    std::int32_t lastFrame = -1;           // frame of the last entry, -1 while there is none
    std::vector<AnchorFrameEntry> entries; // strictly increasing frames, at most capacity
};

// The record's rectangle at a frame: inside its range, the entry at that frame or the rectangle
// interpolated between the entries around it (interpolateAnchorValue); none before the first
// entry or after the last. The arithmetic every lookup of the store uses.
bool anchorRectAt(const DefAnchorRecord& record, std::int32_t frame, AnchorRect& rect);

// Which rule a malformed anchor object file breaks.
enum class AnchorFormatFault {
    None,
    HeaderFields,      // a header line with fewer than three ':'
    EmptyId,           // a header line whose ID is empty
    RangeWithoutDash,  // a header line whose frame range has no '-'
    BadRange,          // start frame < 0 or end frame < start frame
    BadCount,          // entry count < 1
    FrameLineFields,   // a frame line not of the form FRAME:LEFT,TOP,RIGHT,BOTTOM
    TooManyFrames,     // more frame lines than the header's count
    FrameOutsideRange, // a frame outside the header's range
    FrameOutOfOrder,   // a frame smaller than the one before it
    Memory,            // memory ran out
};

// Where the last LoadAnchors/LoadAnchorsFrom stopped with a nonzero result.
struct AnchorLoadProblem {
    std::size_t line = 0; // 1-based line of the file; 0 when the last load succeeded
    AnchorFormatFault fault = AnchorFormatFault::None;
    std::string text; // the line as the reader saw it (at most kAnchorLineMaxChars)
};

// A reference to one record of one generation of a store; default-constructed it is "none".
struct AnchorRef {
    std::uint64_t generation = 0;
    int index = -1;
    bool isNone() const { return index < 0; }
    explicit operator bool() const { return !isNone(); }
    bool operator==(const AnchorRef&) const = default;
};

class CDefAnchor {
public:
    // Asked before each allocation the reader makes (bytes requested); false makes it fail as
    // if memory were exhausted. Tests inject failures through it.
    using AllocationHook = std::function<bool(std::size_t bytes)>;

    CDefAnchor() = default;
    CDefAnchor(const CDefAnchor&) = delete;
    CDefAnchor& operator=(const CDefAnchor&) = delete;

    // Replaces the list with the anchors of the file at path (a plain path or a file:// URL).
    // 0 on success and also when the file cannot be opened (no anchors then); ANCHOR_ERR_FORMAT
    // or ANCHOR_ERR_MEMORY with an empty list when the file is malformed or memory runs out.
    int LoadAnchors(const std::string& path);
    // The same reading rules applied to an already open source.
    int LoadAnchorsFrom(std::istream& in);

    void Clear();
    int Count() const { return static_cast<int>(records_.size()); }
    // The ID or name at an index in file order; empty outside 0..Count()-1.
    std::string ID(int index) const;
    std::string Name(int index) const;
    AnchorRef At(int index) const;

    // The first record whose ID equals id byte for byte, or none.
    AnchorRef Find(std::string_view id) const;
    // Start and end frame of a record; false (outputs untouched) for a stale or none reference.
    bool Range(AnchorRef ref, std::int32_t& start, std::int32_t& end) const;
    // The record's rectangle at a frame, interpolated between its entries. With hitTest, found
    // only when the point lies inside. rect is empty when not found.
    bool FindAnchorAt(AnchorRef ref, std::int32_t frame, AnchorPoint point, bool hitTest,
                      AnchorRect& rect) const;
    // The first record in file order whose rectangle at the frame contains the point; records
    // whose ID differs from a non-empty filterId are skipped.
    AnchorRef HitTestAnchors(std::int32_t frame, AnchorPoint point,
                             std::string_view filterId = {}) const;

    bool IsCurrent(AnchorRef ref) const;
    // The record behind a reference, or null. Use it at once: the pointer dies with the next
    // Clear or LoadAnchors; keep the AnchorRef instead.
    const DefAnchorRecord* Record(AnchorRef ref) const;
    std::uint64_t Generation() const { return generation_; }

    void SetAllocationHook(AllocationHook hook) { allocationHook_ = std::move(hook); }

    // Why the last load returned ANCHOR_ERR_FORMAT or ANCHOR_ERR_MEMORY, and on which line.
    const AnchorLoadProblem& LastProblem() const { return problem_; }

private:
    class Reader;
    bool mayAllocate(std::size_t bytes) const;
    int readAll(std::istream& in);
    int addHeader(std::string_view line);
    int addFrame(std::string_view line);
    int fail(AnchorFormatFault fault);

    std::vector<std::unique_ptr<DefAnchorRecord>> records_;
    std::uint64_t generation_ = 1;
    AllocationHook allocationHook_;
    AnchorLoadProblem problem_;
};

} // namespace qxm
