#include "tray/app/command_line.h"

#include "platform/text.h"

namespace corv {

void CCorvanCommandLineInfo::ParseParam(const std::string& param) {
    if (param.size() < 2 || (param[0] != '/' && param[0] != '-')) {
        others.push_back(param);
        return;
    }
    std::string flag = param.substr(1);
    if (EqualsNoCase(flag, "hide")) {
        hide = true;
    } else if (EqualsNoCase(flag, "waitonrestart")) {
        waitOnRestart = true;
    } else if (EqualsNoCase(flag, "reconnect")) {
        reconnect = true;
    } else if (StartsWithNoCase(flag, "id:")) {
        clientId = flag.substr(3);
    } else {
        others.push_back(param);
    }
}

void CCorvanCommandLineInfo::Parse(const std::vector<std::string>& params) {
    for (const auto& p : params) ParseParam(p);
}

std::string ClientIdProblem(const std::string& id) {
    size_t chars = 0;
    for (char ch : id) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) return "it holds a control character";
        if (c == '\\' || c == '/') return "it holds a path separator";
        if (std::string(":*?\"<>|").find(ch) != std::string::npos)
            return "it holds one of : * ? \" < > |";
        if ((c & 0xC0) != 0x80) ++chars;  // UTF-8: count characters, not bytes
    }
    if (id.find("..") != std::string::npos) return "it holds \"..\"";
    if (!id.empty() && (id.back() == '.' || id.back() == ' ')) return "it ends in a dot or a blank";
    if (chars > kMaxClientIdChars) return "it is longer than 64 characters";
    return std::string();
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> params;
    std::string current;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) params.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) params.push_back(current);
    return params;
}

}  // namespace corv
