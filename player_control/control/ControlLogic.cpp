#include "player_control/control/ControlLogic.h"

#include <cmath>

#include "platform/engine/MovieEngine.h"

namespace qxm::qxmovie {

std::string pageBase(const std::optional<std::string>& pageLocation) {
    if (!pageLocation) return {};
    const std::size_t slash = pageLocation->rfind('/');
    if (slash == std::string::npos) return {};
    return pageLocation->substr(0, slash);
}

std::string resolveMoviePath(std::string_view path,
                             const std::optional<std::string>& pageLocation) {
    const std::string base = pageBase(pageLocation);
    if (base.empty()) return std::string(path);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\')
        return "file://" + std::string(path);
    if (path.find(':') != std::string_view::npos) return std::string(path);
    std::string out = base;
    if (path.empty() || (path[0] != '\\' && path[0] != '/')) out += '/';
    out += path;
    return out;
}

LayoutResult layoutInUserMode(const LayoutInput& in) {
    LayoutResult out;
    const int W = in.clientWidth, H = in.clientHeight;
    int h = 0;
    if (in.consoleHeight) {
        h = *in.consoleHeight;
        out.console = LayoutRect{0, H - h, W, h};
    }
    if (in.hasRenderer) {
        const int w = W - 4;
        const int a = H - h - 8;
        int width = w, height = a;
        if (h > 0 && in.naturalWidth > 0 && in.naturalHeight > 0 && w > 0 && a > 0) {
            const double r = double(in.naturalWidth) / double(in.naturalHeight);
            if (r >= double(w) / double(a)) {
                width = w;
                height = int(std::trunc(w / r));
            } else {
                height = a;
                width = int(std::trunc(r * a));
            }
        }
        out.renderer = LayoutRect{(w - width + 4) / 2, (a - height + 2) / 2, width, height};
    }
    out.engine = LayoutRect{0, 0, W, H};
    return out;
}

StateEvent stateEventFor(std::int32_t newState, const StopFacts& facts) {
    switch (newState) {
    case engine::kPaused:
        return StateEvent::MovieStop;
    case engine::kRunning:
        return StateEvent::MovieStart;
    case engine::kStopped:
        if (!facts.movieLoaded) return StateEvent::None;
        if (facts.position >= facts.duration ||
            (facts.selectionEnd != -1 && facts.position >= facts.selectionEnd))
            return StateEvent::MovieFinish;
        return StateEvent::MovieStop;
    default:
        return StateEvent::None;
    }
}

std::int32_t clampToSelection(std::int32_t position, std::int32_t selectionStart,
                              std::int32_t selectionEnd) {
    if (position < selectionStart) return selectionStart;
    if (selectionEnd != -1 && position > selectionEnd) return selectionEnd;
    return position;
}

} // namespace qxm::qxmovie
