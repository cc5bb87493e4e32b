#include "editor/view/CRivEviFV.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include "editor/anchors/AnchorFile.h"
#include "editor/shell/EditorTexts.h"
#include "editor/shell/dialogs/AnchorListDialog.h"
#include "editor/shell/dialogs/DialogPlacement.h"
#include "editor/shell/dialogs/NewAnchorDialog.h"
#include "editor/view/AutoSetting.h"
#include "editor/view/CommandIds.h"
#include "editor/view/FrameBars.h"
#include "editor/view/FrameMath.h"
#include "editor/view/HelpWindow.h"
#include "platform/codepage/CodePage.h"
#include "platform/prompter/Prompter.h"
#include "platform/ui/DialogUnits.h"
#include "platform/ui/SystemText.h"

namespace qxm::editor {

namespace {

// The form in dialog units, and its font.
constexpr QSize kFormUnits(209, 227);
constexpr const char* kFormFont = "Arial";
constexpr int kFormPointSize = 9;

constexpr int kPictureId = 1011;
constexpr int kScrollId = 1027;

struct FieldLayout {
    int id;
    QRect units;
    bool right;
};
constexpr FieldLayout kFields[] = {
    {1002, {5, 140, 57, 12}, false},  {1003, {68, 140, 24, 12}, true},
    {1004, {100, 140, 24, 12}, true}, {1033, {141, 140, 24, 12}, true},
    {1034, {176, 140, 24, 12}, true}, {1012, {50, 160, 74, 12}, false},
    {1014, {175, 160, 25, 12}, true}, {1013, {50, 175, 74, 12}, false},
    {1015, {175, 175, 25, 12}, true},
};

struct LabelLayout {
    int id;
    QRect units;
    const char* text;
};
constexpr LabelLayout kLabels[] = {
    {1010, {92, 143, 8, 8}, text::kSlash},
    {1032, {127, 142, 15, 10}, text::kSize},
    {1035, {167, 142, 8, 10}, text::kTimes},
    {1005, {5, 161, 45, 10}, text::kAnchorName},
    {1007, {127, 161, 47, 10}, text::kStartingFrame},
    {1006, {5, 177, 45, 8}, text::kAnchorId},
    {1008, {127, 177, 47, 8}, text::kEndingFrame},
};

QString number(int32_t v) {
    return QString::number(v);
}

} // namespace

CRivEviFV::CRivEviFV(EditorContext& context, QWidget* parent) : QWidget(parent), context_(context) {
    setObjectName("CRivEviFV");
    setFont(ui::dialogFont(kFormFont, kFormPointSize));
    layoutControls();
    newAnchor_ = std::make_unique<NewAnchorDialog>(this);
    anchorList_ = std::make_unique<AnchorListDialog>(this);
}

CRivEviFV::~CRivEviFV() {
    // The movie window goes before the form's children it lives in.
    movieWnd_.reset();
}

void CRivEviFV::layoutControls() {
    const ui::DialogBaseUnits base = ui::dialogBaseUnits(font());
    setFixedSize(ui::dialogUnitsToPixels(kFormUnits, base));

    picture_ = new QFrame(this);
    picture_->setFrameStyle(QFrame::Box | QFrame::Plain);
    picture_->setStyleSheet("QFrame#1011 { border: 1px solid black; }");
    placeControl(*picture_, kPictureId, nullptr, {12, 4, 186, 132}, base);

    for (const FieldLayout& f : kFields) {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setAlignment(f.right ? Qt::AlignRight : Qt::AlignLeft);
        placeControl(*edit, f.id, nullptr, f.units, base);
    }
    for (const LabelLayout& l : kLabels) {
        auto* label = new QLabel(ui::fromSystem(l.text), this);
        placeControl(*label, l.id, nullptr, l.units, base);
    }
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setRange(0, 100);
    scroll_->setSingleStep(1);
    scroll_->setPageStep(10);
    scroll_->setEnabled(false);
    scroll_->setFocusPolicy(Qt::NoFocus);
    placeControl(*scroll_, kScrollId, nullptr, {10, 190, 190, 10}, base);
    connect(scroll_, &QScrollBar::actionTriggered, this, &CRivEviFV::onScrollAction);

    zero_ = new QLabel(this);
    zero_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    placeControl(*zero_, 1018, nullptr, {4, 203, 13, 10}, base);
    frameBar_ = new FrameBar(context_, frameSpan_, this);
    placeControl(*frameBar_, 1017, nullptr, {20, 202, 171, 8}, base);
    spanLabel_ = new QLabel(this);
    spanLabel_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    placeControl(*spanLabel_, 1019, nullptr, {192, 203, 15, 10}, base);
    marksBar_ = new MarksBar(context_, frameSpan_, this);
    placeControl(*marksBar_, 1025, nullptr, {17, 213, 176, 9}, base);
}

QLineEdit* CRivEviFV::field(int id) const {
    return findChild<QLineEdit*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

// ---- first showing -------------------------------------------------------------------------

void CRivEviFV::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    if (!CreateMovieWindow()) {
        prompt(text::kNoControl, text::kProgramTitle, Buttons::Ok, Icon::Warning);
        emit movieWindowFailed();
    }
}

bool CRivEviFV::CreateMovieWindow() {
    if (movieWnd_) return true;
    auto wnd = std::make_unique<CAnchorMovieWnd>(context_, *this);
    if (wnd->Create(picture_, 1, 1) != 0) return false;
    movieWnd_ = std::move(wnd);
    return true;
}

// ---- fields --------------------------------------------------------------------------------

void CRivEviFV::ShowOpenedMovie(const std::string& fileName, int32_t frameSpan) {
    frameSpan_ = frameSpan;
    field(1002)->setText(ui::fromSystem(fileName));
    field(1003)->setText("0");
    field(1004)->setText(number(frameSpan));
    zero_->setText("0");
    spanLabel_->setText(number(frameSpan));
    scroll_->setRange(0, 100);
    scroll_->setValue(0);
    scroll_->setEnabled(true);
}

void CRivEviFV::ShowImageSize(int width, int height) {
    field(1033)->setText(number(width));
    field(1034)->setText(number(height));
}

void CRivEviFV::ClearAllFields() {
    for (const FieldLayout& f : kFields)
        field(f.id)->clear();
    zero_->clear();
    spanLabel_->clear();
    scroll_->setValue(0);
    scroll_->setEnabled(false);
    update();
    RepaintBars();
}

void CRivEviFV::ShowAnchorFields(int index) {
    if (index < 0 || std::size_t(index) >= context_.table.size()) return;
    const anchors::AnchorRecord& a = context_.table[std::size_t(index)];
    field(1012)->setText(ui::fromSystem(a.Name));
    field(1013)->setText(ui::fromSystem(a.ID));
    field(1014)->setText(number(a.StartFrame));
    field(1015)->setText(number(a.EndFrame));
    RedrawMarks(index);
}

void CRivEviFV::ClearAnchorFields() {
    for (int id : {1012, 1013, 1014, 1015})
        field(id)->clear();
}

void CRivEviFV::RepaintBars() {
    frameBar_->repaint();
    marksBar_->repaint();
}

void CRivEviFV::RedrawMarks(int index) {
    if (index >= 0) RepaintBars();
}

// ---- editing operations --------------------------------------------------------------------

std::optional<anchors::Rect> CRivEviFV::RectAtFrame(int32_t f) const {
    const int current = context_.table.CurrentAnchor;
    if (current < 0 || std::size_t(current) >= context_.table.size()) return std::nullopt;
    return editor::RectAtFrame(context_.table[std::size_t(current)], f);
}

void CRivEviFV::ShowRectAtFrame() {
    EditState& s = context_.state;
    const int current = context_.table.CurrentAnchor;
    std::optional<anchors::Rect> rect;
    if (movieWnd_ && movieWnd_->IsLoaded() && current >= 0 &&
        std::size_t(current) < context_.table.size()) {
        const int32_t f = movieWnd_->CurrentFrame();
        if (FrameInAnchorRange(context_.table[std::size_t(current)], f)) rect = RectAtFrame(f);
    }
    s.RectDragging = false;
    if (rect) {
        s.CurrentRect = *rect;
        movieWnd_->FrameCurrentRect();
    } else {
        s.RectShown = false;
        if (movieWnd_) movieWnd_->Redraw();
    }
}

void CRivEviFV::PauseAndShow() {
    if (movieWnd_) movieWnd_->Pause();
    if (context_.state.StartSet) ShowRectAtFrame();
}

void CRivEviFV::DeselectMark() {
    EditState& s = context_.state;
    const int current = context_.table.CurrentAnchor;
    const bool redraw =
        current >= 0 && std::size_t(current) < context_.table.size() && s.MarkSelected &&
        uint32_t(s.SelectedMark) < context_.table[std::size_t(current)].EntryCount();
    s.MarkSelected = false;
    s.SelectedMark = -1;
    if (redraw) marksBar_->repaint();
}

void CRivEviFV::DeselectAnchor() {
    EditState& s = context_.state;
    s.drawMode = DrawMode::Idle;
    if (context_.table.CurrentAnchor == -1) return;
    s.RectShown = s.AnchorActive = s.StartSet = s.EndSet = false;
    context_.table.CurrentAnchor = -1;
    RepaintBars();
    if (movieWnd_) movieWnd_->Redraw();
    ClearAnchorFields();
}

void CRivEviFV::ActivateAnchor(int index) {
    if (index < 0 || std::size_t(index) >= context_.table.size() || !movieWnd_) return;
    EditState& s = context_.state;
    context_.table.CurrentAnchor = index;
    const anchors::AnchorRecord& a = context_.table[std::size_t(index)];
    movieWnd_->GoTo(CAVIWnd2::GoToKind::Frame, a.StartFrame);
    s.AnchorActive = s.StartSet = true;
    ShowAnchorFields(index);
    // An anchor read from a file may come without key frames: nothing to frame then.
    if (!a.Entries.empty()) {
        s.CurrentRect = a.Entries.front().rect();
        movieWnd_->FrameCurrentRect();
    } else {
        s.RectShown = false;
        movieWnd_->Redraw();
    }
}

// ---- movie window notifications ------------------------------------------------------------

void CRivEviFV::PlayStateChanged(int state) {
    EditState& s = context_.state;
    switch (state) {
    case kStateStopped:
        s.Playing = false;
        break;
    case kStateRunning:
    case kStatePositioning:
        s.Playing = true;
        break;
    case kStatePaused:
        s.Playing = false;
        break;
    default:
        return;
    }
    emit playStateChanged(state);
    if (state == kStatePaused) PauseAndShow();
}

void CRivEviFV::PositionChanged(int32_t frame) {
    if (!movieWnd_) return;
    const int32_t first = movieWnd_->first(), last = movieWnd_->last();
    if (last - first != 0) {
        field(1003)->setText(number(frame));
        scroll_->setValue(ScrollPositionOfFrame(frame, first, last));
        if (frame == last && context_.state.StartSet) ShowRectAtFrame();
    }
    frameBar_->update();
}

// ---- scroll bar ----------------------------------------------------------------------------

void CRivEviFV::onScrollAction(int action) {
    if (action == QAbstractSlider::SliderNoAction) return;
    const int before = scroll_->value();
    const int thumb = std::clamp(scroll_->sliderPosition(), scroll_->minimum(), scroll_->maximum());
    // The bar moves only with the movie's position: undo Qt's own step first.
    scroll_->setSliderPosition(before);
    PauseAndShow();
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        OnCommand(ID_VIDEO_PREV);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        OnCommand(ID_VIDEO_NEXT);
        break;
    case QAbstractSlider::SliderPageStepSub:
        OnCommand(ID_VIDEO_REWIND);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        OnCommand(ID_VIDEO_FASTFORWARD);
        break;
    case QAbstractSlider::SliderToMinimum:
        goToEnd(CAVIWnd2::GoToKind::First);
        break;
    case QAbstractSlider::SliderToMaximum:
        goToEnd(CAVIWnd2::GoToKind::Last);
        break;
    case QAbstractSlider::SliderMove:
        if (thumb != before && movieWnd_ && movieWnd_->IsLoaded()) {
            movieWnd_->GoTo(CAVIWnd2::GoToKind::Frame,
                            FrameOfThumb(thumb, movieWnd_->first(), movieWnd_->last()));
            if (context_.state.StartSet) ShowRectAtFrame();
        }
        break;
    default:
        break;
    }
    scroll_->setSliderPosition(scroll_->value());
}

