#pragma once
// Where the editor's dialogs and their controls go: the centring of a dialog over its parent
// window, and controls placed at positions given in dialog units.
#include <QPoint>
#include <QRect>

#include "platform/ui/DialogUnits.h"

class QWidget;

namespace qxm::editor {

// Top-left corner of a dialog centred over its parent: left = parent left + (parent width -
// dialog width) / 2, top likewise. A dialog that would stick out beyond the right or bottom
// edge of the screen is moved back onto it; then a left or top before the screen's left or top
// edge (0 on the primary screen) is put on that edge. Only the sizes of `dialog` matter.
QPoint centredOver(const QRect& dialog, const QRect& parent, const QRect& screen);

// Moves a top-level dialog by centredOver(): its own frame over the frame of its parent's
// window, on the parent's screen (without a parent: centred on its own screen).
void centreOverParent(QWidget& dialog);

// Pixels of a rectangle given in dialog units of the base units.
QRect dialogUnitRect(const QRect& units, const ui::DialogBaseUnits& base);

// Gives a control its resource id (property "controlId"; the object name is the id, or `name`
// for controls without one) and puts it at a rectangle given in dialog units.
void placeControl(QWidget& control, int id, const char* name, const QRect& units,
                  const ui::DialogBaseUnits& base);

} // namespace qxm::editor
