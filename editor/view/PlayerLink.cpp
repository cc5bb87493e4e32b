#include "editor/view/PlayerLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QWidget>

#include "editor/anchors/AnchorTable.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/CommandIds.h"
#include "editor/view/OpenRequest.h"
#include "platform/activation/Module.h"
#include "platform/dde/Dde.h"
#include "platform/prompter/Prompter.h"
#include "platform/registry/Registry.h"
#include "platform/toplevel/TopLevelPresence.h"
#include "platform/ui/SystemText.h"
#include "player_control/definitions/QXMovieIds.h"

namespace qxm::editor {

namespace {

constexpr const char* kControlModule = "libqxmovie.so";

std::optional<std::string> quotedText(std::string_view path, std::string_view anchorId,
                                      std::size_t limit) {
    if (path.find('"') != std::string_view::npos) return std::nullopt;
    std::string out;
    out.reserve(path.size() + anchorId.size() + 6);
    out.append("\"").append(path).append("\",").append(anchorId).append(",0");
    if (out.size() > limit) return std::nullopt;
    return out;
}

void failed() {
    prompt(text::kPlayerFailed, anchors::text::kProgramTitle, Buttons::Ok, Icon::Warning);
}

} // namespace

std::optional<std::string> HandOverText(std::string_view path, std::string_view anchorId) {
    return quotedText(path, anchorId, link::kMaxHandOverBytes);
}

std::optional<std::string> OpenRequestText(std::string_view path, std::string_view anchorId) {
    return quotedText(path, anchorId, kOpenRequestBytes);
}

std::optional<HandOver> ParseHandOver(std::string_view data) {
    if (const std::size_t nul = data.find('\0'); nul != std::string_view::npos)
        data = data.substr(0, nul);
    if (data.empty()) return std::nullopt;
    HandOver h;
    const std::size_t close = data.size() > 1 && data[0] == '"' ? data.find('"', 1) : data.npos;
    if (close == data.npos || close + 1 >= data.size() || data[close + 1] != ',') {
        h.path = std::string(data);
        return h;
    }
    h.path = std::string(data.substr(1, close - 1));
    const std::string_view rest = data.substr(close + 2);
    h.anchorId = std::string(rest.substr(0, rest.find(',')));
    return h;
}

QString FindCompanionProgram(const QString& name) {
    const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()), name);
    if (beside.isFile() && beside.isExecutable()) return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

PlayerLinkResult LinkToPlayer(EditorContext& context, CRivEviFV& view, QWidget& mainWindow,
                              const PlayerLinkSettings& settings) {
    // The wait for the player's window dispatches events: the command does not run inside itself.
    static bool running = false;
    PlayerLinkResult result;
    if (running) return result;
    const QScopedValueRollback<bool> busy(running, true);

    view.PauseAndShow();
    if (context.state.MovieOpen && !context.table.AnchorDataSaved) {
        if (prompt(text::kSaveChanges, anchors::text::kProgramTitle, Buttons::OkCancel,
                   Icon::Question) != Answer::Ok)
            return result;
        view.OnCommand(ID_FILE_SAVE); // says why when it fails
        if (!context.table.AnchorDataSaved) return result;
    }

    // What goes to the player is settled before it is started: a text too long for the link
    // leaves everything as it was.
    std::optional<std::string> handOver;
    if (context.state.MovieOpen) {
        const int current = context.table.CurrentAnchor;
        const bool anchor = context.state.AnchorActive && current >= 0 &&
                            std::size_t(current) < context.table.size();
        // The player may run in another folder: it gets the path in full.
        const QString path = QFileInfo(ui::fromSystem(context.doc.PathName)).absoluteFilePath();
        handOver = HandOverText(ui::toSystem(path),
                                anchor ? context.table[std::size_t(current)].ID : std::string());
        if (!handOver) {
            failed();
            return result;
        }
    }

    const QString title = QString::fromUtf8(link::kPlayerTitle);
    if (!toplevel::topLevelWindowExists(title)) {
        const QString program = settings.program.isEmpty()
                                    ? FindCompanionProgram(QString::fromUtf8(link::kPlayerProgram))
                                    : settings.program;
        const QString option = QString::fromUtf8(link::kOptionSwitch) + QLatin1Char('"') +
                               ui::fromSystem(context.PlayerOption) + QLatin1Char('"');
        if (program.isEmpty() ||
            !QProcess::startDetached(program, {option}, ui::fromSystem(context.StartFolder),
                                     &result.startedPid)) {
            failed();
            return result;
        }
        const QPointer<QWidget> window(&mainWindow);
        const bool shown = toplevel::waitForTopLevelWindow(title, settings.windowWaitMs);
        if (!window || !window->isVisible()) return result; // the editor was closed meanwhile
        if (!shown) {
            failed();
            return result;
        }
    }
    if (!handOver) return result;

    dde::DdeClient client;
    if (client.connect(QString::fromUtf8(link::kPlayerService), QString::fromUtf8(link::kTopic))) {
        QByteArray data = QByteArray::fromStdString(*handOver);
        data.append('\0');
        result.handedOver = client.execute(data, link::kExecuteTimeoutMs);
        client.disconnect();
    }
    // The player has the file now (or cannot be reached, which changes nothing): the editor
    // ends through its usual close.
    QMetaObject::invokeMethod(&mainWindow, &QWidget::close, Qt::QueuedConnection);
    result.closing = true;
    return result;
}

bool RegisterControlIfMissing(std::string* message) {
    Registry registry;
    ClassEntry entry;
    if (registry.findClass(qxmovie::kClsidQXMovie, entry) == S_OK &&
        QFileInfo(QString::fromStdString(entry.modulePath)).isFile())
        return true;
    const QString module = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../lib/" +
                                           QString::fromUtf8(kControlModule));
    if (!QFileInfo(module).isFile()) {
        if (message) *message = module.toStdString() + ": no such module";
        return false;
    }
    return succeeded(runModuleRegistration(module.toStdString(), false, message));
}

} // namespace qxm::editor
