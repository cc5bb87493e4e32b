#include "EditorHarness.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "TestApplication.h"
#include "editor/anchors/AnchorFile.h"
#include "editor/shell/CMainFrame.h"
#include "editor/shell/CRiveviDoc.h"
#include "editor/view/CRivEviFV.h"

namespace qxm::editor::testing {

Files& Files::get() {
    static Files files;
    return files;
}

Files::Files() {
    setenv("QXM_REGISTRY", registry().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", path("runtime").c_str(), 1);
    QProcess regsvr;
    regsvr.start(QString(std::getenv("QXM_BIN_DIR")) + "/qxmregsvr",
                 {QString(std::getenv("QXM_LIB_DIR")) + "/libqxmovie.so"});
    EXPECT_TRUE(regsvr.waitForFinished(30000));
    EXPECT_EQ(regsvr.exitCode(), 0) << regsvr.readAllStandardError().toStdString();
}

std::string Files::path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
}

std::string Files::movie(const std::string& name, int frames) {
    moviegen::MovieRecipe recipe;
    recipe.kind = "avi-mjpeg";
    recipe.frames = frames;
    return movie(name, recipe);
}

std::string Files::movie(const std::string& name, const moviegen::MovieRecipe& recipe) {
    const std::string p = path(name);
    if (!QFileInfo::exists(QString::fromStdString(p))) {
        std::string error;
        EXPECT_TRUE(moviegen::writeMovie(p, recipe, error)) << error;
    }
    return p;
}

void Files::write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
}

void whenModal(std::function<void(QWidget*)> steps) {
    QTimer::singleShot(0, [steps] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return whenModal(steps);
        steps(modal);
    });
}

Editor::Editor(std::vector<std::string> args, std::string tracking) {
    Files::get();
    testApplication();
    started = app.InitInstance({std::move(args), std::move(tracking)});
}

CRivEviFV& Editor::view() {
    return *app.view();
}
CAnchorMovieWnd& Editor::movie() {
    return *view().movieWindow();
}
CMainFrame& Editor::frame() {
    return *app.mainFrame();
}
void Editor::run(int id) {
    frame().runCommand(id);
}

bool Editor::enabled(int id) {
    frame().UpdateCommandUI();
    return frame().action(id)->isEnabled();
}

std::string Editor::field(int id) {
    return view().field(id)->text().toStdString();
}
int32_t Editor::frameNow() {
    return movie().CurrentFrame();
}
bool Editor::open(const std::string& path) {
    return app.document()->OpenDocumentFile(path);
}

anchors::AnchorRecord anchor(std::string id, std::string name, int32_t from, int32_t to) {
    return anchors::MakeAnchorRecord(std::move(id), std::move(name),
                                     {{from, 20, 20, 60, 50}, {to, 80, 40, 120, 70}});
}

} // namespace qxm::editor::testing
