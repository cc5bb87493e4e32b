#pragma once
// The anchor object file (.obj): the anchors of a movie in movie pixels.
//
//   MaxObject=2
//
//   [CAR1:RedCar:0-120:3]
//   0:10,20,50,60;
//   ...
//
// Reading is bounded for hostile input: at most kMaxObject anchors; lines are read in
// pieces of 259 bytes; and all sections of one file together get at most
// kEntrySlack + (file size / kBytesPerEntry) key frames, however many they announce. Every
// key frame the writer writes takes at least 11 bytes, so files written by the program (or
// anything like them) always read whole; a section that announces more than what is left of
// that budget gets what is left.
#include "editor/anchors/AnchorTable.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qxm::anchors {

inline constexpr std::size_t kAnchorLineBytes = 259;
inline constexpr std::size_t kEntrySlack = 65536;
inline constexpr std::size_t kBytesPerEntry = 8;

enum class ReadStatus {
    Ok,
    NoFile,   // the file cannot be opened: the movie has no anchors (no message)
    NoMemory, // "No Memory Available." was shown
};

// Fills the table from "<folder>/<baseName>.obj", converting to display pixels with the
// table's XScale and YScale (set them first). Whatever the outcome, the previous records are
// gone; on failure the table is empty. On success AnchorDataSaved is true, CurrentAnchor -1
// and AnchorsCreated the number of anchors read.
ReadStatus ReadAnchorFile(AnchorTable& table, const std::string& folder,
                          const std::string& baseName);

// Places where the reader read a line otherwise than the writer writes it.
enum class ReadNoteKind {
    TextBeforeSection,    // a line before the first section: ignored
    SectionBeforeCount,   // a section before any MaxObject line: reading stopped there
    CountOverLimit,       // MaxObject above kMaxObject: the limit was used
    SectionBeyondCount,   // a section after as many as MaxObject announced: reading stopped
    HeaderFields,         // a header with fewer than four fields
    RangeWithoutDash,     // a range without '-': StartFrame 0, the number is EndFrame
    IdCut,                // an ID longer than kMaxIdBytes: cut
    NameCut,              // a Name longer than kMaxNameBytes: cut
    EntriesCut,           // a count beyond what the file's size allows: fewer entries
    LineWithoutColon,     // a line in a section that is neither blank nor has ':': ignored
    FrameLineBeyondCount, // a frame line after the section's count was filled: ignored
    FrameLineOpen,        // a frame line without ';': the next line fills the same entry
    LineSplit,            // a line longer than kAnchorLineBytes: its rest is read as a line
};

struct ReadNote {
    std::size_t line = 0; // 1-based line of the file
    ReadNoteKind kind = ReadNoteKind::TextBeforeSection;
};

// Where each anchor and key frame of a reading came from, for tools that explain a file.
struct AnchorFileTrace {
    std::vector<std::size_t> headerLines;             // the header line of each anchor read
    std::vector<std::vector<std::size_t>> entryLines; // per anchor and entry: 0 when no line
    std::vector<ReadNote> notes;                      // in the order of the file
};

// ReadAnchorFile on a path of any name; with a trace, records where everything came from.
ReadStatus ReadAnchorFileAt(AnchorTable& table, const std::string& path,
                            AnchorFileTrace* trace = nullptr);

// Writes the complete anchors of the table to "<folder>/<baseName>.obj", converting to movie
// pixels with XScale and YScale. The data goes to a new temporary file "<folder>/<seconds>.obj"
// that is flushed, synced and renamed over the anchor object file, so the old file stays
// whole until the new one replaces it. Without any complete anchor the anchor object file is
// deleted. On success the incomplete anchors are dropped from the table and AnchorDataSaved
// becomes true (the caller returns its drawing mode to idle). On failure a message is shown
// ("Anchorfile open error." or "Anchorfile write error."), the temporary file is removed and
// the table and the old file are left as they were.
bool WriteAnchorFile(AnchorTable& table, const std::string& folder, const std::string& baseName);

// Writes anchors built in code (rectangles in movie pixels unless scales are given) through
// WriteAnchorFile. Records are written as given; StartFrame/EndFrame must be set.
bool WriteAnchorObjectFile(const std::string& folder, const std::string& baseName,
                           std::vector<AnchorRecord> anchors, double xScale = 1.0,
                           double yScale = 1.0);

// An anchor whose StartFrame and EndFrame are the first and last of the given key frames.
AnchorRecord MakeAnchorRecord(std::string id, std::string name, std::vector<FrameEntry> entries);

// Steps of a save, for injecting failures in tests.
enum class SaveStep { Create, Write, Flush, Sync, Close, Rename, Delete };

struct SaveHooks {
    std::function<uint64_t()> clock; // seconds since 1970-01-01 UTC (default: the system clock)
    std::function<void()> wait;      // between attempts at a free temporary name (default: 50 ms)
    std::function<bool(SaveStep)> fail; // true makes that step fail
};

// Installs hooks for the process (empty members use the defaults); returns the previous.
SaveHooks setSaveHooks(SaveHooks hooks);

// How long a save waits for a free temporary name before giving up with the open error.
inline constexpr int kTempNameAttempts = 200;

} // namespace qxm::anchors
