#pragma once
// The control's decisions around its anchors that need no window: which anchor a click or the
// cursor hits with the enabled anchor in force, what entering and leaving anchors fires and does
// to the cursor, and the selection with its frame timer. Everything is held as AnchorRef, so a
// list that is cleared or read again can never leave a reference to a freed record behind.
#include <optional>
#include <string>
#include <string_view>

#include "player_control/anchors/AnchorGeometry.h"
#include "player_control/anchors/DefAnchor.h"

namespace qxm {

// With an enabled anchor ID and a selection only the selected anchor is tested; otherwise every
// anchor is, filtered by the enabled ID. A stale selection counts as none.
AnchorRef hitTestWithEnabled(const CDefAnchor& store, std::int32_t frame, AnchorPoint picturePoint,
                             std::string_view enabledId, AnchorRef selected);

// The red frame of the selected anchor at a frame, in window pixels; none when nothing is
// selected (or the selection is stale) or the anchor has no rectangle at that frame.
std::optional<AnchorRect> selectedFrameInWindow(const CDefAnchor& store, AnchorRef selected,
                                                std::int32_t frame, ScaleFactors scale);

enum class CursorChange {
    None,
    InstallAnchorCursor, // load the anchor cursor if needed, install it on the renderer, set it
    RestoreClassCursor,  // put the engine window's class cursor (or the arrow) back and set it
};

// What one cursor check asks of the control, in this order: OnCursorOut, OnCursorIn, cursor.
struct CursorStep {
    std::optional<std::string> cursorOutId;
    std::optional<std::string> cursorInId;
    CursorChange cursor = CursorChange::None;
};

class CursorTracker {
public:
    // h is the hit of this check. The anchor under the cursor keeps its ID as a copy, so its
    // OnCursorOut can still be reported after the record is gone.
    CursorStep track(const CDefAnchor& store, AnchorRef hit, bool changeCursor);
    // For a list that was cleared or read again: forgets the anchor under the cursor and says
    // what leaving it means (its ID, and the class cursor back when the cursor changes).
    CursorStep reset(bool changeCursor);
    // The anchor under the cursor, or none (also when the list has changed since).
    AnchorRef under(const CDefAnchor& store) const;

private:
    AnchorRef under_;
    std::string underId_;
};

// Which effects a change of the selection has on the control.
struct SelectionChange {
    bool changed = false;
    bool stopTimer = false;  // an anchor was selected: kill the 200 ms timer, repaint the picture
    bool startTimer = false; // an anchor is now selected: draw its frame, start the timer
};

class AnchorSelection {
public:
    // Selects r (none to deselect). Selecting the current selection again changes nothing.
    SelectionChange select(const CDefAnchor& store, AnchorRef r);
    // For a list that was cleared or read again: drops the selection.
    SelectionChange reset();
    // The selected anchor, or none (also when the list has changed since).
    AnchorRef selected(const CDefAnchor& store) const;
    // Whether the selection's timer should run (it runs until the selection is dropped).
    bool timerRunning() const { return !selected_.isNone(); }

private:
    AnchorRef selected_;
};

} // namespace qxm
