#include "player_control/anchors/AnchorTracking.h"

namespace qxm {

AnchorRef hitTestWithEnabled(const CDefAnchor& store, std::int32_t frame, AnchorPoint picturePoint,
                             std::string_view enabledId, AnchorRef selected) {
    if (!enabledId.empty() && store.IsCurrent(selected)) {
        AnchorRect rect;
        return store.FindAnchorAt(selected, frame, picturePoint, true, rect) ? selected
                                                                             : AnchorRef{};
    }
    return store.HitTestAnchors(frame, picturePoint, enabledId);
}

std::optional<AnchorRect> selectedFrameInWindow(const CDefAnchor& store, AnchorRef selected,
                                                std::int32_t frame, ScaleFactors scale) {
    AnchorRect rect;
    if (!store.FindAnchorAt(selected, frame, {}, false, rect)) return std::nullopt;
    return pictureToWindow(rect, scale);
}

CursorStep CursorTracker::track(const CDefAnchor& store, AnchorRef hit, bool changeCursor) {
    const AnchorRef h = store.IsCurrent(hit) ? hit : AnchorRef{};
    const bool hadAnchor = !under_.isNone();
    CursorStep step;
    if (h != under_) {
        if (hadAnchor) step.cursorOutId = underId_;
        if (h) step.cursorInId = store.Record(h)->id;
    }
    if (changeCursor) {
        if (h)
            step.cursor = CursorChange::InstallAnchorCursor;
        else if (hadAnchor)
            step.cursor = CursorChange::RestoreClassCursor;
    }
    under_ = h;
    underId_ = h ? store.Record(h)->id : std::string{};
    return step;
}

CursorStep CursorTracker::reset(bool changeCursor) {
    CursorStep step;
    if (!under_.isNone()) {
        step.cursorOutId = underId_;
        if (changeCursor) step.cursor = CursorChange::RestoreClassCursor;
    }
    under_ = {};
    underId_.clear();
    return step;
}

AnchorRef CursorTracker::under(const CDefAnchor& store) const {
    return store.IsCurrent(under_) ? under_ : AnchorRef{};
}

SelectionChange AnchorSelection::select(const CDefAnchor& store, AnchorRef r) {
    const AnchorRef next = store.IsCurrent(r) ? r : AnchorRef{};
    if (next == selected_) return {};
    SelectionChange change;
    change.changed = true;
    change.stopTimer = !selected_.isNone();
    change.startTimer = !next.isNone();
    selected_ = next;
    return change;
}

SelectionChange AnchorSelection::reset() {
    if (selected_.isNone()) return {};
    selected_ = {};
    return {true, true, false};
}

AnchorRef AnchorSelection::selected(const CDefAnchor& store) const {
    return store.IsCurrent(selected_) ? selected_ : AnchorRef{};
}

} // namespace qxm
