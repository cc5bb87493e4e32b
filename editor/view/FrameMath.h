#pragma once
// The arithmetic of the form view: rectangles between key frames, the frame scroll bar and the
// geometry of the frame and marks bars. No Qt; every division is as the comments say.
#include <cstdint>
#include <optional>

#include "editor/anchors/AnchorTable.h"

namespace qxm::editor {

// The anchor's rectangle at frame f: the key frame's own rectangle where one lies at f,
// otherwise each coordinate interpolated linearly between the key frame before and the one
// after, truncated toward zero. Frames compare as unsigned values. Nothing when no key frame
// lies on each side of f (an anchor read from a file may have fewer than two key frames, or
// key frames that do not reach its Starting or Ending Frame).
std::optional<anchors::Rect> RectAtFrame(const anchors::AnchorRecord& anchor, int32_t f);

// Whether f lies in StartFrame..EndFrame, comparing as unsigned values: an unset StartFrame
// (-1) puts every frame outside, an unset EndFrame sets no upper limit.
bool FrameInAnchorRange(const anchors::AnchorRecord& anchor, int32_t f);

// Frames that Rewind and Fast Forward step: a fifteenth of the working range, at least 1.
int32_t FastStepFrames(int32_t first, int32_t last);

// The scroll bar (range 0 to 100): the position that shows frame f, and the frame a thumb
// position p asks for (the quotient rounded up, then clamped to first..last).
int32_t ScrollPositionOfFrame(int32_t f, int32_t first, int32_t last);
int32_t FrameOfThumb(int32_t p, int32_t first, int32_t last);

// FrameBar line of frame f in a bar of width w: x = (w - 1) * f / frameSpan.
int FrameBarX(int w, int32_t f, int32_t frameSpan);
// Left edge of the MarksBar triangle of frame f: x = (w - 10) * f / frameSpan; the triangle
// is (x + 5, 0), (x, h / 2), (x + 10, h / 2).
int MarkX(int w, int32_t f, int32_t frameSpan);

} // namespace qxm::editor
