#include "editor/view/ManualSetting.h"

#include <algorithm>
#include <cstdlib>

#include "editor/view/FrameMath.h"

namespace qxm::editor {

using anchors::Rect;

bool Contains(const Rect& r, int x, int y) {
    return r.Left <= x && x < r.Right && r.Top <= y && y < r.Bottom;
}

Grab GrabAt(const Rect& r, int x, int y) {
    if (!Contains(r, x, y)) return {};
    const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom, h = kHandle;
    struct Handle {
        DragZone zone;
        Rect area;
        int dx, dy;
    };
    // In the order they are tested; the inside comes last.
    const Handle handles[] = {
        {DragZone::TopLeft, {L - h, T - h, L + h, T + h}, L - x, T - y},
        {DragZone::TopRight, {R - h, T - h, R + h, T + h}, R - x, T - y},
        {DragZone::BottomLeft, {L - h, B - h, L + h, B + h}, L - x, B - y},
        {DragZone::BottomRight, {R - h, B - h, R + h, B + h}, R - x, B - y},
        {DragZone::Top, {L + h, T - h, R - h, T + h}, 0, T - y},
        {DragZone::Bottom, {L + h, B - h, R - h, B + h}, 0, B - y},
        {DragZone::Left, {L - h, T + h, L + h, B - h}, L - x, 0},
        {DragZone::Right, {R - h, T + h, R + h, B - h}, R - x, 0},
    };
    for (const Handle& handle : handles)
        if (Contains(handle.area, x, y)) return {handle.zone, handle.dx, handle.dy};
    return {DragZone::Move, x, y};
}

Rect ConstrainRect(Rect r, DragZone zone) {
    const bool narrow = r.Right - r.Left < kMinRectSize;
    const bool low = r.Bottom - r.Top < kMinRectSize;
    const int m = kMinRectSize;
    switch (zone) {
    case DragZone::None:
    case DragZone::BottomRight:
        if (narrow) r.Right = r.Left + m;
        if (low) r.Bottom = r.Top + m;
        break;
    case DragZone::TopLeft:
        if (narrow) r.Left = r.Right - m;
        if (low) r.Top = r.Bottom - m;
        break;
    case DragZone::TopRight:
        if (narrow) r.Right = r.Left + m;
        if (low) r.Top = r.Bottom - m;
        break;
    case DragZone::BottomLeft:
        if (narrow) r.Left = r.Right - m;
        if (low) r.Bottom = r.Top + m;
        break;
    case DragZone::Top:
        if (low) r.Top = r.Bottom - m;
        break;
    case DragZone::Bottom:
        if (low) r.Bottom = r.Top + m;
        break;
    case DragZone::Left:
        if (narrow) r.Left = r.Right - m;
        break;
    case DragZone::Right:
        if (narrow) r.Right = r.Left + m;
        break;
    case DragZone::Move:
        break;
    }
    return r;
}

Rect DragCandidate(const Rect& c, const Grab& g, int x, int y) {
    Rect r = c;
    const int px = x + g.dx, py = y + g.dy;
    switch (g.zone) {
    case DragZone::TopLeft:
        r.Left = px, r.Top = py;
        break;
    case DragZone::TopRight:
        r.Right = px, r.Top = py;
        break;
    case DragZone::BottomLeft:
        r.Left = px, r.Bottom = py;
        break;
    case DragZone::BottomRight:
        r.Right = px, r.Bottom = py;
        break;
    case DragZone::Top:
        r.Top = py;
        break;
    case DragZone::Bottom:
        r.Bottom = py;
        break;
    case DragZone::Left:
        r.Left = px;
        break;
    case DragZone::Right:
        r.Right = px;
        break;
    case DragZone::Move: {
        const int sx = x - g.dx, sy = y - g.dy; // the way from the press point
        r = {c.Left + sx, c.Top + sy, c.Right + sx, c.Bottom + sy};
        return anchors::Normalized(r);
    }
    case DragZone::None:
        return c;
    }
    return anchors::Normalized(ConstrainRect(r, g.zone));
}

Rect RectOfPoints(int x0, int y0, int x1, int y1) {
    return anchors::Normalized({x0, y0, x1, y1});
}

bool MarkHitMask(int dx, int dy) {
    if (dx < 0 || dx > 10 || dy < 0 || dy > 10) return false;
    return std::abs(dx - 5) <= (dy + 1) / 2;
}

int MarkAt(const anchors::AnchorRecord& anchor, int x, int y, int w, int h, int32_t frameSpan) {
    for (std::size_t i = 0; i < anchor.Entries.size(); ++i) {
        const int left = MarkX(w, anchor.Entries[i].Frame, frameSpan);
        // The triangle as drawn: (left + 5, 0), (left, h / 2), (left + 10, h / 2); borders count.
        if (x < left || x > left + 10 || y < 0 || y > h / 2) continue;
        if (MarkHitMask(std::clamp(x - left, 0, 10), std::clamp(y, 0, 10))) return int(i);
    }
    return -1;
}

} // namespace qxm::editor
