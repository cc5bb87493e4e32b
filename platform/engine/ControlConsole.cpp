#include "platform/engine/ControlConsole.h"

#include "platform/engine/EngineTexts.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace qxm::engine {
namespace {
constexpr int kMargin = 2;
constexpr int kSpacing = 2;
} // namespace

ControlConsole::ControlConsole(QWidget* parent) : QWidget(parent) {
    setObjectName("QzCtrlConsole");
    setAutoFillBackground(true);
    auto makeButton = [this](const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromUtf8(text));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    play_ = makeButton(texts::kPlay);
    pause_ = makeButton(texts::kPause);
    stop_ = makeButton(texts::kStop);
    tracker_ = new QSlider(Qt::Horizontal, this);
    tracker_->setObjectName("Tracker");
    tracker_->setFocusPolicy(Qt::NoFocus);
    tracker_->setRange(0, 0);
    display_ = new QLabel(this);
    display_->setObjectName("Display");
    display_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    display_->setAlignment(Qt::AlignCenter);
    display_->setText(QString::fromUtf8(texts::kNoMovie));

    connect(play_, &QPushButton::clicked, this, &ControlConsole::playClicked);
    connect(pause_, &QPushButton::clicked, this, &ControlConsole::pauseClicked);
    connect(stop_, &QPushButton::clicked, this, &ControlConsole::stopClicked);
    connect(tracker_, &QSlider::valueChanged, this, [this](int v) {
        // Only the user's moves count; programmatic updates are made with signals blocked.
        emit trackerMoved(v);
    });
    setButtonStates(false, false, false);
    arrange();
}

int ControlConsole::rowHeight() const {
    return std::max({play_->sizeHint().height(), tracker_->sizeHint().height()});
}

int ControlConsole::displayHeight() const {
    return display_->sizeHint().height() + 2;
}

int ControlConsole::panelHeight() const {
    // The tracker sits in the control panel's row: without the panel there is no row.
    const bool row = controls_;
    if (!row && !display_shown_) return 0;
    int h = 2 * kMargin;
    if (row) h += rowHeight();
    if (display_shown_) h += displayHeight();
    if (row && display_shown_) h += kSpacing;
    return h;
}

void ControlConsole::setParts(bool controls, bool tracker, bool display) {
    controls_ = controls;
    tracker_shown_ = tracker;
    display_shown_ = display;
    arrange();
}

void ControlConsole::arrange() {
    play_->setVisible(controls_);
    pause_->setVisible(controls_);
    stop_->setVisible(controls_);
    tracker_->setVisible(controls_ && tracker_shown_);
    display_->setVisible(display_shown_);

    const int w = width() - 2 * kMargin;
    int y = kMargin;
    if (controls_) {
        const int rh = rowHeight();
        int x = kMargin;
        if (controls_) {
            for (QPushButton* b : {play_, pause_, stop_}) {
                const int bw = b->sizeHint().width();
                b->setGeometry(x, y, bw, rh);
                x += bw + kSpacing;
            }
        }
        if (tracker_shown_) tracker_->setGeometry(x, y, std::max(0, kMargin + w - x), rh);
        y += rh + kSpacing;
    }
    if (display_shown_) display_->setGeometry(kMargin, y, std::max(0, w), displayHeight());
}

void ControlConsole::resizeEvent(QResizeEvent*) {
    arrange();
}

void ControlConsole::setButtonStates(bool canPlay, bool canPause, bool canStop) {
    play_->setEnabled(canPlay);
    pause_->setEnabled(canPause);
    stop_->setEnabled(canStop);
}

void ControlConsole::setTracker(int maximum, int value, bool enabled) {
    const QSignalBlocker block(tracker_);
    tracker_->setRange(0, std::max(0, maximum));
    tracker_->setValue(value);
    tracker_->setEnabled(enabled);
}

void ControlConsole::setDisplayText(const QString& text) {
    if (display_->text() != text) display_->setText(text);
}

} // namespace qxm::engine
