#include "tray/java/script_runner.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tray/core/messages.h"

namespace corv {

ScriptRunner& ScriptRunner::Instance() {
    static ScriptRunner runner;
    return runner;
}

LineQueue& ScriptRunner::Queue() {
    return ScriptLogQueue();
}

bool ScriptRunner::Start(const std::string& script, const std::string& arguments,
                         const std::string& folder) {
    if (IsRunning()) return false;
    script_ = script;
    arguments_ = arguments;
    folder_ = folder;
    return WorkerThread::Start();
}

unsigned ScriptRunner::Run() {
    LineQueue& q = Queue();
    q.Push(Format("ScriptRunner started thread: 0x%x\n", static_cast<unsigned>(CurrentThreadId())));
    std::string description = script_ + " " + arguments_ + " # startin: " + folder_;
    // Held from its start: once the script has ended its id may belong to another process.
    ChildProcess script;
    bool started = false;
    try {
        std::string arguments = arguments_.substr(0, 2048);
        StartOptions options;
        options.folder = folder_;
        options.hidden = true;
        started = script.Start(script_, arguments, options);
        if (!started)
            q.Push(Format("Could not start command: %s \nFolder: %s\n", script_.c_str(),
                          folder_.c_str()));
    } catch (...) {
        q.Push(Format("ERROR: Caught unknown exception while starting command: %s, folder: %s\n",
                      script_.c_str(), folder_.c_str()));
    }
    if (!started) {
        q.Push(Format("Failed to start %s", description.c_str()));
        PostToMain(kMsgScriptLog);
        return 0;
    }
    const unsigned pid = script.Id();
    q.Push(Format("\n*\n* Started process, pid: %u, script: %s\n*\n\n", pid, description.c_str()));
    PostToMain(kMsgScriptLog);
    if (timeLimitMs_) {
        script.Wait(timeLimitMs_);
        q.Push(script.Terminate(1) ? "Killed verify.bat\n" : "Could not kill verify.bat\n");
    } else {
        script.Wait(kWaitForever);
    }
    script.Release();
    q.Push(Format("\n*\n* Finished pid: %u, script: %s\n*\n\n", pid, description.c_str()));
    PostToMain(kMsgScriptFinished);
    return 0;
}

bool IsWindows9x(const std::string& v) {
    return v == "Windows 98" || v == "Windows 98 SP1" || v == "Windows 98 SE" || v == "Windows ME";
}

bool IsOldNt(const std::string& v) {
    return v == "Windows NT 3.51" || v == "Windows NT 4";
}

std::string VerifyScriptText(const std::string& version, const std::string& javaHome,
                             const std::string& scriptPath) {
    const bool nine = IsWindows9x(version);
    const char* j = javaHome.c_str();
    std::string s;
    s += "echo Running script verify.bat > logs\\start.log\n";
    s += "echo BEGIN >> logs\\start.log\n";
    s += "type verify.bat >> logs\\start.log\n";
    s += "echo END >> logs\\start.log\n\n";
    s += "echo PATH=%PATH% >> logs\\start.log\n\n";
    if (nine) {
        s += "echo java -verbose -version >> logs\\start.log\n";
        s += "java -verbose -version >> logs\\start.log \n\n";
    } else {
        s += "echo java -version >> logs\\start.log\n";
        s += "java -version >> logs\\start.log 2>&1\n\n";
    }
    if (!javaHome.empty()) {
        if (nine) {
            s += Format("echo \"%s\\bin\\java.exe\" -verbose -version >> logs\\start.log \n", j);
            s += Format("\"%s\\bin\\java.exe\" -verbose  -version >> logs\\start.log\n\n", j);
        } else {
            s += Format("echo \"%s\\bin\\java.exe\" -version >> logs\\start.log \n", j);
            s += Format("\"%s\\bin\\java.exe\" -version >> logs\\start.log 2>&1\n\n", j);
        }
        s += Format("echo dir \"%s\\bin\\client\" >> logs\\start.log\n", j);
        s += Format("dir \"%s\\bin\\client\" >> logs\\start.log\n\n", j);
    }
    if (!nine && !IsOldNt(version)) {
        s += "echo netstat -a -n -o >> logs\\start.log\n";
        s += "netstat -a -n -o >> logs\\start.log\n\n";
    } else {
        s += "echo netstat -a -n >> logs\\start.log\n";
        s += "netstat -a -n  >> logs\\start.log\n\n";
    }
    s += "echo ipconfig /all >> logs\\start.log\n";
    s += "ipconfig /all  >> logs\\start.log\n\n";
    if (!scriptPath.empty()) s += Format("del \"%s\"\n", scriptPath.c_str());
    return s;
}

void AppendStartLog(const std::string& home) {
    std::string startLog = WithTrailingBackslash(home) + "logs\\start.log";
    TheLog().AppendScriptOutput(startLog);
    RemoveFile(startLog);
}

}  // namespace corv
