#pragma once
// The message box service. Every user-visible message of the Qt-free code goes through the
// process-wide handler; the Qt part installs one that shows real message boxes, tests install
// a scripted one that records every message and returns scripted answers.
#include <functional>
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

class PromptHandler {
public:
    virtual ~PromptHandler() = default;
    virtual Answer ask(const Prompt& prompt) = 0;
};

// Shows a message through the current handler. The default handler writes the text to stderr
// and answers with the default (first) button of the set.
Answer prompt(const std::string& text, const std::string& caption = {},
              Buttons buttons = Buttons::Ok, Icon icon = Icon::None);

// Installs a handler for the process (null restores the default); returns the previous one.
PromptHandler* setPromptHandler(PromptHandler* handler);

// The first button of a set: what the default handler answers.
Answer defaultAnswer(Buttons buttons);

// A handler for tests: records every prompt, answers from a queue (then the default button).
class ScriptedPrompter : public PromptHandler {
public:
    ScriptedPrompter();           // installs itself
    ~ScriptedPrompter() override; // restores the previous handler
    Answer ask(const Prompt& prompt) override;
    void queue(Answer a) { answers_.push_back(a); }
    std::vector<Prompt> prompts;
    std::vector<std::string> texts() const;
private:
    std::vector<Answer> answers_;
    PromptHandler* previous_ = nullptr;
};

} // namespace qxm
