#pragma once
// Readers for cursor files: static cursors and icons (an icon directory whose entries are
// device-independent bitmaps or PNG streams) and animated cursors (a RIFF "ACON" form). Every
// read is bounds-checked against the bytes given and against fixed size limits, so a damaged
// or hostile file yields an error, never a crash or an outsized allocation.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qxm::cursors {

inline constexpr int kMaxCursorSize = 256;                    // pixels per side
inline constexpr std::size_t kMaxCursorFileBytes = 16u << 20; // any cursor file
inline constexpr std::size_t kMaxCursorImages = 64;           // entries of one directory
inline constexpr std::size_t kMaxAnimationFrames = 1024;
inline constexpr std::size_t kMaxAnimationSteps = 4096;
inline constexpr std::size_t kMaxAnimationBytes = 64u << 20; // decoded frames together
inline constexpr std::uint32_t kJiffiesPerSecond = 60;

enum class CursorError {
    None,
    Open,        // the file cannot be opened or read
    TooLarge,    // beyond one of the limits above
    Format,      // not a cursor file, or damaged
    Unsupported, // a valid file in a form this reader does not decode
};

struct CursorImage {
    int width = 0;
    int height = 0;
    int hotspotX = 0; // inside the image
    int hotspotY = 0;
    int bitCount = 0; // of the stored bitmap; 32 for PNG entries
    // width * height pixels, 4 bytes each (red, green, blue, alpha; not premultiplied), rows
    // from the top. Empty for a PNG entry.
    std::vector<std::uint8_t> rgba;
    // The PNG stream of a PNG entry, left for the caller to decode.
    std::vector<std::uint8_t> png;
    bool isPng() const { return !png.empty(); }
};

struct CursorStep {
    std::size_t frame = 0;     // index into CursorData::frames
    std::uint32_t jiffies = 0; // display time in 1/60 s
};

struct CursorData {
    std::vector<CursorImage> frames; // one for a static cursor
    std::vector<CursorStep> steps;   // the animation; one step for a static cursor
    bool animated = false;
};

// Display time of a step in milliseconds. A step of 0 jiffies is shown for one jiffy, so an
// animation never spins.
std::uint32_t stepMilliseconds(const CursorStep& step);

// Every image of an icon directory (type 2 cursor or type 1 icon; icons have the centre as
// hotspot).
CursorError readCursorImages(std::span<const std::uint8_t> bytes, std::vector<CursorImage>& images);

// The image to show: the one whose size is closest to preferredSize, then the deepest.
std::size_t pickCursorImage(const std::vector<CursorImage>& images, int preferredSize = 32);

// A static cursor (the picked image) or an animated one, told apart by their first bytes.
CursorError readCursor(std::span<const std::uint8_t> bytes, CursorData& out);
CursorError readAnimatedCursor(std::span<const std::uint8_t> bytes, CursorData& out);

// Reads the file at path (at most kMaxCursorFileBytes) and then as readCursor.
CursorError loadCursorFile(const std::string& path, CursorData& out);

// A cursor file with one 32-bit image (alpha and a derived mask): the encoder of the module's
// own cursor, and a way to write test files.
std::vector<std::uint8_t> writeCursorFile(const CursorImage& image);

} // namespace qxm::cursors
