#pragma once
// The control's decisions that need no window: resolving a movie path against the page that
// holds the control, the arrangement of the engine's windows inside the control, and what the
// engine's state changes and positions mean for the control's events.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qxm::qxmovie {

// The page location up to, not including, its last "/"; empty without a location or a "/".
std::string pageBase(const std::optional<std::string>& pageLocation);

// A movie path against the page's base: unchanged without a base or when it contains ":";
// "file://" put before a path that starts with two backslashes; otherwise base + path, with a
// "/" between them unless the path starts with "\" or "/".
std::string resolveMoviePath(std::string_view path, const std::optional<std::string>& pageLocation);

struct LayoutRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const LayoutRect&) const = default;
};

struct LayoutInput {
    int clientWidth = 0;
    int clientHeight = 0;
    std::optional<int> consoleHeight; // the control panel's height, none without a panel
    bool hasRenderer = false;
    int naturalWidth = 0; // the picture's size when the movie opened
    int naturalHeight = 0;
};

struct LayoutResult {
    std::optional<LayoutRect> console;
    std::optional<LayoutRect> renderer;
    LayoutRect engine;
};

// The layout without auto-size in user mode: the panel along the bottom, the picture centred
// in what is left (keeping the natural aspect ratio while a panel is shown), the engine over
// the whole client area.
LayoutResult layoutInUserMode(const LayoutInput& in);

// Which of the control's playback events an engine state change fires before OnStateChange.
enum class StateEvent { None, MovieStart, MovieStop, MovieFinish };

struct StopFacts {
    bool movieLoaded = false;
    std::int32_t position = 0; // read before any rewind
    std::int32_t duration = 0;
    std::int32_t selectionEnd = -1;
};
StateEvent stateEventFor(std::int32_t newState, const StopFacts& facts);

// A reported position clamped into the selection; a selection end of -1 (none yet) sets no
// upper bound.
std::int32_t clampToSelection(std::int32_t position, std::int32_t selectionStart,
                              std::int32_t selectionEnd);

} // namespace qxm::qxmovie
