#pragma once
// The main window: caption "Movie Marquill", no maximise box and no sizing border, the menus,
// accelerators and tool bar of the command table, the status bar with the prompts, and the
// enable rules evaluated when a menu opens and on a short idle timer.
#include <QBasicTimer>
#include <QMainWindow>

#include <functional>
#include <map>

class QAction;
class QToolBar;

namespace qxm::editor {

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    using Rule = std::function<bool()>;

    static constexpr int kIdleMs = 100;

    CMainFrame();
    ~CMainFrame() override;

    // Routes a command to its handler, enabled while the rule holds. A command without a
    // handler stays disabled.
    void setCommand(int id, Handler handler, Rule rule);
    // Runs a command as its menu item would (nothing when it is disabled).
    void runCommand(int id);
    QAction* action(int id) const;
    QAction* playSlot() const { return slot1_; }
    QToolBar* toolBar() const { return toolBar_; }

    // Evaluates every enable rule now.
    void UpdateCommandUI();
    // Slot 1 of the tool bar shows Pause while the movie plays or is positioned, else Play.
    void ShowPlaySlot(bool playing);

    // Asked before the window closes; false keeps it open.
    std::function<bool()> canClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    bool enabled(int id) const;

    struct Route {
        Handler handler;
        Rule rule;
    };
    std::map<int, QAction*> actions_;
    std::map<int, Route> routes_;
    QToolBar* toolBar_ = nullptr;
    QAction* slot1_ = nullptr;
    std::map<int, QAction*> toolActions_; // tool-bar buttons other than slot 1
    QBasicTimer idle_;
};

} // namespace qxm::editor
