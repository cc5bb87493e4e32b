#include "editor/shell/CommandTable.h"

#include "editor/view/CommandIds.h"

namespace qxm::editor {

namespace {

constexpr CommandInfo kCommands[] = {
    {ID_FILE_OPEN, Menu::File, "&Open...\tCtrl+O", "Ctrl+O", "Open A Movie File", nullptr, -1,
     false},
    {ID_FILE_CLOSE, Menu::File, "&Close", nullptr, "Close The Active Movie File", nullptr, -1,
     false},
    {ID_FILE_SAVE, Menu::File, "&Save\tCtrl+S", "Ctrl+S", "Save Anchor Data", nullptr, -1, true},
    {ID_APP_EXIT, Menu::File, "E&xit", nullptr, "Exit Movie Marquill", nullptr, -1, false},
    {ID_VIDEO_PLAY, Menu::Video, "P&lay\tCtrl+R", "Ctrl+R", "Play Movie File", "Play", 2, false},
    {ID_VIDEO_PAUSE, Menu::Video, "&Pause\tCtrl+P", "Ctrl+P", "Pause Movie File", "Pause", 1,
     false},
    {ID_VIDEO_STOP, Menu::Video, "&Stop\tEsc", "Esc", "Stop Movie File", "Stop", 0, true},
    {ID_VIDEO_FIRST, Menu::Video, "&First Frame\tCtrl+Home", "Ctrl+Home",
     "Go to First Frame of Movie File", "First Frame", 3, false},
    {ID_VIDEO_LAST, Menu::Video, "L&ast Frame\tCtrl+End", "Ctrl+End",
     "Go to Last Frame of Movie File", "Last Frame", 4, false},
    {ID_VIDEO_PREV, Menu::Video, "P&revious Frame\tCtrl+Left", "Ctrl+Left",
     "Go to Previous Frame of Movie File", "Previous Frame", 5, false},
    {ID_VIDEO_NEXT, Menu::Video, "&Next Frame\tCtrl+Right", "Ctrl+Right",
     "Go to Next Frame of Movie File", "Next Frame", 6, true},
    {ID_MARK_PREV, Menu::Video, "Pre&vious Mark\tCtrl+PageDown", "Ctrl+PgDown",
     "Go to Previous Mark(Starting/Intermediate Frame)", "Previous Mark", 7, false},
    {ID_MARK_NEXT, Menu::Video, "N&ext Mark\tCtrl+PageUp", "Ctrl+PgUp",
     "Go to Next Mark(Intermediate/Ending Frame)", "Next Mark", 8, false},
    {ID_ANCHOR_LIST, Menu::Anchor, "View Anchor &List...\tCtrl+L", "Ctrl+L", "View Anchor List",
     nullptr, -1, false},
    {ID_ANCHOR_NEW, Menu::Anchor, "&New Anchor...\tCtrl+N", "Ctrl+N", "Create New Anchor",
     "New Anchor", 9, false},
    {ID_ANCHOR_AUTO, Menu::Anchor, "&Automatic Setting\tCtrl+A", "Ctrl+A",
     "Set Anchor Automatically", "Automatic Setting", 10, false},
    {ID_ANCHOR_DELETE_FRAME, Menu::Anchor, "&Delete Frame\tDel", "Del", "Delete Frame",
     "Delete Frame", 11, false},
    {ID_LINK_PLAYER, Menu::Link, "Movie &Player", nullptr, "Call Movie Player", nullptr, -1, false},
    {ID_HELP_TOPICS, Menu::Help, "&Help Topics", "F1", "Help About Movie Marquill", nullptr, -1,
     true},
    {ID_APP_ABOUT, Menu::Help, "&About Movie Marquill...", nullptr,
     "Display program information, version number and copyright", nullptr, -1, false},
    {ID_VIDEO_REWIND, Menu::None, nullptr, nullptr, "Rewind Movie File", nullptr, -1, false},
    {ID_VIDEO_FASTFORWARD, Menu::None, nullptr, nullptr, "Fast Forward Movie File", nullptr, -1,
     false},
};

constexpr int kToolBar[] = {ID_VIDEO_PLAY,  ID_VIDEO_STOP,  0,
                            ID_VIDEO_FIRST, ID_VIDEO_LAST,  0,
                            ID_VIDEO_PREV,  ID_VIDEO_NEXT,  0,
                            ID_MARK_PREV,   ID_MARK_NEXT,   0,
                            ID_ANCHOR_NEW,  ID_ANCHOR_AUTO, ID_ANCHOR_DELETE_FRAME};

} // namespace

std::span<const CommandInfo> Commands() {
    return kCommands;
}

const CommandInfo* FindCommand(int id) {
    for (const CommandInfo& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

const char* MenuTitle(Menu menu) {
    switch (menu) {
    case Menu::File:
        return "&File";
    case Menu::Video:
        return "&Video";
    case Menu::Anchor:
        return "&Anchor";
    case Menu::Link:
        return "&Link";
    case Menu::Help:
        return "&Help";
    default:
        return "";
    }
}

std::span<const int> ToolBarSlots() {
    return kToolBar;
}

} // namespace qxm::editor
