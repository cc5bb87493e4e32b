#pragma once
// The prompter of programs with a display: message boxes and the file dialog of Qt behind the
// process-wide prompt handler (platform/prompter/Prompter.h). Requests from other threads are
// carried over to the application's thread and wait there for the answer.
#include <memory>
#include <optional>
#include <string>

#include "platform/prompter/Prompter.h"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace qxm::ui {

class QtPromptHandler : public PromptHandler {
public:
    // Shows a modal message box over the active window; closing it without a button answers
    // as the Escape key would (see answerForClose).
    Answer ask(const Prompt& prompt) override;
    // Shows a modal file dialog; the chosen path, or nothing when cancelled.
    std::optional<std::string> chooseOpenFile(const FileRequest& request) override;
};

// Installs one QtPromptHandler for the process (call once a QApplication exists).
void installQtPrompter();

// The message box ask() shows: text, caption (the application's name when empty), icon and
// buttons of the prompt, the first button the default.
std::unique_ptr<QMessageBox> makeMessageBox(const Prompt& prompt, QWidget* parent = nullptr);
// The answer for what QMessageBox::exec returned (a standard button) with a set of buttons.
Answer answerForButton(int standardButton, Buttons buttons);
// The answer when a box is closed without a button: Cancel where the set has one, No for
// Yes/No, Ok for Ok alone, Abort for Abort/Retry/Ignore.
Answer answerForClose(Buttons buttons);

// The dialog chooseOpenFile() shows: title, name filters from the request's filter with the
// filterIndex-th selected, existing files only when mustExist, starting at initialPath (a
// folder, or a file selected in its folder).
std::unique_ptr<QFileDialog> makeOpenFileDialog(const FileRequest& request,
                                                QWidget* parent = nullptr);

} // namespace qxm::ui
