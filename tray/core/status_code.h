// The short status code of a status text, published for other programs.
#pragma once

#include <string>

namespace corv {

// "Connected", "ErrorDisabled", ... by the keyword tables. Logs its result.
std::string ParseStatusCode(const std::string& text);

}  // namespace corv
