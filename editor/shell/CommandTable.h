#pragma once
// The editor's commands: menu text, keys, status-bar prompt, tool tip and tool-bar image, and
// the menus they stand in. The main frame builds its menus, accelerators and tool bar from it.
#include <span>

namespace qxm::editor {

enum class Menu { File, Video, Anchor, Link, Help, None };

struct CommandInfo {
    int id;
    Menu menu;
    const char* menuText;   // with & and a tab before the key's name; null: no menu item
    const char* keys;       // QKeySequence text, null for none
    const char* statusText; // the prompt in the status bar
    const char* toolTip;    // null when the command has no tool-bar button
    int image;              // index into the tool-bar images, -1 for none
    bool separatorAfter;    // in its menu
};

// Every command in menu order.
std::span<const CommandInfo> Commands();
const CommandInfo* FindCommand(int id);

// The menu titles, in menu-bar order.
const char* MenuTitle(Menu menu);

// The tool bar: command ids, 0 for a separator; slot 1 shows Play or Pause.
std::span<const int> ToolBarSlots();

} // namespace qxm::editor
