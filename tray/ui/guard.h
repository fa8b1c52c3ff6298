// The catch-all of every window entry point: no exception crosses a Win32 callback.
#pragma once

#include <utility>

#include "tray/app/frame_messages.h"

namespace corv {

template <typename Body>
void Guarded(const char* name, Body&& body) {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        LogIgnoredException(name);
    }
}

}  // namespace corv
