#include <cstdio>

#include "platform/prompt.h"

namespace corv {

namespace {
class ConsolePrompter : public Prompter {
  public:
    PromptAnswer Ask(const std::string& text, const std::string& caption, PromptKind kind,
                     PromptIcon) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return kind == PromptKind::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
};
}  // namespace

Prompter& SystemPrompter() {
    static ConsolePrompter prompter;
    return prompter;
}

}  // namespace corv
