#include "player_control/anchors/AnchorGeometry.h"

#include <cmath>
#include <limits>

namespace qxm {

namespace {

// Two's complement wrap of a 64-bit value to 32 bits (well defined since C++20).
std::int32_t wrap32(std::int64_t v) {
    return static_cast<std::int32_t>(v);
}

double axisFactor(std::int32_t image, std::optional<std::int32_t> window) {
    if (!window || image <= 0 || *window <= 0) return 1.0;
    return static_cast<double>(image) / static_cast<double>(*window);
}

} // namespace

ScaleFactors anchorScaleFactors(PixelSize image, std::optional<PixelSize> renderer) {
    if (!renderer) return {};
    return {axisFactor(image.width, renderer->width), axisFactor(image.height, renderer->height)};
}

std::int32_t truncToInt32(double v) {
    if (std::isnan(v)) return 0;
    const double t = std::trunc(v);
    if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(t);
}

AnchorPoint windowToPicture(AnchorPoint p, ScaleFactors f) {
    return {truncToInt32(p.x * f.sx), truncToInt32(p.y * f.sy)};
}

AnchorRect pictureToWindow(AnchorRect r, ScaleFactors f) {
    return {truncToInt32(r.left / f.sx), truncToInt32(r.top / f.sy), truncToInt32(r.right / f.sx),
            truncToInt32(r.bottom / f.sy)};
}

std::int32_t anchorFrameAt(double enginePosition, std::int32_t anchorFrameOrigin) {
    return wrap32(static_cast<std::int64_t>(truncToInt32(enginePosition)) - anchorFrameOrigin);
}

std::int32_t interpolateAnchorValue(std::int32_t vb, std::int32_t vi, std::int32_t f,
                                    std::int32_t fb, std::int32_t fi) {
    const std::int32_t delta = wrap32(static_cast<std::int64_t>(vi) - vb);
    const std::int32_t step = wrap32(static_cast<std::int64_t>(f) - fb);
    const std::int32_t span = wrap32(static_cast<std::int64_t>(fi) - fb);
    const std::int32_t product = wrap32(static_cast<std::int64_t>(delta) * step);
    if (span == 0) return vb;
    // INT32_MIN / -1 is the one quotient that does not fit; 32-bit wrap makes it INT32_MIN.
    const std::int32_t quotient =
        span == -1 ? wrap32(-static_cast<std::int64_t>(product)) : product / span;
    return wrap32(static_cast<std::int64_t>(vb) + quotient);
}

} // namespace qxm
