// The lock that guards the installer's state shared between the wizard's thread and the job's.
// One place, so that it follows the platform's own lock when the thread model changes.
#pragma once

#include <mutex>

namespace corv::inst {

using InstLock = std::mutex;

}  // namespace corv::inst