// ---- commands ------------------------------------------------------------------------------

bool CRivEviFV::CommandEnabled(int id) const {
    const EditState& s = context_.state;
    switch (id) {
    case ID_VIDEO_PLAY:
        return s.MovieOpen && !s.Playing;
    case ID_VIDEO_PAUSE:
        return s.MovieOpen && s.Playing;
    case ID_VIDEO_STOP:
    case ID_VIDEO_FIRST:
    case ID_VIDEO_LAST:
    case ID_VIDEO_PREV:
    case ID_VIDEO_NEXT:
    case ID_ANCHOR_NEW:
        return s.MovieOpen;
    case ID_ANCHOR_LIST:
        return s.MovieOpen && !context_.table.empty();
    case ID_FILE_SAVE:
        return s.MovieOpen && !context_.table.AnchorDataSaved;
    case ID_VIDEO_REWIND:
    case ID_VIDEO_FASTFORWARD:
    case ID_HELP_TOPICS:
        return true;
    case ID_MARK_PREV:
    case ID_MARK_NEXT:
        return s.MovieOpen && s.StartSet;
    case ID_ANCHOR_AUTO:
        return context_.TrackingLoaded && s.PictureKnown && s.EndSet && s.MovieOpen && movieWnd_ &&
               movieWnd_->trackable();
    case ID_ANCHOR_DELETE_FRAME: {
        const int current = context_.table.CurrentAnchor;
        return s.MovieOpen && current != -1 && s.MarkSelected &&
               std::size_t(current) < context_.table.size() &&
               uint32_t(s.SelectedMark) < context_.table[std::size_t(current)].EntryCount();
    }
    default:
        return false;
    }
}

