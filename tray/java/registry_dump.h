// Registry inspection for the log: subkey and value lists and a dump of a key. Keys are only
// read. Lists are single strings with their items separated by "\n".
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace corv {

// Direct subkey names; empty when the key cannot be opened.
std::string EnumSubkeys(RegRoot root, const std::string& keyPath);
// "name=value" items: text for REG_SZ, "binary data", "dword:%08x", and
// "<unsupported Registry Value Type>" for any other type. Credentials are masked.
std::string EnumValues(RegRoot root, const std::string& keyPath);
// Logs a key's values (leaving out names that contain a word of excludedNames, a list
// separated by ", "), then, when recursive, each subkey the same way.
void RegDump(RegRoot root, const std::string& keyPath, const std::string& excludedNames,
             bool recursive);

// The rendering of one value as EnumValues shows it.
std::string RenderRegValue(const RegValue& value);

}  // namespace corv
