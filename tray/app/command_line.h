// The tray client's command line: "/hide", "/waitonrestart", "/reconnect", "/id:<value>".
#pragma once

#include <string>
#include <vector>

namespace corv {

class CCorvanCommandLineInfo {
  public:
    bool hide = false;
    bool waitOnRestart = false;
    bool reconnect = false;
    std::string clientId;
    // Parameters that are not ours, for the standard handling (a file to open, ...).
    std::vector<std::string> others;

    // One parameter; flags start with "/" or "-".
    void ParseParam(const std::string& param);
    void Parse(const std::vector<std::string>& params);
};

// The client id names a folder ("logs-<id>") and a registry key ("Settings\<id>"), so it must
// be one plain name. Empty when the id is usable, else why it is not.
std::string ClientIdProblem(const std::string& id);
constexpr size_t kMaxClientIdChars = 64;

// Splits a raw Windows command line (without the program name) into parameters.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace corv
