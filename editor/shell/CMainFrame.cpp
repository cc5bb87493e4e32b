#include "editor/shell/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimerEvent>
#include <QToolBar>

#include "editor/shell/CommandTable.h"
#include "editor/shell/EditorTexts.h"
#include "editor/shell/ToolBarImages.h"
#include "editor/view/CommandIds.h"

namespace qxm::editor {

namespace {

QString fromText(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

CMainFrame::CMainFrame() {
    setObjectName("CMainFrame");
    setWindowTitle(fromText(text::kProgramTitle));
    // No maximise box; the size follows the form (no sizing border).
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    buildMenus();
    buildToolBar();
    statusBar()->setObjectName("StatusBar");
    statusBar()->setSizeGripEnabled(false);
    idle_.start(kIdleMs, this);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::buildMenus() {
    std::map<Menu, QMenu*> menus;
    for (Menu m : {Menu::File, Menu::Video, Menu::Anchor, Menu::Link, Menu::Help}) {
        QMenu* menu = menuBar()->addMenu(fromText(MenuTitle(m)));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        menus[m] = menu;
    }
    for (const CommandInfo& c : Commands()) {
        auto* a = new QAction(this);
        a->setData(c.id);
        a->setStatusTip(fromText(c.statusText));
        if (c.keys) {
            a->setShortcut(QKeySequence(fromText(c.keys)));
            a->setShortcutContext(Qt::WindowShortcut);
        }
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, [this, id = c.id] { runCommand(id); });
        actions_[c.id] = a;
        if (c.menu == Menu::None) {
            addAction(a);
            continue;
        }
        // The key's name stands after the tab; Qt shows the shortcut there itself.
        const QString menuText = fromText(c.menuText).section('\t', 0, 0);
        a->setText(menuText);
        menus[c.menu]->addAction(a);
        if (c.separatorAfter) menus[c.menu]->addSeparator();
    }
}

void CMainFrame::buildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("ToolBar"));
    toolBar_->setObjectName("ToolBar");
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(kToolBarImageWidth, kToolBarImageHeight));
    for (int id : ToolBarSlots()) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        const CommandInfo* c = FindCommand(id);
        auto* a = new QAction(ToolBarIcon(c->image), fromText(c->toolTip), this);
        a->setToolTip(fromText(c->toolTip));
        a->setStatusTip(fromText(c->statusText));
        a->setData(id);
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, [this, a] { runCommand(a->data().toInt()); });
        toolBar_->addAction(a);
        if (id == ID_VIDEO_PLAY)
            slot1_ = a;
        else
            toolActions_[id] = a;
    }
}

void CMainFrame::ShowPlaySlot(bool playing) {
    const CommandInfo* c = FindCommand(playing ? ID_VIDEO_PAUSE : ID_VIDEO_PLAY);
    if (slot1_->data().toInt() == c->id) return;
    slot1_->setData(c->id);
    slot1_->setIcon(ToolBarIcon(c->image));
    slot1_->setText(fromText(c->toolTip));
    slot1_->setToolTip(fromText(c->toolTip));
    slot1_->setStatusTip(fromText(c->statusText));
    slot1_->setEnabled(enabled(c->id));
    toolBar_->update();
}

void CMainFrame::setCommand(int id, Handler handler, Rule rule) {
    routes_[id] = {std::move(handler), std::move(rule)};
}

QAction* CMainFrame::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::enabled(int id) const {
    auto it = routes_.find(id);
    if (it == routes_.end() || !it->second.handler) return false;
    return !it->second.rule || it->second.rule();
}

void CMainFrame::runCommand(int id) {
    if (!enabled(id)) return;
    const Handler handler = routes_[id].handler; // the handler may change the routes
    handler();
    UpdateCommandUI();
}

void CMainFrame::UpdateCommandUI() {
    for (auto& [id, a] : actions_)
        a->setEnabled(enabled(id));
    for (auto& [id, a] : toolActions_)
        a->setEnabled(enabled(id));
    slot1_->setEnabled(enabled(slot1_->data().toInt()));
}

void CMainFrame::timerEvent(QTimerEvent* event) {
    if (event->timerId() == idle_.timerId())
        UpdateCommandUI();
    else
        QMainWindow::timerEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (canClose && !canClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // Windows of the program that are still open (the manual) go with the main window.
    QCoreApplication::quit();
}

} // namespace qxm::editor
