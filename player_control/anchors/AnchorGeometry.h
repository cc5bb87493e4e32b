#pragma once
// Arithmetic between the picture's own pixels and the pixels of the (possibly scaled) picture
// window, the anchor frame of the moment and the interpolation of anchor coordinates.
#include <cstdint>
#include <optional>

#include "player_control/anchors/DefAnchor.h"

namespace qxm {

struct PixelSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Picture pixels per window pixel, per axis.
struct ScaleFactors {
    double sx = 1.0;
    double sy = 1.0;
};

// sx = image width / renderer width, sy likewise. Without a renderer window both are 1.0; an
// axis whose image or window size is not positive also keeps 1.0, so no conversion divides by
// zero or collapses every point onto 0.
ScaleFactors anchorScaleFactors(PixelSize image, std::optional<PixelSize> renderer);

// A point of the picture window in picture pixels: (trunc(x * sx), trunc(y * sy)).
AnchorPoint windowToPicture(AnchorPoint windowPoint, ScaleFactors f);
// A picture rectangle in window pixels: every coordinate divided by its factor, truncated.
AnchorRect pictureToWindow(AnchorRect pictureRect, ScaleFactors f);

// trunc(engine position) - origin, wrapped to 32 bits as the control's frame arithmetic is.
std::int32_t anchorFrameAt(double enginePosition, std::int32_t anchorFrameOrigin);

// A double truncated toward zero into the 32-bit range (saturating; NaN gives 0).
std::int32_t truncToInt32(double v);

// vb + (vi - vb) * (f - fb) / (fi - fb) in 32-bit integer arithmetic: multiplication first,
// division truncating toward zero, every intermediate wrapped to 32 bits. Needs fb < fi.
std::int32_t interpolateAnchorValue(std::int32_t vb, std::int32_t vi, std::int32_t f,
                                    std::int32_t fb, std::int32_t fi);

} // namespace qxm
