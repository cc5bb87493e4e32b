// qxmplay: the standalone Movie Player (qxmplay --help).
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <string>

#include "QxmVersion.h"
#include "editor/view/PlayerLink.h"
#include "platform/dde/Dde.h"
#include "platform/prompter/Prompter.h"
#include "platform/toplevel/TopLevelPresence.h"
#include "platform/ui/QtPrompter.h"
#include "platform/ui/SystemText.h"
#include "tools/player/PlayerTexts.h"
#include "tools/player/PlayerWindow.h"

namespace {

namespace link = qxm::editor::link;
namespace text = qxm::player::text;

struct Arguments {
    std::string option; // the /I value
    std::string file;
};

// The /I value: /I"text" or /Itext.
std::string optionValue(const std::string& argument) {
    std::string value = argument.substr(2);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

// Hands the file to the player that runs already; false when none answers.
bool handToRunningPlayer(const std::string& file) {
    qxm::dde::DdeClient client;
    if (!client.connect(QString::fromUtf8(link::kPlayerService), QString::fromUtf8(link::kTopic)))
        return false;
    if (file.empty()) return true;
    const QString path = QFileInfo(qxm::ui::fromSystem(file)).absoluteFilePath();
    return client.execute(path.toLocal8Bit(), link::kExecuteTimeoutMs);
}

} // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(text::kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("qxmplay (%s) %s\n", QXM_PRODUCT, QXM_VERSION);
            return 0;
        }
        if (a.rfind(link::kOptionSwitch, 0) == 0) {
            arguments.option = optionValue(a);
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, text::kBadArgument, a.c_str());
            return 2;
        } else {
            arguments.file = a;
        }
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(text::kTitle));
    qxm::ui::installQtPrompter();

    qxm::player::PlayerWindow window(arguments.option);
    QString error;
    if (!window.startLink(&error)) {
        // One player at a time: a second start gives its file to the first one.
        if (handToRunningPlayer(arguments.file)) return 0;
        qxm::prompt(qxm::ui::toSystem(QString::fromUtf8(text::kNoLink).arg(error)), text::kTitle,
                    qxm::Buttons::Ok, qxm::Icon::Warning);
    }
    qxm::editor::RegisterControlIfMissing(); // a first start after installing
    if (!window.createControl()) return 1;
    window.show();
    qxm::toplevel::TopLevelPresence presence(QString::fromUtf8(text::kTitle));
    presence.claim();
    if (!arguments.file.empty()) {
        const QString path = QFileInfo(qxm::ui::fromSystem(arguments.file)).absoluteFilePath();
        window.openFile(qxm::ui::toSystem(path), {});
    }
    return QApplication::exec();
}
