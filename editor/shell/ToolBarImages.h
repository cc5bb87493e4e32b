#pragma once
// The twelve tool-bar images, drawn in code (16 x 15 pixels each): 0 Stop, 1 Pause, 2 Play,
// 3 First Frame, 4 Last Frame, 5 Previous Frame, 6 Next Frame, 7 Previous Mark, 8 Next Mark,
// 9 New Anchor, 10 Automatic Setting, 11 Delete Frame.
#include <QIcon>
#include <QPixmap>

namespace qxm::editor {

inline constexpr int kToolBarImageCount = 12;
inline constexpr int kToolBarImageWidth = 16;
inline constexpr int kToolBarImageHeight = 15;

QPixmap ToolBarImage(int index);
// The same as icons, drawn once.
QIcon ToolBarIcon(int index);

} // namespace qxm::editor
