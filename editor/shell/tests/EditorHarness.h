#pragma once
// The editor in tests, as an author uses it: the real program object with its main window, the
// player control created through a private registry, real movies from the test-movie writer,
// scripted prompts, and dialogs driven from inside their event loops.
#include <functional>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "editor/shell/CRiveviApp.h"
#include "editor/view/EditState.h"
#include "platform/prompter/Prompter.h"
#include "testing/moviegen/MovieGen.h"

class QWidget;

namespace qxm::editor {

class CAnchorMovieWnd;
class CMainFrame;
class CRivEviFV;

namespace testing {

// A private registry holding the player control and a runtime folder, both for this process
// alone (tests run in processes of their own, often two at once), and the tests' files.
class Files {
public:
    static Files& get();
    std::string path(const std::string& name) const;
    std::string registry() const { return path("registry"); }
    // A movie written once: 160 x 120 MJPEG in AVI of `frames` frames, or as the recipe says.
    std::string movie(const std::string& name, int frames = 101);
    std::string movie(const std::string& name, const moviegen::MovieRecipe& recipe);
    void write(const std::string& name, const std::string& content) const;

private:
    Files();
    QTemporaryDir dir_;
};

// Runs steps once a modal dialog is up (from inside its event loop).
void whenModal(std::function<void(QWidget*)> steps);

struct Editor {
    explicit Editor(std::vector<std::string> args = {}, std::string tracking = "libqxmtrack.so");
    ScriptedPrompter prompts; // before the program, which may prompt while it starts
    CRiveviApp app;
    bool started = false;

    EditorContext& ctx() { return app.context(); }
    CRivEviFV& view();
    CAnchorMovieWnd& movie();
    CMainFrame& frame();
    void run(int id);
    bool enabled(int id);
    std::string field(int id);
    int32_t frameNow();
    bool open(const std::string& path);
};

// An anchor with key frames at `from` and `to`.
anchors::AnchorRecord anchor(std::string id, std::string name, int32_t from, int32_t to);

} // namespace testing
} // namespace qxm::editor
