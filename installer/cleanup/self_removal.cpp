#include "installer/cleanup/self_removal.h"

#include "installer/sys/inst_log.h"
#include "installer/sys/process_util.h"
#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

namespace {

bool IsFullPath(const std::string& path) {
    bool drive = path.size() >= 3 &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                 path[1] == ':' && path[2] == '\\';
    bool share = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
    return drive || share;
}

bool IsLibrary(const std::string& path) {
    return path.size() > 4 && EqualsNoCase(path.substr(path.size() - 4), ".dll");
}

// The path in double quotes as the interpreter must read it; empty with *why set when the
// path cannot be named without the line meaning something else.
std::string Quoted(const std::string& path, std::string* why) {
    if (!IsFullPath(path)) {
        *why = "not a full path";
        return std::string();
    }
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7f || c == '"' || c == '*' || c == '?') {
            *why = "a character the script cannot hold";
            return std::string();
        }
    }
    std::string text;
    if (!Utf8ToOem(path, &text)) {
        *why = "a character of no form in the console code page";
        return std::string();
    }
    // A percent sign would start a variable name.
    std::string quoted = "\"";
    for (char c : text) quoted += c == '%' ? std::string("%%") : std::string(1, c);
    return quoted + "\"";
}

std::string WithoutTrailingBackslash(std::string folder) {
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    return folder;
}

}  // namespace

bool CleanupScriptText(const SelfRemoval& removal, std::string* text) {
    std::string folder = WithoutTrailingBackslash(removal.folder);
    std::string why;
    std::string quotedFolder = Quoted(folder, &why);
    std::string script = Quoted(WithTrailingBackslash(folder) + kCleanupScriptName, &why);
    if (quotedFolder.empty() || script.empty()) {
        InstLog("DeleteMySelf: the folder %s cannot be named in a script: %s\n", folder.c_str(),
                why.c_str());
        return false;
    }

    std::string out = "ping -n 2 localhost> NUL\n";
    auto del = [&](const std::string& path) {
        if (path.empty()) return;
        std::string quoted = Quoted(path, &why);
        if (!quoted.empty() && IsDirectory(path)) {
            quoted.clear();
            why = "a folder";
        }
        if (quoted.empty())
            InstLog("DeleteMySelf: left out %s, %s\n", path.c_str(), why.c_str());
        else
            out += "del " + quoted + "\n";
    };
    for (const auto& file : removal.packageFiles)
        if (IsLibrary(file)) del(file);
    del(WithTrailingBackslash(folder) + "uninst.cfg");
    del(WithTrailingBackslash(folder) + "uninst.exe");
    del(removal.uninstallLog);
    del(WithTrailingBackslash(folder) + "install.log");

    size_t cut = folder.rfind('\\');
    std::string parent = cut == std::string::npos ? std::string() : folder.substr(0, cut);
    if (parent.size() == 2) parent += "\\";  // "C:" would be the drive's current folder
    std::string quotedParent = parent.empty() ? std::string() : Quoted(parent, &why);
    std::string leave = "cd /d " + quotedParent + " & del " + script;
    if (quotedParent.empty() || parent == folder) {
        out += "del " + script + "\n";
    } else if (folder.find('%') != std::string::npos) {
        // A second interpreter would expand the name on its command line: the folder goes
        // where the interpreter closes the script between lines, as Windows' does.
        out += leave + " & rmdir " + quotedFolder + "\n";
    } else {
        // One line, read whole before it runs: the interpreter leaves the folder and deletes
        // the script. Some interpreters hold the script open until they end, so a second one
        // removes the folder a moment later; rmdir takes it only when it is empty.
        out += leave + " & start \"\" /b cmd /c ping -n 2 localhost^> NUL ^& rmdir " +
               quotedFolder + "\n";
    }
    *text = std::move(out);
    return true;
}

unsigned DeleteMySelf(const SelfRemoval& removal) {
    InstLog("CInstallApp::DeleteMySelf()\n");
    std::string text;
    if (!CleanupScriptText(removal, &text)) return 0;
    std::string folder = WithoutTrailingBackslash(removal.folder);
    std::string path = WithTrailingBackslash(folder) + kCleanupScriptName;
    long rc = WriteFileBytes(path, text);
    if (rc != kOk) {
        InstLog("Could not create: %s, reason: %s\n", path.c_str(), ErrorWithText(rc).c_str());
        return 0;
    }
    // The interpreter starts outside the folder, which it would otherwise keep in use. A
    // command line would expand a "%" in the path: such a script is named from its folder.
    std::string shell = GetEnv("ComSpec");
    if (shell.empty()) shell = "cmd.exe";
    bool percent = folder.find('%') != std::string::npos;
    std::string start = FolderOf(folder);
    if (start.size() == 2) start += "\\";
    if (percent || start.empty()) start = folder;
    std::string arguments =
        percent ? std::string("/c ") + kCleanupScriptName : "/s /c \"\"" + path + "\"\"";
    // The script outlives this program: only its id is kept.
    ChildProcess script;
    unsigned pid = StartCommand(shell, arguments, start, false, &script) ? script.Id() : 0;
    script.Release();
    if (pid == 0)
        InstLog("Failed to start %s\n", path.c_str());
    else
        InstLog("Started %s with pid: %u\n", path.c_str(), pid);
    return pid;
}

}  // namespace corv::inst
