// The form's key-frame marks: selecting a mark with the mouse, stepping from mark to mark and
// deleting the selected key frame.
#include <QLineEdit>

#include "editor/view/CRivEviFV.h"
#include "editor/view/FrameBars.h"

namespace qxm::editor {

namespace {

uint32_t u(int32_t v) {
    return static_cast<uint32_t>(v);
}

} // namespace

QWidget* CRivEviFV::marksBar() const {
    return marksBar_;
}

void CRivEviFV::GoToMark(int i) {
    anchors::AnchorRecord* a = currentAnchor();
    if (!a || !movieWnd_ || i < 0 || std::size_t(i) >= a->Entries.size()) return;
    const anchors::FrameEntry entry = a->Entries[std::size_t(i)];
    movieWnd_->GoTo(CAVIWnd2::GoToKind::Frame, entry.Frame);
    context_.state.CurrentRect = entry.rect();
    movieWnd_->FrameCurrentRect();
}

void CRivEviFV::markMovedTo(int i) {
    EditState& s = context_.state;
    s.MarkSelected = true;
    s.SelectedMark = i;
    marksBar_->repaint(); // the old mark black, the new one red
}

void CRivEviFV::MarkClick(const QPoint& p) {
    EditState& s = context_.state;
    anchors::AnchorRecord* a = currentAnchor();
    if (!s.MovieOpen || !a || a->StartFrame == -1 || a->EndFrame == -1) return;
    const QRect bar = marksBar_->geometry();
    if (p.x() < bar.left() || p.x() > bar.left() + bar.width() || p.y() < bar.top() ||
        p.y() > bar.top() + bar.height())
        return;
    const int hit =
        MarkAt(*a, p.x() - bar.left(), p.y() - bar.top(), bar.width(), bar.height(), frameSpan_);
    if (hit >= 0) {
        markMovedTo(hit);
        if (movieWnd_)
            movieWnd_->GoTo(CAVIWnd2::GoToKind::Frame, a->Entries[std::size_t(hit)].Frame);
        if (s.StartSet) ShowRectAtFrame();
    }
    if (s.RectDragging) {
        commitLook();
        s.AnchorActive = true;
    }
}

void CRivEviFV::PreviousMark() {
    EditState& s = context_.state;
    if (s.MarkSelected) {
        if (s.SelectedMark <= 0) return;
        GoToMark(s.SelectedMark - 1);
        markMovedTo(s.SelectedMark - 1);
        return;
    }
    PauseAndShow();
    anchors::AnchorRecord* a = currentAnchor();
    if (!a || !movieWnd_) return;
    const int32_t f = movieWnd_->CurrentFrame();
    if (f == a->StartFrame || !s.AnchorActive) return;
    int found = -1;
    for (std::size_t i = 0; i < a->Entries.size(); ++i)
        if (u(a->Entries[i].Frame) < u(f)) found = int(i);
    if (found < 0) return;
    s.MarkSelected = true;
    if (s.EndSet) {
        GoToMark(found);
        markMovedTo(found);
    } else {
        GoToMark(0); // one key frame so far: it is the only place to go
    }
}

void CRivEviFV::NextMark() {
    EditState& s = context_.state;
    anchors::AnchorRecord* a = currentAnchor();
    if (s.MarkSelected) {
        if (!a || s.SelectedMark == -1 || std::size_t(s.SelectedMark) + 1 >= a->Entries.size())
            return;
        GoToMark(s.SelectedMark + 1);
        markMovedTo(s.SelectedMark + 1);
        return;
    }
    PauseAndShow();
    if (!a || !movieWnd_) return;
    const int32_t f = movieWnd_->CurrentFrame();
    if (f == a->EndFrame || !s.AnchorActive) return;
    for (std::size_t i = 0; i < a->Entries.size(); ++i)
        if (u(a->Entries[i].Frame) > u(f)) {
            GoToMark(int(i));
            markMovedTo(int(i));
            return;
        }
}

void CRivEviFV::DeleteFrame() {
    EditState& s = context_.state;
    anchors::AnchorRecord* a = currentAnchor();
    if (s.SelectedMark == -1 || !s.MovieOpen || !a) return;
    const std::size_t index = std::size_t(context_.table.CurrentAnchor);
    const int32_t oldStart = a->StartFrame, oldEnd = a->EndFrame;
    if (context_.table.RemoveKeyFrame(index, std::size_t(s.SelectedMark)) !=
        anchors::EditResult::Ok)
        return;
    s.MarkSelected = false;
    s.SelectedMark = -1;
    if (a->Entries.size() < 2) {
        // The Starting or Ending Frame of a two-entry anchor went: what is left is one key frame
        // held as Starting and Ending Frame at once, or, when that was already the case, nothing.
        if (a->Entries.empty()) a->Entries.resize(1);
        if (!s.EndSet || oldStart == oldEnd) {
            a->StartFrame = a->EndFrame = -1;
        } else {
            a->StartFrame = a->EndFrame = a->Entries.front().Frame;
        }
        a->Entries.resize(2, a->Entries.front());
        a->Entries.back().Frame = a->Entries.front().Frame;
        s.EndSet = false;
    }
    field(1014)->setText(a->StartFrame == -1 ? QString() : QString::number(a->StartFrame));
    field(1015)->setText(s.EndSet ? QString::number(a->EndFrame) : QString());
    RedrawMarks(int(index));
    if (s.StartSet) {
        ShowRectAtFrame();
        if (movieWnd_) movieWnd_->Redraw();
    }
    if (movieWnd_) movieWnd_->SetPictureCursor(Qt::ArrowCursor);
    context_.table.AnchorDataSaved = false;
}

} // namespace qxm::editor
