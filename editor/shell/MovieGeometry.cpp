#include "editor/shell/MovieGeometry.h"

#include "editor/shell/EditorTexts.h"
#include "platform/codepage/CodePage.h"

#include <algorithm>
#include <cmath>

namespace qxm::editor {

FileNameCheck CheckFileNameRule(std::string_view name, bool inMob) {
    const char* message = inMob ? text::kBadMovieNameInMob : text::kBadMovieName;
    const std::size_t dot = codepage::findLastOf(name, ".");
    if (dot == std::string_view::npos || name.size() - dot != 4) return {false, false, message};
    const std::string_view ext = name.substr(dot);
    auto is = [&](const char* e) { return codepage::equalsIgnoreAsciiCase(ext, e); };
    if (is(".avi") || is(".mov")) return {true, true, nullptr};
    if (is(".mpg")) return {true, false, nullptr};
    if (is(".mob") && !inMob) return {true, false, nullptr};
    return {false, false, message};
}

int32_t ClampToRange(int32_t f, int32_t first, int32_t last) {
    const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
    if (u(f) > u(last)) return last;
    if (u(f) < u(first)) return first;
    return f;
}

int32_t StepDistance(int32_t c, int32_t n, bool backward, int32_t first, int32_t last) {
    if (backward) {
        if (c <= first) return 0;
        return std::min(n, c - first);
    }
    if (c >= last) return 0;
    return std::min(n, last - c);
}

PlacedRect FitMovieWindow(int parentWidth, int parentHeight, int border, double scale,
                          int imageWidth, int imageHeight) {
    const int w = parentWidth - 2 * border;
    const int h = parentHeight - 2 * border;
    int W = static_cast<int>(std::ceil(scale * imageWidth));
    int H = static_cast<int>(std::ceil(scale * imageHeight));
    if ((W + 4 > w || H + 4 > h) && imageWidth > 0 && imageHeight > 0) {
        const double a = double(imageWidth) / imageHeight;
        if (a < double(w) / h) {
            H = h - 4;
            W = static_cast<int>((h - 4) * a);
        } else {
            W = w - 4;
            H = static_cast<int>((w - 4) / a);
        }
    }
    return {border + (w - W - 4) / 2, border + (h - H - 4) / 2, W + 4, H + 4};
}

} // namespace qxm::editor
