#include "platform/prompt.h"

namespace corv {

Prompter& SystemPrompter();  // per platform

namespace {
Prompter* g_prompter = nullptr;
}

void SetPrompter(Prompter* prompter) {
    g_prompter = prompter;
}

PromptAnswer ShowPrompt(const std::string& text, const std::string& caption, PromptKind kind,
                        PromptIcon icon) {
    Prompter& p = g_prompter ? *g_prompter : SystemPrompter();
    return p.Ask(text, caption, kind, icon);
}

ScriptedPrompter::ScriptedPrompter(std::deque<PromptAnswer> answers)
    : answers_(std::move(answers)) {}

PromptAnswer ScriptedPrompter::Ask(const std::string& text, const std::string&, PromptKind kind,
                                   PromptIcon) {
    std::lock_guard<Mutex> lock(mutex_);
    texts_.push_back(text);
    if (answers_.empty()) return kind == PromptKind::Ok ? PromptAnswer::Ok : PromptAnswer::Yes;
    PromptAnswer a = answers_.front();
    answers_.pop_front();
    return a;
}

std::vector<std::string> ScriptedPrompter::Texts() {
    std::lock_guard<Mutex> lock(mutex_);
    return texts_;
}

ScopedScriptedPrompter::ScopedScriptedPrompter(std::deque<PromptAnswer> answers)
    : ScriptedPrompter(std::move(answers)) {
    SetPrompter(this);
}

ScopedScriptedPrompter::~ScopedScriptedPrompter() {
    SetPrompter(nullptr);
}

}  // namespace corv
