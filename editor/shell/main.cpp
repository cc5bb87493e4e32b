// qxmedit: the anchor map editor.
#include <QApplication>

#include <string>
#include <vector>

#include "editor/shell/CRiveviApp.h"
#include "editor/shell/EditorTexts.h"
#include "platform/ui/QtPrompter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(qxm::editor::text::kProgramTitle));
    qxm::ui::installQtPrompter();
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
