#include <windows.h>

#include "platform/prompt.h"
#include "platform/text.h"

namespace corv {

namespace {
class MessageBoxPrompter : public Prompter {
  public:
    PromptAnswer Ask(const std::string& text, const std::string& caption, PromptKind kind,
                     PromptIcon icon) override {
        UINT type = kind == PromptKind::YesNo ? MB_YESNO : MB_OK;
        switch (icon) {
            case PromptIcon::Information:
                type |= MB_ICONINFORMATION;
                break;
            case PromptIcon::Warning:
                type |= MB_ICONWARNING;
                break;
            case PromptIcon::Error:
                type |= MB_ICONERROR;
                break;
            case PromptIcon::Question:
                type |= MB_ICONQUESTION;
                break;
            case PromptIcon::None:
                break;
        }
        int r = MessageBoxW(GetActiveWindow(), Widen(text).c_str(), Widen(caption).c_str(), type);
        if (kind == PromptKind::Ok) return PromptAnswer::Ok;
        return r == IDYES ? PromptAnswer::Yes : PromptAnswer::No;
    }
};
}  // namespace

Prompter& SystemPrompter() {
    static MessageBoxPrompter prompter;
    return prompter;
}

}  // namespace corv
