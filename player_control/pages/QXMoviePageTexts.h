#pragma once
// Every text of the property pages and the About box that is not in the module's string table
// (player_control/definitions/QXMovieStrings.h), with the controls' ids and the dialogs' fonts.
#include <string>

#include "player_control/pages/QXMovieVersion.h"

namespace qxm::qxmovie::pagetexts {

// Controls without an id of their own (group boxes, labels, pictures).
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDOK = 1;

// Dialog 200: the General page.
inline constexpr int IDD_PROPPAGE_QXMOVIE = 200;
inline constexpr int IDC_AUTOREPEAT = 203;
inline constexpr int IDC_SHOWANCHOR = 206;
inline constexpr int IDC_CHANGECURSOR = 207;
inline constexpr int IDC_SHOWCONTROLS = 208;
inline constexpr int IDC_SINGLECLICK = 209;
inline constexpr int IDC_DOUBLECLICK = 210;
inline constexpr const char* kPlaybackGroup = "Playback";
inline constexpr const char* kAutoRepeat = "Auto Repeat";
inline constexpr const char* kControlsGroup = "Controls";
inline constexpr const char* kChangeCursor = "Change Cursor";
inline constexpr const char* kShowAnchor = "Show Anchor";
inline constexpr const char* kControlPanel = "Control Panel";
inline constexpr const char* kActivateGroup = "Activate";
inline constexpr const char* kSingleClick = "Single-click";
inline constexpr const char* kDoubleClick = "Double-click";

// Dialog 105: the movie file page; dialog 201: the cursor file page.
inline constexpr int IDD_PROPPAGE_MOVIEFILE = 105;
inline constexpr int IDC_MOVIEFILE_BROWSE = 210;
inline constexpr int IDC_MOVIEFILE = 211;
inline constexpr int IDD_PROPPAGE_CURSORFILE = 201;
inline constexpr int IDC_CURSORFILE_BROWSE = 212;
inline constexpr int IDC_CURSORFILE = 213;
inline constexpr const char* kFileNameLabel = "FileName :";
inline constexpr const char* kBrowse = "...";

// The pages' font (dialog units are measured in it).
inline constexpr const char* kPageFontFamily = "Arial";
inline constexpr int kPageFontPointSize = 8;

// Dialog 1: the About box, with bitmap 126.
inline constexpr int IDD_ABOUTBOX_QXMOVIE = 1;
inline constexpr int IDB_QXMOVIE = 126;
inline constexpr const char* kAboutCaption = "About QX-MOVIE Control...";
inline constexpr const char* kAboutTitle = kProductName;
inline constexpr const char* kAboutDescription = "Hypervideo player control";
inline constexpr const char* kAboutCopyright = kLegalCopyright;
inline constexpr const char* kOk = "OK";
inline constexpr const char* kAboutFontFamily = "MS Sans Serif";
inline constexpr int kAboutFontPointSize = 8;

// "Ver 2.00.0021".
inline std::string aboutVersionText() {
    return std::string("Ver ") + kFileVersion;
}

} // namespace qxm::qxmovie::pagetexts
