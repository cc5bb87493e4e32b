#pragma once
// The engine's control panel ("QzCtrlConsole"): a row with the Play, Pause and Stop buttons
// (shown with ShowControls) and the tracker slider (ShowTracker), and below it the display
// panel (ShowDisplay) with the current frame and the frame count or the opening progress.
#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

namespace qxm::engine {

class ControlConsole : public QWidget {
    Q_OBJECT
public:
    explicit ControlConsole(QWidget* parent = nullptr);

    void setParts(bool controls, bool tracker, bool display);
    // Height the panel needs for its shown parts; 0 when none is shown.
    int panelHeight() const;

    void setButtonStates(bool canPlay, bool canPause, bool canStop);
    void setTracker(int maximum, int value, bool enabled);
    void setDisplayText(const QString& text);

    QPushButton* playButton() const { return play_; }
    QPushButton* pauseButton() const { return pause_; }
    QPushButton* stopButton() const { return stop_; }
    QSlider* tracker() const { return tracker_; }
    QLabel* display() const { return display_; }

signals:
    void playClicked();
    void pauseClicked();
    void stopClicked();
    void trackerMoved(int value);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrange();
    int rowHeight() const;
    int displayHeight() const;

    QPushButton* play_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* stop_ = nullptr;
    QSlider* tracker_ = nullptr;
    QLabel* display_ = nullptr;
    bool controls_ = true, tracker_shown_ = true, display_shown_ = true;
};

} // namespace qxm::engine