void CRivEviFV::stepBy(bool backward, int32_t n) {
    DeselectMark();
    PauseAndShow();
    if (movieWnd_) movieWnd_->Step(backward, n);
    if (context_.state.StartSet) ShowRectAtFrame();
}

void CRivEviFV::goToEnd(CAVIWnd2::GoToKind kind) {
    if (movieWnd_) movieWnd_->GoTo(kind);
    if (context_.state.StartSet) ShowRectAtFrame();
}

void CRivEviFV::OnCommand(int id) {
    EditState& s = context_.state;
    auto fastStep = [this] {
        return movieWnd_ ? FastStepFrames(movieWnd_->first(), movieWnd_->last()) : 1;
    };
    switch (id) {
    case ID_VIDEO_PLAY:
        s.drawMode = DrawMode::Idle;
        s.RectShown = s.RectDragging = false;
        DeselectMark();
        if (movieWnd_) {
            movieWnd_->Redraw();
            movieWnd_->Play(-1);
        }
        break;
    case ID_VIDEO_PAUSE:
        PauseAndShow();
        break;
    case ID_VIDEO_STOP:
        s.drawMode = DrawMode::Idle;
        if (movieWnd_) movieWnd_->Stop();
        if (s.StartSet) ShowRectAtFrame();
        DeselectMark();
        break;
    case ID_VIDEO_FIRST:
    case ID_VIDEO_LAST:
        goToEnd(id == ID_VIDEO_FIRST ? CAVIWnd2::GoToKind::First : CAVIWnd2::GoToKind::Last);
        DeselectMark();
        break;
    case ID_VIDEO_PREV:
        stepBy(true, 1);
        break;
    case ID_VIDEO_NEXT:
        stepBy(false, 1);
        break;
    case ID_VIDEO_REWIND:
        stepBy(true, fastStep());
        break;
    case ID_VIDEO_FASTFORWARD:
        stepBy(false, fastStep());
        break;
    case ID_ANCHOR_NEW:
        newAnchor();
        break;
    case ID_ANCHOR_LIST:
        viewAnchorList();
        break;
    case ID_FILE_SAVE:
        save();
        break;
    case ID_HELP_TOPICS:
        PauseAndShow();
        ShowHelp();
        break;
    case ID_MARK_PREV:
        PreviousMark();
        break;
    case ID_MARK_NEXT:
        NextMark();
        break;
    case ID_ANCHOR_DELETE_FRAME:
        DeleteFrame();
        break;
    case ID_ANCHOR_AUTO:
        RunAutomaticSetting(context_, *this);
        break;
    default:
        break;
    }
}

