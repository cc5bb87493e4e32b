#include "platform/prompter/Prompter.h"

#include <atomic>
#include <cstdio>

namespace qxm {
namespace {

class StderrPrompter : public PromptHandler {
public:
    Answer ask(const Prompt& p) override {
        if (p.caption.empty())
            std::fprintf(stderr, "%s\n", p.text.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", p.caption.c_str(), p.text.c_str());
        return defaultAnswer(p.buttons);
    }
};

StderrPrompter g_stderrPrompter;
std::atomic<PromptHandler*> g_handler{nullptr};

} // namespace

Answer defaultAnswer(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    case Buttons::RetryCancel: return Answer::Retry;
    case Buttons::AbortRetryIgnore: return Answer::Abort;
    }
    return Answer::Ok;
}

Answer prompt(const std::string& text, const std::string& caption, Buttons buttons, Icon icon) {
    PromptHandler* h = g_handler.load();
    if (!h) h = &g_stderrPrompter;
    return h->ask(Prompt{text, caption, buttons, icon});
}

std::optional<std::string> PromptHandler::chooseOpenFile(const FileRequest& request) {
    std::fprintf(stderr, "%s: no file chosen (no file dialog available)\n",
                 request.title.empty() ? "Open" : request.title.c_str());
    return std::nullopt;
}

std::optional<std::string> chooseOpenFile(const FileRequest& request) {
    PromptHandler* h = g_handler.load();
    if (!h) h = &g_stderrPrompter;
    return h->chooseOpenFile(request);
}

PromptHandler* setPromptHandler(PromptHandler* handler) { return g_handler.exchange(handler); }

ScriptedPrompter::ScriptedPrompter() { previous_ = setPromptHandler(this); }

ScriptedPrompter::~ScriptedPrompter() { setPromptHandler(previous_); }

Answer ScriptedPrompter::ask(const Prompt& p) {
    prompts.push_back(p);
    if (answers_.empty()) return defaultAnswer(p.buttons);
    Answer a = answers_.front();
    answers_.erase(answers_.begin());
    return a;
}

std::optional<std::string> ScriptedPrompter::chooseOpenFile(const FileRequest& request) {
    fileRequests.push_back(request);
    if (files_.empty()) return std::nullopt;
    std::optional<std::string> path = std::move(files_.front());
    files_.erase(files_.begin());
    return path;
}

std::vector<std::string> ScriptedPrompter::texts() const {
    std::vector<std::string> out;
    for (const auto& p : prompts) out.push_back(p.text);
    return out;
}

} // namespace qxm
