// qxmedit: the anchor map editor.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "QxmVersion.h"
#include "editor/shell/CRiveviApp.h"
#include "editor/shell/EditorTexts.h"
#include "editor/view/PlayerLink.h"
#include "platform/ui/QtPrompter.h"

namespace {

const char* const kUsage =
    "usage: qxmedit [MOVIE | MOVIE-OBJECT-FILE] [/I\"OPTION\"]\n"
    "       qxmedit --help | --version\n"
    "Movie Marquill, the anchor map editor: opens a movie (.avi, .mpg, .mov) or a Movie Object\n"
    "File (.mob) and keeps its anchors in NAME.obj beside it.\n"
    "/I\"OPTION\" enables Link > Movie Player, which saves, hands the file and the current\n"
    "anchor to the player qxmplay (started with /I\"OPTION\") and closes the editor.\n";

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("qxmedit (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(qxm::editor::text::kProgramTitle));
    qxm::ui::installQtPrompter();
    qxm::editor::RegisterControlIfMissing(); // a first start after installing
    qxm::editor::StartOptions options;
    for (int i = 1; i < argc; ++i)
        options.arguments.emplace_back(argv[i]);
    qxm::editor::CRiveviApp app;
    if (!app.InitInstance(options)) return 0;
    QApplication::setQuitOnLastWindowClosed(true);
    const int status = QApplication::exec();
    app.ExitInstance();
    return status;
}
