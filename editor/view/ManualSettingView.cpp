// The form's manual setting: drawing a new rectangle in the picture, moving and resizing the
// framed one, and the key frames that follow from it.
#include <QLineEdit>

#include "editor/view/CRivEviFV.h"
#include "editor/view/FrameMath.h"

namespace qxm::editor {

namespace {

Qt::CursorShape cursorOf(DragZone zone) {
    switch (zone) {
    case DragZone::TopLeft:
    case DragZone::BottomRight:
        return Qt::SizeFDiagCursor;
    case DragZone::TopRight:
    case DragZone::BottomLeft:
        return Qt::SizeBDiagCursor;
    case DragZone::Top:
    case DragZone::Bottom:
        return Qt::SizeVerCursor;
    case DragZone::Left:
    case DragZone::Right:
        return Qt::SizeHorCursor;
    case DragZone::Move:
        return Qt::SizeAllCursor;
    case DragZone::None:
        break;
    }
    return Qt::ArrowCursor;
}

uint32_t u(int32_t v) {
    return static_cast<uint32_t>(v);
}

} // namespace

anchors::AnchorRecord* CRivEviFV::currentAnchor() {
    const int current = context_.table.CurrentAnchor;
    if (current < 0 || std::size_t(current) >= context_.table.size()) return nullptr;
    return &context_.table.at(std::size_t(current));
}

bool CRivEviFV::movieStill() const {
    return movieWnd_ && movieWnd_->IsLoaded() &&
           (movieWnd_->playState() == kStateStopped || movieWnd_->playState() == kStatePaused);
}

// The frame in red once more, as a finished edit leaves it.
void CRivEviFV::commitLook() {
    EditState& s = context_.state;
    context_.table.AnchorDataSaved = false;
    grab_ = {};
    if (s.drawMode == DrawMode::Armed) s.drawMode = DrawMode::Idle;
    s.RectDragging = false;
    if (movieWnd_) movieWnd_->FrameCurrentRect();
}

// The key frame lying on frame f, if any, takes CurrentRect.
void CRivEviFV::takeRectAtFrame(int32_t f) {
    anchors::AnchorRecord* a = currentAnchor();
    if (!a || !FrameInAnchorRange(*a, f)) return;
    for (anchors::FrameEntry& e : a->Entries)
        if (e.Frame == f) {
            e.setRect(context_.state.CurrentRect);
            context_.table.AnchorDataSaved = false;
            return;
        }
}

void CRivEviFV::showZoneCursor(int x, int y) {
    if (movieWnd_) movieWnd_->SetPictureCursor(cursorOf(ZoneAt(context_.state.CurrentRect, x, y)));
}

void CRivEviFV::endMouseWork(int x, int y) {
    if (!movieWnd_) return;
    movieWnd_->SetDragOutline(std::nullopt);
    showZoneCursor(x, y);
    movieWnd_->ConfineMouse(false);
    context_.state.MovieOpen = true;
}

void CRivEviFV::PictureLeftDown(int x, int y) {
    EditState& s = context_.state;
    if (!movieWnd_) return;
    if (currentAnchor() && s.MovieOpen && movieStill()) {
        const int32_t f = movieWnd_->CurrentFrame();
        s.drawMode = FrameInAnchorRange(*currentAnchor(), f) ? DrawMode::Idle : DrawMode::Armed;
        DeselectMark();
    }
    if (s.drawMode == DrawMode::Armed) {
        movieWnd_->SetPictureCursor(Qt::CrossCursor);
        pressX_ = x;
        pressY_ = y;
        movieWnd_->SetDragOutline(std::nullopt);
        s.drawMode = DrawMode::Drawing;
        movieWnd_->ConfineMouse(true);
        s.MovieOpen = false;
        return;
    }
    if (s.RectShown && Contains(s.CurrentRect, x, y)) {
        grab_ = GrabAt(s.CurrentRect, x, y);
        s.RectDragging = true;
        s.AnchorActive = false;
        movieWnd_->SetDragOutline(std::nullopt);
        movieWnd_->ConfineMouse(true);
        s.MovieOpen = false;
        movieWnd_->SetPictureCursor(cursorOf(grab_.zone));
    }
}

void CRivEviFV::PictureMouseMove(int x, int y) {
    EditState& s = context_.state;
    if (!movieWnd_) return;
    if (s.drawMode == DrawMode::Armed) {
        movieWnd_->SetPictureCursor(Qt::CrossCursor);
    } else if (s.drawMode == DrawMode::Drawing) {
        movieWnd_->SetPictureCursor(Qt::CrossCursor);
        movieWnd_->SetDragOutline(RectOfPoints(pressX_, pressY_, x, y));
    } else if (s.RectShown && s.RectDragging) {
        movieWnd_->SetPictureCursor(cursorOf(grab_.zone));
        movieWnd_->SetDragOutline(DragCandidate(s.CurrentRect, grab_, x, y));
    } else if (s.RectShown && movieStill() && currentAnchor() && Contains(s.CurrentRect, x, y)) {
        showZoneCursor(x, y);
    }
}

void CRivEviFV::PictureLeftUp(int x, int y) {
    EditState& s = context_.state;
    if (!movieWnd_) return;
    anchors::AnchorRecord* a = currentAnchor();
    if (s.RectDragging) {
        s.CurrentRect = DragCandidate(s.CurrentRect, grab_, x, y);
        commitLook();
        s.AnchorActive = true;
        const int32_t f = movieWnd_->CurrentFrame();
        if (a) {
            takeRectAtFrame(f);
            if (u(a->StartFrame) < u(f) && u(f) < u(a->EndFrame)) {
                context_.table.InsertKeyFrame(std::size_t(context_.table.CurrentAnchor), f,
                                              s.CurrentRect);
                RedrawMarks(context_.table.CurrentAnchor);
            }
        }
        endMouseWork(x, y);
        return;
    }
    if (s.drawMode != DrawMode::Drawing) return;
    if (x == pressX_ && y == pressY_) {
        s.CurrentRect = {};
        commitLook();
        s.drawMode = DrawMode::Idle;
        endMouseWork(x, y);
        return;
    }
    s.CurrentRect = ConstrainRect(RectOfPoints(pressX_, pressY_, x, y), DragZone::None);
    commitLook();
    const int32_t f = movieWnd_->CurrentFrame();
    takeRectAtFrame(f);
    s.drawMode = DrawMode::Idle;
    endMouseWork(x, y);
    if (a) {
        if (u(f) < u(a->StartFrame))
            SetStartingFrame();
        else
            SetEndingFrame();
    }
    movieWnd_->FrameCurrentRect();
}

// What setting a Starting or Ending Frame begins with: the movie paused on frame f and the
// current anchor with its two entries at least; null when there is none.
anchors::AnchorRecord* CRivEviFV::beginFrameSetting(int32_t& f) {
    DeselectMark();
    PauseAndShow();
    anchors::AnchorRecord* a = currentAnchor();
    if (!a || !movieWnd_) return nullptr;
    f = movieWnd_->CurrentFrame();
    if (a->Entries.size() < 2) a->Entries.resize(2);
    return a;
}

void CRivEviFV::SetStartingFrame() {
    EditState& s = context_.state;
    int32_t f = 0;
    anchors::AnchorRecord* a = beginFrameSetting(f);
    if (!a) return;
    const std::size_t index = std::size_t(context_.table.CurrentAnchor);
    if (a->StartFrame == -1) {
        a->Entries.front().Frame = f;
        a->Entries.front().setRect(s.CurrentRect);
        a->StartFrame = f;
        if (!s.EndSet) {
            a->EndFrame = f;
            a->Entries.back().Frame = f;
        }
    } else if (s.EndSet && a->StartFrame != a->EndFrame) {
        if (context_.table.InsertKeyFrame(index, f, s.CurrentRect) != anchors::EditResult::Ok)
            return;
    } else {
        a->Entries.back() = a->Entries.front();
        a->EndFrame = a->StartFrame;
        a->Entries.front().Frame = f;
        a->Entries.front().setRect(s.CurrentRect);
        a->StartFrame = f;
        field(1015)->setText(QString::number(a->EndFrame));
        s.EndSet = true;
    }
    field(1014)->setText(QString::number(a->StartFrame));
    s.StartSet = true;
    context_.table.AnchorDataSaved = false;
    RedrawMarks(int(index));
}

void CRivEviFV::SetEndingFrame() {
    EditState& s = context_.state;
    int32_t f = 0;
    anchors::AnchorRecord* a = beginFrameSetting(f);
    if (!a) return;
    const std::size_t index = std::size_t(context_.table.CurrentAnchor);
    if (s.EndSet && a->StartFrame != a->EndFrame) {
        if (context_.table.InsertKeyFrame(index, f, s.CurrentRect) != anchors::EditResult::Ok)
            return;
    } else {
        a->Entries.back().Frame = f;
        a->Entries.back().setRect(s.CurrentRect);
        a->EndFrame = f;
    }
    field(1015)->setText(QString::number(a->EndFrame));
    s.EndSet = true;
    context_.table.AnchorDataSaved = false;
    RedrawMarks(int(index));
}

} // namespace qxm::editor