void CRivEviFV::ShowHelp() {
    const bool first = !help_;
    if (first) help_ = HelpWindow::open(window());
    help_->show();
    if (first) centreOverParent(*help_);
    help_->raise();
    help_->activateWindow();
}

// Asks before dropping a current anchor that lacks its Starting or Ending Frame; false when
// the author keeps it (the command then ends).
bool CRivEviFV::castOffUnfinishedAnchor() {
    const int current = context_.table.CurrentAnchor;
    if (current < 0 || std::size_t(current) >= context_.table.size()) return true;
    const anchors::AnchorRecord& a = context_.table[std::size_t(current)];
    if (a.StartFrame != -1 && a.EndFrame != -1) return true;
    if (prompt(text::kCastOffQuestion, text::kCastOffCaption, Buttons::YesNoCancel,
               Icon::Question) != Answer::Yes)
        return false;
    EditState& s = context_.state;
    s.RectShown = s.AnchorActive = s.StartSet = s.EndSet = false;
    // The unfinished anchor is usually the last record, but Delete Frame can leave any anchor
    // unfinished: the current record is the one the question is about.
    context_.table.Remove(std::size_t(current));
    context_.table.CurrentAnchor = -1;
    RepaintBars();
    if (movieWnd_) movieWnd_->Redraw();
    ClearAnchorFields();
    return true;
}

