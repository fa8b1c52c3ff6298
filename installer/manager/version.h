// Versions: dotted decimal numbers compared field by field as numbers, so 2.10 is newer than
// 2.9. A missing field counts as 0 ("2.1" equals "2.1.0"), and "-" separates like a dot, so
// that a file version ("2.1.0-0042") compares with a release version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corv::inst {

// False for an empty text, an empty field or a field that is not a number of at most nine
// digits.
bool ParseVersion(const std::string& text, std::vector<uint32_t>* fields);
// *order is negative, 0 or positive as a is older, equal or newer than b; false when either
// is not a version.
bool CompareVersions(const std::string& a, const std::string& b, int* order);

}  // namespace corv::inst
