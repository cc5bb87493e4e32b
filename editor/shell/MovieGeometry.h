#pragma once
// The movie window's arithmetic, without windows: the file-name rule, the working range and
// its clamping, and the placement of the picture in its parent.
#include <cstdint>
#include <string_view>

namespace qxm::editor {

struct FileNameCheck {
    bool valid = false;
    bool trackable = false;        // AVI or QuickTime: Automatic Setting may run
    const char* message = nullptr; // what an invalid name shows
};

// .avi and .mov are valid and trackable, .mpg valid but not trackable, .mob valid (not
// trackable) except inside a Movie Object File; letter case does not matter. The extension
// runs from the last '.' to the end and must be 4 characters.
FileNameCheck CheckFileNameRule(std::string_view name, bool inMob);

// The target of a GoTo to frame f: clamped to first..last comparing as unsigned values.
int32_t ClampToRange(int32_t f, int32_t first, int32_t last);

// Frames a step of n moves from c: 0 at the end of the range, else at most what is left.
int32_t StepDistance(int32_t c, int32_t n, bool backward, int32_t first, int32_t last);

struct PlacedRect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const PlacedRect&, const PlacedRect&) = default;
};

// The movie window's rectangle inside a parent client area of parentWidth x parentHeight
// with border pixels kept free on every side, for a picture of imageWidth x imageHeight shown
// at scale (movie pixels per picture pixel so far; 1.0 when unknown): the picture at that
// scale when it fits with its 2-pixel frame on each side, else as large as fits with the
// picture's aspect ratio. The window is the picture plus 4 in each direction, centred.
PlacedRect FitMovieWindow(int parentWidth, int parentHeight, int border, double scale,
                          int imageWidth, int imageHeight);

} // namespace qxm::editor