void CRivEviFV::newAnchor() {
    EditState& s = context_.state;
    PauseAndShow();
    s.drawMode = DrawMode::Idle;
    if (!castOffUnfinishedAnchor()) return;
    if (context_.table.size() >= anchors::kMaxObject) {
        prompt(anchors::text::kTooManyAnchors, anchors::text::kNewAnchorCaption, Buttons::Ok,
               Icon::Warning);
        return;
    }
    DeselectMark();
    if (newAnchor_->Run(context_.table) != QDialog::Accepted || newAnchor_->Name.empty() ||
        newAnchor_->ID.empty())
        return;
    if (context_.table.Append(newAnchor_->ID, newAnchor_->Name) != anchors::EditResult::Ok) return;
    field(1012)->setText(ui::fromSystem(newAnchor_->Name));
    field(1013)->setText(ui::fromSystem(newAnchor_->ID));
    field(1014)->clear();
    field(1015)->clear();
    s.AnchorActive = true;
    context_.table.AnchorDataSaved = false;
    context_.table.CurrentAnchor = int(context_.table.size()) - 1;
    s.EndSet = s.RectShown = s.RectDragging = false;
    RepaintBars();
    if (movieWnd_) movieWnd_->Redraw();
}

namespace {

// The ID in a list entry "Name[ID]": the text between the last '[' and the final ']', so that
// names holding '[' still find their anchor. Empty when the entry has no such brackets.
std::string idOfEntry(const std::string& entry) {
    if (entry.empty() || entry.back() != ']') return {};
    const std::size_t open = codepage::findLastOf(entry, "[");
    if (open == std::string::npos) return {};
    return entry.substr(open + 1, entry.size() - open - 2);
}

} // namespace

void CRivEviFV::viewAnchorList() {
    EditState& s = context_.state;
    PauseAndShow();
    s.drawMode = DrawMode::Idle;
    if (!castOffUnfinishedAnchor()) return;
    DeselectMark();
    if (anchorList_->Run(context_.table) != QDialog::Accepted) return;
    const std::string entry = anchorList_->SelectedText;
    if (entry.empty()) {
        DeselectAnchor();
        s.RectShown = s.AnchorActive = s.StartSet = s.EndSet = false;
        return;
    }
    RepaintBars();
    const int index = context_.table.FindByID(idOfEntry(entry));
    if (index < 0) {
        context_.table.CurrentAnchor = -1;
        s.RectShown = s.AnchorActive = s.StartSet = s.EndSet = false;
        if (movieWnd_) movieWnd_->Redraw();
        return;
    }
    const anchors::AnchorRecord& a = context_.table[std::size_t(index)];
    s.EndSet = a.EndFrame != a.StartFrame;
    ActivateAnchor(index);
}

void CRivEviFV::save() {
    DeselectMark();
    if (!anchors::WriteAnchorFile(context_.table, context_.doc.AnchorFolder,
                                  context_.doc.AnchorBaseName))
        return;
    EditState& s = context_.state;
    s.drawMode = DrawMode::Idle;
    // An unfinished current anchor is not saved and leaves the table with the save.
    if (context_.table.CurrentAnchor == -1 && s.AnchorActive) {
        s.RectShown = s.AnchorActive = s.StartSet = s.EndSet = false;
        ClearAnchorFields();
        RepaintBars();
        if (movieWnd_) movieWnd_->Redraw();
    }
}

void CRivEviFV::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) context_.state.drawMode = DrawMode::Idle;
    QWidget::mousePressEvent(event);
}

void CRivEviFV::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) MarkClick(event->position().toPoint());
    QWidget::mouseReleaseEvent(event);
}

} // namespace qxm::editor
