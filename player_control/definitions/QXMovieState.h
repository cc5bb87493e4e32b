#pragma once
// The control's persisted property values, in the order they are exchanged with a container's
// storage, with their defaults. Loading writes into this struct directly (no validation, nothing
// sent to the engine); the engine receives the values when it is created.
#include <cstdint>
#include <string>

namespace qxm::qxmovie {

struct QXMovieState {
    bool AutoPlay = true;
    bool AutoRepeat = false;
    bool AutoRewind = true;
    std::string MovieFile;
    std::int32_t MovieWindowSetting = 0;
    bool FullScreenMode = false;
    bool ShowControls = true;
    bool ShowDisplay = false;
    bool ShowTracker = true;
    std::int32_t SelectionEnd = -1;
    std::int32_t SelectionStart = 0;
    std::int32_t ActivateMethod = 0;
    bool ChangeCursor = true;
    std::string CursorFile;
    bool EnableContextMenu = true;
    bool ShowAnchor = false;
    bool ClickSound = false;
    std::string SoundFile;
    std::int32_t PlaybackEnvironment = 0;
    bool ShowAnchorName = false;
    std::int32_t PlaybackRate = 0;
    std::int32_t AnchorFrameOrigin = 0;

    bool operator==(const QXMovieState&) const = default;
};

inline constexpr int kPersistedPropertyCount = 22;

// The control's size in pixels before a container gives it one, which is also the extent kept
// for it when a container saved none.
inline constexpr int kInitialWidth = 324;
inline constexpr int kInitialHeight = 275;

} // namespace qxm::qxmovie
