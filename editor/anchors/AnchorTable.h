#pragma once
// The anchors of the open movie: records, key frames, limits, and the conversion between
// display pixels (memory) and movie pixels (files).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qxm::anchors {

inline constexpr std::size_t kMaxObject = 1000; // anchors in one table / file
inline constexpr std::size_t kMaxIdBytes = 10;
inline constexpr std::size_t kMaxNameBytes = 40;

struct Rect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Smaller coordinate first, as a rectangle built from two mouse points is stored.
Rect Normalized(Rect r);

// One key frame.
struct FrameEntry {
    int32_t Frame = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    Rect rect() const { return {Left, Top, Right, Bottom}; }
    void setRect(const Rect& r) { Left = r.Left, Top = r.Top, Right = r.Right, Bottom = r.Bottom; }
    friend bool operator==(const FrameEntry&, const FrameEntry&) = default;
};

// One anchor. Entries[0] is the Starting Frame, the last entry the Ending Frame, every entry
// between them an Intermediate Frame.
struct AnchorRecord {
    std::string ID;   // 1 to kMaxIdBytes bytes
    std::string Name; // 1 to kMaxNameBytes bytes
    int32_t StartFrame = -1;
    int32_t EndFrame = -1;
    std::vector<FrameEntry> Entries;

    uint32_t EntryCount() const { return static_cast<uint32_t>(Entries.size()); }
    bool complete() const { return StartFrame != -1 && EndFrame != -1; }
    friend bool operator==(const AnchorRecord&, const AnchorRecord&) = default;
};

enum class Direction { Up, Down };

// Outcome of the operations that may grow memory or hit the anchor limit.
enum class EditResult {
    Ok,
    NoMemory, // "No Memory Available." was shown; nothing changed
    Full,     // the table already holds kMaxObject anchors; nothing changed
    BadIndex, // no anchor or entry at that index; nothing changed
    Invalid,  // the ID or Name breaks the character rules, or the ID is taken; nothing changed
};

// The ordered anchors of the open movie. Operations that fail for lack of memory show
// "No Memory Available." themselves and leave the table as it was; callers do not show it
// again.
class AnchorTable {
public:
    int CurrentAnchor = -1;      // anchor being edited, -1 for none
    int AnchorsCreated = 0;      // only used to propose default names
    bool AnchorDataSaved = true; // the table equals what was last saved or loaded
    double XScale = 0.0;         // movie width / picture width; 0.0 while no movie is open
    double YScale = 0.0;         // movie height / picture height

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    const AnchorRecord& operator[](std::size_t i) const { return records_[i]; }
    // Direct access for the editing code; it keeps the invariants itself and clears
    // AnchorDataSaved when it changes something.
    AnchorRecord& at(std::size_t i) { return records_.at(i); }
    const std::vector<AnchorRecord>& records() const { return records_; }

    // Releases every record; CurrentAnchor -1, AnchorDataSaved true, scales 0.0.
    void Clear();

    // Adds a new, incomplete anchor at the end (StartFrame = EndFrame = -1, two zeroed
    // entries); it becomes CurrentAnchor; AnchorsCreated +1; AnchorDataSaved false.
    // The ID and Name must pass CheckAnchorID/CheckAnchorName and the ID must be new.
    EditResult Append(std::string_view id, std::string_view name);

    // Removes the record; later records move up. CurrentAnchor follows the record it named
    // and becomes -1 when that record is removed.
    EditResult Remove(std::size_t index);

    // Exchanges the record with its neighbour above or below; false at either end.
    bool Move(std::size_t index, Direction direction);

    // Adds or replaces the key frame at frame f (frames compare as unsigned values, so an
    // unset StartFrame is always replaced), extending StartFrame or EndFrame.
    EditResult InsertKeyFrame(std::size_t anchor, int32_t frame, const Rect& rect);

    // Removes the entry; StartFrame and EndFrame follow the first and last entries again
    // (both -1 when no entry is left).
    EditResult RemoveKeyFrame(std::size_t anchor, std::size_t entry);

    // Replaces every key frame of the anchor by copies of the given ones (automatic setting);
    // StartFrame and EndFrame are left as they are.
    EditResult ReplaceEntries(std::size_t anchor, const std::vector<FrameEntry>& entries);

    // Replaces the whole list (loading, restoring a backup, building a table in code).
    // Records beyond kMaxObject are dropped. CurrentAnchor becomes -1.
    void Assign(std::vector<AnchorRecord> records);

    // Copies the records; false (after "No Memory Available.") when memory runs out.
    bool Backup(std::vector<AnchorRecord>& out) const;

    // Scale factors of an opened movie: movie size / size of the picture on screen, or 1.0
    // for both when the picture is unknown (pass 0 for its width or height).
    void SetScales(int movieWidth, int movieHeight, int pictureWidth, int pictureHeight);

    // Display pixels to movie pixels and back, each coordinate truncated toward zero. With
    // no movie open (a scale of 0.0) the rectangle passes through unchanged. Results outside
    // the 32-bit range saturate.
    Rect ToMovie(const Rect& display) const;
    Rect ToDisplay(const Rect& movie) const;

    // Index of the anchor whose ID equals the text byte for byte, or -1.
    int FindByID(std::string_view id) const;

    // Number of anchors whose StartFrame and EndFrame are both set.
    std::size_t CompleteCount() const;

    // Removes every incomplete anchor, wherever it stands; the others keep their order.
    void DropIncomplete();

private:
    std::vector<AnchorRecord> records_;
};

// Shows "No Memory Available." with the program's title.
void ShowNoMemory();

// Scaling helpers used by the conversions and the files: value * scale and value / scale,
// truncated toward zero and saturated to 32 bits; a scale of 0 (or not finite) leaves the
// value unchanged.
int32_t ScaleToMovie(int32_t value, double scale);
int32_t ScaleToDisplay(int32_t value, double scale);

} // namespace qxm::anchors
