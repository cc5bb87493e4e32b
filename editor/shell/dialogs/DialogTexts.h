#pragma once
// Every text the editor's dialogs show, spelled exactly as the user sees it, with the dialogs'
// template and control ids and their fonts. The messages of the New Anchor checks live with
// the anchor rules (editor/anchors/AnchorTexts.h).
#include "editor/anchors/AnchorTexts.h"

namespace qxm::editor::dialogtext {

// Controls without an id of their own (labels, pictures).
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr const char* kOk = "OK";
inline constexpr const char* kCancel = "Cancel";

// Dialog 104: New Anchor.
inline constexpr int IDD_NEWANCHOR = 104;
inline constexpr int IDC_ANCHORNAME = 1012;
inline constexpr int IDC_ANCHORID = 1013;
inline constexpr const char* kNewAnchorCaption = anchors::text::kNewAnchorCaption;
inline constexpr const char* kSpecifyNewAnchor = "   Specify New Anchor.";
inline constexpr const char* kAnchorNameLabel = "Anchor Name";
inline constexpr const char* kAnchorIdLabel = "Anchor ID";
// The proposals are these followed by AnchorsCreated + 1.
inline constexpr const char* kDefaultNamePrefix = "AnchorName";
inline constexpr const char* kDefaultIdPrefix = "AncID";

// Dialog 110: the anchor list.
inline constexpr int IDD_ANCHORLIST = 110;
inline constexpr int IDC_SELECTEDANCHOR = 1023;
inline constexpr int IDC_ANCHORLIST = 1024;
inline constexpr int IDC_DELETE = 1026;
inline constexpr int IDC_UP = 1030;
inline constexpr int IDC_DOWN = 1031;
inline constexpr const char* kAnchorListCaption = "View Anchor List";
inline constexpr const char* kSelectAnchor = "Please select Anchor to be viewed.";
inline constexpr const char* kUp = "Up";
inline constexpr const char* kDown = "Down";
inline constexpr const char* kDelete = "Delete";

// Dialog 100: About, with bitmap 125.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDB_PROGRAM = 125;
inline constexpr const char* kAboutCaption = "About Movie Marquill";
inline constexpr const char* kVersion = "Ver 2.00.0024";

// Fonts the dialogs are laid out in (dialog units are measured in them).
inline constexpr const char* kAnchorDialogFontFamily = "Arial";
inline constexpr int kAnchorDialogFontPointSize = 10;
inline constexpr const char* kAboutFontFamily = "MS Sans Serif";
inline constexpr int kAboutFontPointSize = 8;

} // namespace qxm::editor::dialogtext
