// Modal message boxes behind an interface, so tests can answer them.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/sync.h"

namespace corv {

enum class PromptKind { Ok, YesNo };
enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptAnswer { Ok, Yes, No };

class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual PromptAnswer Ask(const std::string& text, const std::string& caption, PromptKind kind,
                             PromptIcon icon) = 0;
};

void SetPrompter(Prompter* prompter);  // not owned; nullptr restores the system's message box
PromptAnswer ShowPrompt(const std::string& text, const std::string& caption = "Corvane",
                        PromptKind kind = PromptKind::Ok, PromptIcon icon = PromptIcon::None);

// Answers from a script (Yes when it runs dry) and records every text shown.
class ScriptedPrompter : public Prompter {
  public:
    explicit ScriptedPrompter(std::deque<PromptAnswer> answers = {});
    PromptAnswer Ask(const std::string& text, const std::string& caption, PromptKind kind,
                     PromptIcon icon) override;
    std::vector<std::string> Texts();

  private:
    Mutex mutex_;
    std::deque<PromptAnswer> answers_;
    std::vector<std::string> texts_;
};

// Installs a ScriptedPrompter for the lifetime of the object.
class ScopedScriptedPrompter : public ScriptedPrompter {
  public:
    explicit ScopedScriptedPrompter(std::deque<PromptAnswer> answers = {});
    ~ScopedScriptedPrompter() override;
};

}  // namespace corv
