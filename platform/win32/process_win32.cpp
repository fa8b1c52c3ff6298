#include <windows.h>
// After windows.h:
#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/process.h"
#include "platform/text.h"

namespace corv {

namespace {

// CreateProcess with the program quoted; the caller owns both handles.
long Create(const std::string& program, const std::string& arguments, const StartOptions& options,
            PROCESS_INFORMATION* pi) {
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
    std::wstring folder = Widen(options.folder);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                        options.hidden ? CREATE_NO_WINDOW : 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, pi))
        return static_cast<long>(GetLastError());
    return 0;
}

ProcessWait WaitOn(HANDLE h, unsigned timeoutMs, unsigned* exitCode) {
    DWORD r = WaitForSingleObject(h, timeoutMs);
    ProcessWait result = r == WAIT_OBJECT_0  ? ProcessWait::Ended
                         : r == WAIT_TIMEOUT ? ProcessWait::Timeout
                                             : ProcessWait::Failed;
    if (result == ProcessWait::Ended && exitCode) {
        DWORD code = 0;
        GetExitCodeProcess(h, &code);
        *exitCode = code;
    }
    return result;
}

}  // namespace

unsigned StartProcess(const std::string& program, const std::string& arguments,
                      const StartOptions& options, long* error) {
    PROCESS_INFORMATION pi = {};
    long rc = Create(program, arguments, options, &pi);
    if (rc != 0) {
        if (error) *error = rc;
        return 0;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

ChildProcess::~ChildProcess() {
    Release();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
    *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Release();
        pid_ = other.pid_;
        handle_ = other.handle_;
        other.pid_ = 0;
        other.handle_ = nullptr;
    }
    return *this;
}

void ChildProcess::Release() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    pid_ = 0;
}

long ChildProcess::Start(const std::string& program, const std::string& arguments,
                         const StartOptions& options) {
    Release();
    PROCESS_INFORMATION pi = {};
    long rc = Create(program, arguments, options, &pi);
    if (rc != 0) return rc;
    CloseHandle(pi.hThread);
    handle_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return 0;
}

ProcessWait ChildProcess::Wait(unsigned timeoutMs, unsigned* exitCode) {
    if (!handle_) return ProcessWait::Failed;
    return WaitOn(static_cast<HANDLE>(handle_), timeoutMs, exitCode);
}

bool ChildProcess::Terminate(unsigned exitCode) {
    return handle_ && TerminateProcess(static_cast<HANDLE>(handle_), exitCode) != FALSE;
}

ProcessWait WaitForProcess(unsigned pid, unsigned timeoutMs, unsigned* exitCode) {
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!h) return ProcessWait::Failed;
    ProcessWait result = WaitOn(h, timeoutMs, exitCode);
    CloseHandle(h);
    return result;
}

bool TerminateProcessById(unsigned pid, unsigned exitCode) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!h) return false;
    BOOL ok = TerminateProcess(h, exitCode);
    CloseHandle(h);
    return ok != FALSE;
}

namespace {

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ToolHelp is looked up by name: NT 4 and earlier do not have it in kernel32.
bool ListWithToolHelp(const std::function<void(const ProcessEntry&)>& visit) {
    HMODULE kernel = GetModuleHandleA("Kernel32");
    if (!kernel) return false;
    using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
    using Walk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);
    auto snapshot = reinterpret_cast<Snapshot>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
    auto first =
        reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(kernel, "Process32FirstW")));
    auto next =
        reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(kernel, "Process32NextW")));
    if (!snapshot || !first || !next) return false;
    HANDLE snap = snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = first(snap, &entry); ok; ok = next(snap, &entry)) {
        std::string name = BaseName(Narrow(entry.szExeFile));
        visit(ProcessEntry{entry.th32ProcessID, name.empty() ? "unknown" : name});
    }
    CloseHandle(snap);
    return true;
}

bool ListWithPsapi(const std::function<void(const ProcessEntry&)>& visit) {
    std::vector<DWORD> pids(4096);
    DWORD bytes = 0;
    if (!EnumProcesses(pids.data(), static_cast<DWORD>(pids.size() * sizeof(DWORD)), &bytes))
        return false;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        ProcessEntry entry{pids[i], "unknown"};
        HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pids[i]);
        if (h) {
            HMODULE mod = nullptr;
            DWORD needed = 0;
            wchar_t name[MAX_PATH];
            if (EnumProcessModules(h, &mod, sizeof(mod), &needed) &&
                GetModuleBaseNameW(h, mod, name, MAX_PATH))
                entry.imageName = Narrow(name);
            CloseHandle(h);
        }
        visit(entry);
    }
    return true;
}

}  // namespace

bool ListProcesses(ProcessListMethod method,
                   const std::function<void(const ProcessEntry&)>& visit) {
    return method == ProcessListMethod::Psapi ? ListWithPsapi(visit) : ListWithToolHelp(visit);
}

}  // namespace corv
