#pragma once
// The editor's form: the movie picture with the movie window inside it, the current frame and
// frame span, the picture size, the current anchor's fields, the frame scroll bar, the frame
// bar and the marks bar. It owns the video and anchor commands and the editing operations the
// rest of the editor calls.
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "editor/shell/CAnchorMovieWnd.h"
#include "editor/view/EditState.h"
#include "editor/view/ManualSetting.h"

class QLineEdit;
class QScrollBar;
class QFrame;
class QLabel;

namespace qxm::editor {

class AnchorListDialog;
class FrameBar;
class MarksBar;
class NewAnchorDialog;

class CRivEviFV : public QWidget, public MovieWindowOwner {
    Q_OBJECT
public:
    explicit CRivEviFV(EditorContext& context, QWidget* parent = nullptr);
    ~CRivEviFV() override;

    // ---- commands ----
    bool CommandEnabled(int id) const;
    void OnCommand(int id);

    // ---- what the document and the movie window call ----
    CAnchorMovieWnd* movieWindow() const { return movieWnd_.get(); }
    // Creates the movie window inside the picture frame (once); false when the player control
    // cannot be created, after "Could not create QX-MOVIE Control !".
    bool CreateMovieWindow();
    void ShowOpenedMovie(const std::string& fileName, int32_t frameSpan);
    void ShowImageSize(int width, int height);
    void ClearAllFields();
    void ShowAnchorFields(int index);
    void ClearAnchorFields();
    void ShowRectAtFrame();
    std::optional<anchors::Rect> RectAtFrame(int32_t f) const;
    void PauseAndShow();
    void DeselectMark();
    void DeselectAnchor();
    void RedrawMarks(int index);
    void RepaintBars();
    // Makes the anchor current and shows it on its Starting Frame (open with an anchor ID, the
    // anchor list): fields, marks, and its first key frame's rectangle framed.
    void ActivateAnchor(int index);

    void PlayStateChanged(int state) override;
    void PositionChanged(int32_t frame) override;

    // ---- manual setting: the mouse in the picture ----
    void PictureLeftDown(int x, int y) override;
    void PictureLeftUp(int x, int y) override;
    void PictureMouseMove(int x, int y) override;
    // Make the current frame the current anchor's Starting or Ending Frame with CurrentRect.
    void SetStartingFrame();
    void SetEndingFrame();

    // ---- key-frame marks ----
    void MarkClick(const QPoint& formPoint);
    void PreviousMark();
    void NextMark();
    void DeleteFrame();
    // Goes to key frame i of the current anchor and frames its rectangle.
    void GoToMark(int i);
    QWidget* marksBar() const;

    // ---- dialogs, one object each for the whole run ----
    NewAnchorDialog& newAnchorDialog() { return *newAnchor_; }
    AnchorListDialog& anchorListDialog() { return *anchorList_; }

    int32_t frameSpan() const { return frameSpan_; }
    QScrollBar* frameScrollBar() const { return scroll_; }
    QLineEdit* field(int id) const;
    // Opens the manual (Help Topics).
    void ShowHelp();

signals:
    void playStateChanged(int state);
    void movieWindowFailed();

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void layoutControls();
    void onScrollAction(int action);
    void stepBy(bool backward, int32_t n);
    void goToEnd(CAVIWnd2::GoToKind kind);
    void newAnchor();
    void viewAnchorList();
    bool castOffUnfinishedAnchor();
    void save();
    bool movieOpen() const { return context_.state.MovieOpen; }
    // Manual setting.
    bool movieStill() const;
    anchors::AnchorRecord* currentAnchor();
    anchors::AnchorRecord* beginFrameSetting(int32_t& f);
    void commitLook();
    void takeRectAtFrame(int32_t f);
    void endMouseWork(int x, int y);
    void showZoneCursor(int x, int y);
    void markMovedTo(int i); // redraws the old selection black and selects i

    Grab grab_;
    int pressX_ = 0, pressY_ = 0;

    EditorContext& context_;
    int32_t frameSpan_ = 1;
    bool shownOnce_ = false;
    QFrame* picture_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    FrameBar* frameBar_ = nullptr;
    MarksBar* marksBar_ = nullptr;
    QLabel* zero_ = nullptr;
    QLabel* spanLabel_ = nullptr;
    std::unique_ptr<CAnchorMovieWnd> movieWnd_;
    std::unique_ptr<NewAnchorDialog> newAnchor_;
    std::unique_ptr<AnchorListDialog> anchorList_;
    QPointer<QWidget> help_;
};

} // namespace qxm::editor
