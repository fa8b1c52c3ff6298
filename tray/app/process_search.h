// Finding another running copy of a program by its image name.
#pragma once

#include <string>

namespace corv {

// The id of another running process whose image file name equals `imageName` (case ignored),
// or 0. The own process is skipped. With `verbose` the search and every process go to the log.
unsigned FindRunningProcess(const std::string& imageName, bool verbose);

}  // namespace corv
