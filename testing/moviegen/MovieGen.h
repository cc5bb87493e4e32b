#pragma once
// Test-movie generator: renders synthetic frames (frame-number barcode, textured background,
// textured object on a path) and writes them with libavformat/libavcodec in several container
// and codec kinds. Also reads the barcode back, so tests can tell which frame a picture is.
//
// Picture layout (width W, height H):
//   rows [0, barcodeHeight(H)) hold the barcode: kBarcodeCells cells of barcodeCellWidth(W)
//   columns from the left edge (the rest of the strip black), cell 0 always white, cell
//   kBarcodeCells-1 always black, cells 1..15 the frame number's bits (most significant first,
//   white = 1), cell 16 an even-parity bit over those 15 bits. The reader restores one unclear
//   (gray) data or parity cell from the parity. Below it a textured background; the object is drawn
//   over the background and under the barcode.
//
// Truth file: one line per frame, "frame left top right bottom", decimal, right and bottom
// exclusive, in picture pixels, the object's rectangle clipped to the picture. Lines starting
// with '#' are comments.
#include <cstdint>
#include <string>
#include <vector>

namespace qxm::moviegen {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0; // right, bottom exclusive
    bool operator==(const Rect&) const = default;
};

enum class PathKind { Straight, Curved, Pause, Leave };

struct MovieRecipe {
    std::string kind = "avi-bgr24"; // one of movieKinds()
    int width = 160;
    int height = 120;
    int frames = 90;
    int fps = 25;
    PathKind path = PathKind::Straight;
    double speed = 2.0; // pixels a frame along the path
    uint32_t seed = 1;
    int objectWidth = 0;  // 0: a fifth of the width
    int objectHeight = 0; // 0: a quarter of the height
    int gop = 12;         // frames from one key frame to the next (coded kinds)
    // A tone track: 0 for none, else its samples a second (mono, 16-bit PCM; MPEG layer II in
    // the MPEG kinds). The tone's frequency during frame n is toneFrequency(n).
    int toneRate = 0;
    // Frames whose pictures a capture dropped (AVI kinds; ascending, frame 0 never): the file
    // holds an empty index entry for each, and the picture before stands for it.
    std::vector<int> dropped;
};

// The tone of frame n: 600 Hz + 200 Hz * (n mod 16), so a short stretch of the sound tells
// which frame it belongs to (up to a multiple of 16 frames).
constexpr int kToneFrames = 16;
double toneFrequency(int frame);
// The frame (mod kToneFrames) whose tone is strongest in `count` mono samples at `rate`, or -1
// when the stretch is too short or silent. Reliable from about a quarter of a 25 fps frame on.
int toneFrameOf(const int16_t* samples, int count, int rate);

struct KindInfo {
    std::string name;      // e.g. "avi-mpeg4"
    std::string extension; // ".avi", ".mpg", ".mov"
    std::string description;
};

// Every kind the writer knows, available or not.
const std::vector<KindInfo>& movieKinds();
const KindInfo* findKind(const std::string& name);
// True when the codec the kind needs has an encoder in this FFmpeg build.
bool kindAvailable(const std::string& name);

bool parsePath(const std::string& text, PathKind& out);
const char* pathName(PathKind path);

constexpr int kBarcodeCells = 18;
constexpr int kBarcodeBits = 15;
constexpr int kMaxFrames = (1 << kBarcodeBits) - 1;
int barcodeHeight(int height);
// Width of one barcode cell; columns right of the last cell stay black.
int barcodeCellWidth(int width);

// Checks sizes, frame count, rate, speed and kind; on failure returns false with a reason.
bool validate(const MovieRecipe& movieRecipe, std::string& error);

// The object's rectangle in frame n, unclipped (may reach outside the picture).
Rect objectRect(const MovieRecipe& movieRecipe, int n);
// The same clipped to the picture (what the truth file holds).
Rect visibleRect(const MovieRecipe& movieRecipe, int n);

// Renders frame n as BGR24, top row first, width*3 bytes a row.
void renderFrame(const MovieRecipe& movieRecipe, int n, std::vector<uint8_t>& bgr);

// The 256-colour palette of palettised kinds (0x00RRGGBB) and the index of a colour in it.
const std::vector<uint32_t>& paletteColours();
uint8_t paletteIndex(uint8_t b, uint8_t g, uint8_t r);

// Reads the barcode of a BGR24 picture (rows of `stride` bytes, top row first). Returns the
// frame number, or -1 when no valid barcode is found.
int readBarcode(const uint8_t* bgr, int width, int height, int stride);

// Writes the movie to path. Returns false with a reason on failure (the file is removed).
bool writeMovie(const std::string& path, const MovieRecipe& movieRecipe, std::string& error);
// Writes the truth file (header comments then one line per frame).
bool writeTruth(const std::string& path, const MovieRecipe& movieRecipe, std::string& error);
// Reads a truth file back: rects[n] for frame n. Returns false on a malformed file.
bool readTruth(const std::string& path, std::vector<Rect>& rects, std::string& error);

} // namespace qxm::moviegen
