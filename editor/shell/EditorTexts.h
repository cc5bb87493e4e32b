#pragma once
// Every text the editor program shows, spelled exactly as the user sees it.
#include "editor/anchors/AnchorTexts.h"

namespace qxm::editor::text {

inline constexpr const char* kProgramTitle = anchors::text::kProgramTitle;

// Start-up.
inline constexpr const char* kDdeFailed = "Could not initialize DDEML!";
inline constexpr const char* kNoControl = "Could not create QX-MOVIE Control !";

// Opening and closing.
inline constexpr const char* kOpenTitle = "Select Movie File";
inline constexpr const char* kOpenFilter =
    "Movie File(*.avi *.mpg *.mov)|*.avi;*.mpg;*.mov|Movie Object File(*.mob)|*.mob||";
inline constexpr const char* kSaveQuestion = "Do You Want To Save Anchor Data?";
inline constexpr const char* kSaveCaption = "Save the Anchor Data";
inline constexpr const char* kBadMovieName = "Invalid Movie File name description.";
inline constexpr const char* kBadMovieNameInMob = anchors::text::kBadMovieExtension;
inline constexpr const char* kBadFrameRange = anchors::text::kBadFrameRange;
inline constexpr const char* kCannotOpen = "Cannot open Movie File.";
inline constexpr const char* kAnchorReadError = "Anchor Data Read Error";

// Anchor commands.
inline constexpr const char* kCastOffQuestion = "Is It Alright To Cast Off Anchor Data?";
inline constexpr const char* kCastOffCaption = "Delete Anchor Data";

// The form view's labels.
inline constexpr const char* kSlash = "/";
inline constexpr const char* kSize = "Size";
inline constexpr const char* kTimes = "X";
inline constexpr const char* kAnchorName = "Anchor Name";
inline constexpr const char* kStartingFrame = "Starting Frame";
inline constexpr const char* kAnchorId = "Anchor ID";
inline constexpr const char* kEndingFrame = "Ending Frame";

// Help.
inline constexpr const char* kHelpTitle = "Movie Marquill Help";

} // namespace qxm::editor::text
