#include "editor/view/FrameMath.h"

#include <algorithm>
#include <limits>

namespace qxm::editor {
namespace {

uint32_t u(int32_t v) {
    return static_cast<uint32_t>(v);
}

int32_t saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// a + (f - fa) * (b - a) / (fb - fa), truncated toward zero; a when fa is not below fb.
int32_t interpolate(int32_t a, int32_t b, int32_t f, int32_t fa, int32_t fb) {
    if (fa >= fb) return a;
    const int64_t num = (int64_t(f) - fa) * (int64_t(b) - a);
    return saturate(int64_t(a) + num / (int64_t(fb) - fa));
}

// (a * b) / c in unsigned 64-bit arithmetic, 0 when c is 0.
uint64_t mulDiv(uint64_t a, uint64_t b, uint64_t c) {
    return c == 0 ? 0 : a * b / c;
}

} // namespace

std::optional<anchors::Rect> RectAtFrame(const anchors::AnchorRecord& anchor, int32_t f) {
    const anchors::FrameEntry* before = nullptr;
    const anchors::FrameEntry* after = nullptr;
    for (const anchors::FrameEntry& e : anchor.Entries) {
        if (u(e.Frame) == u(f)) return e.rect();
        if (u(e.Frame) < u(f)) before = &e;
        if (u(e.Frame) > u(f) && !after) after = &e;
    }
    if (!before || !after) return std::nullopt;
    const int32_t fa = before->Frame, fb = after->Frame;
    return anchors::Rect{interpolate(before->Left, after->Left, f, fa, fb),
                         interpolate(before->Top, after->Top, f, fa, fb),
                         interpolate(before->Right, after->Right, f, fa, fb),
                         interpolate(before->Bottom, after->Bottom, f, fa, fb)};
}

bool FrameInAnchorRange(const anchors::AnchorRecord& anchor, int32_t f) {
    return u(f) >= u(anchor.StartFrame) && u(f) <= u(anchor.EndFrame);
}

int32_t FastStepFrames(int32_t first, int32_t last) {
    const int32_t n = (last - first) / 15;
    return n == 0 ? 1 : n;
}

int32_t ScrollPositionOfFrame(int32_t f, int32_t first, int32_t last) {
    return static_cast<int32_t>(mulDiv(u(f), 100, u(last - first)));
}

int32_t FrameOfThumb(int32_t p, int32_t first, int32_t last) {
    const uint64_t span = u(last - first);
    const uint64_t product = uint64_t(u(p)) * span;
    uint64_t target = product / 100 + (product % 100 != 0 ? 1 : 0);
    target = std::clamp<uint64_t>(target, u(first), u(last));
    return static_cast<int32_t>(target);
}

int FrameBarX(int w, int32_t f, int32_t frameSpan) {
    return static_cast<int>(mulDiv(u(w - 1), u(f), u(frameSpan)));
}

int MarkX(int w, int32_t f, int32_t frameSpan) {
    return static_cast<int>(mulDiv(u(w - 10), u(f), u(frameSpan)));
}

} // namespace qxm::editor
