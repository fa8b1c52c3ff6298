#include "platform/console.h"

namespace corv {

// A native process already has its terminal.
bool OpenConsole() {
    return true;
}

}  // namespace corv
