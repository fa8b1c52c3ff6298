#include <windows.h>

#include <vector>

#include "platform/process.h"
#include "platform/text.h"

namespace corv {

namespace {
constexpr unsigned kTerminateWaitMs = 5000;
}  // namespace

ChildProcess::~ChildProcess() {
    Release();
}

bool ChildProcess::Start(const std::string& program, const std::string& arguments,
                         const StartOptions& options, long* error) {
    Release();
    std::wstring cmd = L"\"" + Widen(program) + L"\"";
    if (!arguments.empty()) cmd += L" " + Widen(arguments);
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (options.hidden) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION pi = {};
    std::wstring folder = Widen(options.folder);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                        options.hidden ? CREATE_NO_WINDOW : 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        if (error) *error = static_cast<long>(GetLastError());
        return false;
    }
    CloseHandle(pi.hThread);
    handle_ = pi.hProcess;
    id_ = pi.dwProcessId;
    return true;
}

ProcessWait ChildProcess::Wait(unsigned timeoutMs, unsigned* exitCode) {
    if (!handle_) return ProcessWait::Failed;
    DWORD r = WaitForSingleObject(static_cast<HANDLE>(handle_), timeoutMs);
    if (r == WAIT_TIMEOUT) return ProcessWait::Timeout;
    if (r != WAIT_OBJECT_0) return ProcessWait::Failed;
    if (exitCode) {
        DWORD code = 0;
        GetExitCodeProcess(static_cast<HANDLE>(handle_), &code);
        *exitCode = code;
    }
    return ProcessWait::Ended;
}

bool ChildProcess::Terminate(unsigned exitCode) {
    if (!handle_ || Wait(0) != ProcessWait::Timeout) return false;  // ended already
    if (!TerminateProcess(static_cast<HANDLE>(handle_), exitCode)) return false;
    Wait(kTerminateWaitMs);  // termination completes after the call returns
    return true;
}

void ChildProcess::Release() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    id_ = 0;
}

}  // namespace corv
