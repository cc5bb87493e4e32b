#include "platform/ui/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

#include "platform/ui/FileFilters.h"
#include "platform/ui/SystemText.h"

namespace qxm::ui {
namespace {

QMessageBox::StandardButtons standardButtons(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return QMessageBox::Ok;
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case Buttons::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton standardButton(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return QMessageBox::Ok;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    case Answer::Retry:
        return QMessageBox::Retry;
    case Answer::Abort:
        return QMessageBox::Abort;
    case Answer::Ignore:
        return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(Icon icon) {
    switch (icon) {
    case Icon::None:
        return QMessageBox::NoIcon;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Dialogs need a widget application, and they live in its thread.
bool canShowDialogs() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

bool inApplicationThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

// Runs f in the application's thread and waits for its result.
template <class R, class F> R inApplication(F f) {
    if (inApplicationThread()) return f();
    R result{};
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

} // namespace

Answer answerForClose(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel:
    case Buttons::RetryCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::AbortRetryIgnore:
        return Answer::Abort;
    }
    return Answer::Cancel;
}

Answer answerForButton(int button, Buttons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Ignore:
        return Answer::Ignore;
    default:
        return answerForClose(buttons);
    }
}

std::unique_ptr<QMessageBox> makeMessageBox(const Prompt& prompt, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(prompt.caption.empty() ? QGuiApplication::applicationDisplayName()
                                               : fromSystem(prompt.caption));
    box->setTextFormat(Qt::PlainText);
    box->setText(fromSystem(prompt.text));
    box->setIcon(messageIcon(prompt.icon));
    box->setStandardButtons(standardButtons(prompt.buttons));
    box->setDefaultButton(standardButton(defaultAnswer(prompt.buttons)));
    return box;
}

std::unique_ptr<QFileDialog> makeOpenFileDialog(const FileRequest& request, QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent, fromSystem(request.title));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);

    QStringList filters;
    for (const std::string& f : nameFiltersFromTable(request.filter))
        filters << fromSystem(f);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->selectNameFilter(
            filters[qsizetype(selectedFilterPosition(request.filterIndex, filters.size()))]);
    }

    if (!request.initialPath.empty()) {
        const QFileInfo start(fromSystem(request.initialPath));
        if (start.isDir()) {
            dialog->setDirectory(start.absoluteFilePath());
        } else {
            if (QFileInfo(start.absolutePath()).isDir()) dialog->setDirectory(start.absolutePath());
            dialog->selectFile(start.fileName());
        }
    }
    return dialog;
}

Answer QtPromptHandler::ask(const Prompt& prompt) {
    if (!canShowDialogs()) {
        std::fprintf(stderr, "%s%s%s\n", prompt.caption.c_str(), prompt.caption.empty() ? "" : ": ",
                     prompt.text.c_str());
        return defaultAnswer(prompt.buttons);
    }
    return inApplication<Answer>([&] {
        std::unique_ptr<QMessageBox> box = makeMessageBox(prompt, dialogParent());
        return answerForButton(box->exec(), prompt.buttons);
    });
}

std::optional<std::string> QtPromptHandler::chooseOpenFile(const FileRequest& request) {
    if (!canShowDialogs()) return PromptHandler::chooseOpenFile(request);
    return inApplication<std::optional<std::string>>([&]() -> std::optional<std::string> {
        std::unique_ptr<QFileDialog> dialog = makeOpenFileDialog(request, dialogParent());
        if (dialog->exec() != QDialog::Accepted) return std::nullopt;
        const QStringList chosen = dialog->selectedFiles();
        if (chosen.isEmpty()) return std::nullopt;
        return toSystem(chosen.first());
    });
}

void installQtPrompter() {
    static QtPromptHandler handler;
    setPromptHandler(&handler);
}

} // namespace qxm::ui
