#pragma once
// The message box service. Every user-visible message of the Qt-free code goes through the
// process-wide handler; the Qt part installs one that shows real message boxes, tests install
// a scripted one that records every message and returns scripted answers. The same handler
// asks for files to open.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qxm {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct Prompt {
    std::string text;
    std::string caption;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
};

// A request for an existing file to open.
struct FileRequest {
    std::string title;
    // Pairs of description and patterns, each part ended by '|', patterns separated by ';',
    // the whole ended by a second '|': "Movie files(*.avi *.mpg)|*.avi;*.mpg||".
    std::string filter;
    int filterIndex = 1;       // 1-based: the filter selected first
    std::string initialPath{}; // a folder, or a file whose folder the dialog starts in
    bool mustExist = true;     // only existing files can be chosen
};

class PromptHandler {
public:
    virtual ~PromptHandler() = default;
    virtual Answer ask(const Prompt& prompt) = 0;
    // The chosen file's path, or nothing when the user cancelled. This default writes the
    // request's title to stderr and answers as cancelled.
    virtual std::optional<std::string> chooseOpenFile(const FileRequest& request);
};

// Shows a message through the current handler. The default handler writes the text to stderr
// and answers with the default (first) button of the set.
Answer prompt(const std::string& text, const std::string& caption = {},
              Buttons buttons = Buttons::Ok, Icon icon = Icon::None);

// Asks the current handler for a file to open; nothing when cancelled.
std::optional<std::string> chooseOpenFile(const FileRequest& request);

// Installs a handler for the process (null restores the default); returns the previous one.
PromptHandler* setPromptHandler(PromptHandler* handler);

// The first button of a set: what the default handler answers.
Answer defaultAnswer(Buttons buttons);

// A handler for tests: records every prompt and file request, answers from queues (then the
// default button, and a cancelled file request).
class ScriptedPrompter : public PromptHandler {
public:
    ScriptedPrompter();           // installs itself
    ~ScriptedPrompter() override; // restores the previous handler
    Answer ask(const Prompt& prompt) override;
    std::optional<std::string> chooseOpenFile(const FileRequest& request) override;
    void queue(Answer a) { answers_.push_back(a); }
    // The answer to the next file request: a path, or nothing for a cancelled dialog.
    void queueFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }
    std::vector<Prompt> prompts;
    std::vector<FileRequest> fileRequests;
    std::vector<std::string> texts() const;

private:
    std::vector<Answer> answers_;
    std::vector<std::optional<std::string>> files_;
    PromptHandler* previous_ = nullptr;
};

} // namespace qxm
