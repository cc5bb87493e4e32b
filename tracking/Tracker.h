#pragma once
// The tracking algorithm: matching steps between two frames, the forward and backward walks,
// their rating and splice, thinning and size interpolation.
#include "imaging/include/qxmimlib.h"
#include "tracking/Params.h"
#include "tracking/include/qxmtrack.h"

#include <cstdint>
#include <vector>

namespace qxm::track {

class FramePair;

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int64_t width() const { return int64_t(right) - left; }
    int64_t height() const { return int64_t(bottom) - top; }
    // The halving is done in double precision.
    double cx() const { return left + double(width()) / 2; }
    double cy() const { return top + double(height()) / 2; }
    bool operator==(const Rect&) const = default;
};

Rect normalised(Rect r);
Rect rectOf(const SetAutoAnchorRecord& r);

// Model rectangle of an anchor: ratio percent of its size around its middle, kept in the frame.
Rect modelRect(const Rect& anchor, double ratioPercent, int32_t frameW, int32_t frameH);
// Widens a rectangle narrower or lower than 23 to 23 around its centre.
Rect minimumModel(const Rect& r, int32_t frameW, int32_t frameH);
// The rectangle of the given size around r's centre (truncated centre, halves truncated).
Rect resizedAround(const Rect& r, int64_t newW, int64_t newH);
// area(ref ∩ other) / area(ref) * 100; 0 when they do not intersect.
double overlapPercent(const Rect& ref, const Rect& other);
// 0 when overlap >= good, 1 when >= noGood, else 2.
int32_t rating(double overlap, double good, double noGood);

// Search area of model centres in the searched frame, inclusive corners.
struct Area {
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    bool contains(double x, double y) const {
        return left <= x && x <= right && top <= y && y <= bottom;
    }
};

// Index of the chosen hit among n hits (highest score first), or -1 when none lies in the area.
int32_t chooseHit(const ImPatResult* hits, int32_t n, const Area& area, double cx, double cy,
                  double scoreTh, double accept);
// Rectangle of size w x h placed around a hit; code 0, or -2 when clipped at the frame border.
Rect placeHit(const ImPatResult& hit, int64_t w, int64_t h, int32_t frameW, int32_t frameH,
              int32_t& code);

// A track: records in a caller-provided array with room for capacity records.
struct Track {
    SetAutoAnchorRecord* records = nullptr;
    int64_t count = 0;
    int64_t capacity = 0;
    bool append(int32_t frame, const Rect& r);
    SetAutoAnchorRecord& last() { return records[count - 1]; }
};

// Marks of the thinning: which records stay. Iterative, so that long tracks cannot exhaust the
// call stack. Throws std::bad_alloc when the marks cannot be allocated.
std::vector<bool> thinningMarks(const SetAutoAnchorRecord* records, int64_t n, double tolerance);
// Keeps only the marked records; 0, or -351 without memory for the marks.
int32_t thin(Track& t, double tolerance);
// Gives every record but the first and the last a size interpolated between theirs.
void interpolateSizes(Track& t);
// Replaces the tail of the forward track by the backward track (frames descending).
void splice(Track& forward, const Track& backward);

class Tracker {
public:
    Tracker(const Params& p, FramePair& frames, int32_t frameW, int32_t frameH);

    // One matching step from buffer A (model cut at R) to buffer B. Returns 0, -1, -2 or -3.
    int32_t matchStep(const Rect& r, Rect& out);
    // Tracking from frame a to frame b, appending to t; splits steps that find nothing.
    int32_t trackStep(int32_t a, int32_t b, const Rect& r, Track& t, Rect& out);
    // The forward pass: its rating (0, 1, 2) or a negative code.
    int32_t forward(int32_t s, int32_t e, const Rect& S, const Rect& E, Track& f);
    // The backward pass over forward track f into b: 0 or a negative code.
    int32_t backward(const Track& f, Track& b);
    // The whole sequence on the two arrays: rating or a negative code.
    int32_t run(int32_t s, int32_t e, const Rect& S, const Rect& E, Track& f, Track& b);

    // Working values (exposed for tests).
    int64_t searchHalfWidth() const { return sw_; }
    int64_t searchHalfHeight() const { return sh_; }
    double acceptance() const { return accept_; }

private:
    Area searchArea(double cx, double cy) const;
    // One step of a walk from p to d with model m into t: m becomes the rectangle found and
    // the acceptance threshold its remembered value; -3 and below restore every working value.
    int32_t walkStep(int32_t p, int32_t d, Rect& m, Track& t);
    void remember();
    void restoreAll();
    const Params& p_;
    FramePair& frames_;
    int32_t W_, H_;
    double sw1_ = 0, sh1_ = 0;
    int64_t sw_, sh_;
    double accept_;
    int64_t savedSw_ = 0, savedSh_ = 0;
    double savedAccept_ = 0;
};

} // namespace qxm::track
