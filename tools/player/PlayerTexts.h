#pragma once
// Every text the standalone player shows, spelled as the user sees it.
#include "editor/shell/EditorTexts.h"
#include "editor/view/PlayerLink.h"

namespace qxm::player::text {

inline constexpr const char* kTitle = editor::link::kPlayerTitle;

// Menus.
inline constexpr const char* kFileMenu = "&File";
inline constexpr const char* kOpen = "&Open...";
inline constexpr const char* kEdit = "&Edit in Movie Marquill";
inline constexpr const char* kExit = "E&xit";
inline constexpr const char* kViewMenu = "&View";
inline constexpr const char* kFullScreen = "&Full Screen";

// The open dialog is the editor's.
inline constexpr const char* kOpenTitle = editor::text::kOpenTitle;
inline constexpr const char* kOpenFilter = editor::text::kOpenFilter;

// Status line. %1: a file name, an anchor ID or an event's name.
inline constexpr const char* kReady = "Open a movie or a Movie Object File (File > Open).";
inline constexpr const char* kOpened = "%1";
inline constexpr const char* kOpenedAnchor = "%1, anchor %2";
inline constexpr const char* kEvent = "%1 \"%2\"";
inline constexpr const char* kSentToEditor = "Sent to Movie Marquill: %1";
inline constexpr const char* kStartingEditor = "Starting Movie Marquill...";

// Messages.
inline constexpr const char* kNoControl = editor::text::kNoControl;
inline constexpr const char* kCannotOpen = editor::text::kCannotOpen;
inline constexpr const char* kNoSuchAnchor = "This movie has no anchor %1.";
inline constexpr const char* kNothingToEdit = "Open a movie first.";
inline constexpr const char* kPathTooLong = "The path of this file is too long for Movie Marquill.";
inline constexpr const char* kNoEditor = "Movie Marquill (qxmedit) could not be started.";
inline constexpr const char* kEditorSilent = "Movie Marquill did not answer.";
inline constexpr const char* kNoLink = "The player's link could not be started: %1";

// Command line.
inline constexpr const char* kUsage =
    "usage: qxmplay [/I\"OPTION\"] [MOVIE | MOVIE-OBJECT-FILE]\n"
    "       qxmplay --help | --version\n"
    "The Movie Player: plays a movie (.avi, .mpg, .mov) or a Movie Object File (.mob) through\n"
    "the player control, shows the anchor events in its status line, and hands the file and\n"
    "the selected anchor to Movie Marquill with File > Edit in Movie Marquill.\n"
    "/I\"OPTION\" is the option Movie Marquill starts it with; it goes back to the editor when\n"
    "the player starts one. A second start hands its file to the running player.\n";
inline constexpr const char* kBadArgument = "qxmplay: unknown option %s (see qxmplay --help)\n";

} // namespace qxm::player::text
