#pragma once
// The cursor shown over anchors: read from a cursor file (static or animated) or the module's
// own cursor 204, turned into QCursors, and installed on a window. An animated cursor steps
// through its frames on a timer for as long as it is installed.
#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

#include "player_control/cursors/CursorFile.h"

namespace qxm::qxmovie {

class AnchorCursor : public QObject {
    Q_OBJECT
public:
    AnchorCursor();

    // Loads file (when not empty and readable) or else the built-in cursor. Returns true when
    // the file itself was used.
    bool load(const std::string& file);
    bool loaded() const { return !frames_.empty(); }
    bool animated() const { return steps_.size() > 1; }
    bool fromFile() const { return fromFile_; }
    std::size_t frameCount() const { return frames_.size(); }
    // The cursor of the current animation step (the only one of a static cursor).
    QCursor current() const;
    std::size_t currentStep() const { return step_; }

    // Sets the cursor on the window now and keeps it animated there; uninstall stops that.
    void install(QWidget* window);
    void uninstall();
    QWidget* installedOn() const { return window_; }

private:
    void advance();

    std::vector<QCursor> frames_;
    std::vector<cursors::CursorStep> steps_;
    std::size_t step_ = 0;
    bool fromFile_ = false;
    QPointer<QWidget> window_;
    QTimer timer_;
};

// A cursor image as a QCursor (PNG entries decoded); an arrow for an image it cannot convert.
QCursor cursorFromImage(const cursors::CursorImage& image);

} // namespace qxm::qxmovie
