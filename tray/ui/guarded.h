// The tray client's dialogs and pages: a handler that throws is logged, and the window goes on.
#pragma once

#include "platform/win32/dialog.h"
#include "tray/app/frame_messages.h"

namespace corv {

template <class Base>
class Guarded : public Base {
  public:
    Guarded(UINT templateId, const char* name) : Base(templateId), name_(name) {}

  protected:
    void OnHandlerFailed(UINT) override { LogIgnoredException(name_); }

  private:
    const char* name_;
};

}  // namespace corv
