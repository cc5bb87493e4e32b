#pragma once
// The geometry of placing an anchor's rectangle with the mouse: the grab zones of the framed
// rectangle, the rectangle a drag proposes, and the 8 x 8 minimum. No Qt.
#include "editor/anchors/AnchorTable.h"

namespace qxm::editor {

enum class DragZone : int {
    None = 0,
    TopLeft = 1,
    TopRight = 2,
    BottomLeft = 3,
    BottomRight = 4,
    Move = 5,
    Top = 6,
    Bottom = 7,
    Left = 8,
    Right = 9,
};

inline constexpr int kMinRectSize = 8;
inline constexpr int kHandle = 3; // half the size of a corner or edge handle

// Left <= x < Right and Top <= y < Bottom.
bool Contains(const anchors::Rect& r, int x, int y);

struct Grab {
    DragZone zone = DragZone::None;
    int dx = 0, dy = 0; // grab offset; for Move the press point itself
};

// The zone of rect that a press at (x, y) grabs: the corners, then the edges, then the inside;
// None when the press lies outside the rectangle.
Grab GrabAt(const anchors::Rect& rect, int x, int y);

// The zone under (x, y) for the cursor, None outside.
inline DragZone ZoneAt(const anchors::Rect& rect, int x, int y) {
    return GrabAt(rect, x, y).zone;
}

// Keeps a rectangle at least 8 x 8 by moving the side the zone grabbed (for a new rectangle,
// zone None, the right and bottom sides).
anchors::Rect ConstrainRect(anchors::Rect r, DragZone zone);

// The rectangle a drag of `current` proposes with the mouse at (x, y): the grabbed corner or
// edge at the position plus the grab offset, or for Move the whole rectangle shifted by the
// way from the press point; kept at 8 x 8 and normalised.
anchors::Rect DragCandidate(const anchors::Rect& current, const Grab& grab, int x, int y);

// The normalised rectangle of two points.
anchors::Rect RectOfPoints(int x0, int y0, int x1, int y1);

// Key-frame marks: the 11 x 11 outline of a triangle, and which mark a click at (x, y) of a
// marks bar of w x h hits (the first whose triangle holds the point), or -1.
bool MarkHitMask(int dx, int dy);
int MarkAt(const anchors::AnchorRecord& anchor, int x, int y, int w, int h, int32_t frameSpan);

} // namespace qxm::editor
