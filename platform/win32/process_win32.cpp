#include <windows.h>
// After windows.h:
#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/process.h"
#include "platform/text.h"

namespace corv {

unsigned StartProcess(const std::string& program, const std::string& arguments,
                      const StartOptions& options, long* error) {
    ChildProcess child;
    if (!child.Start(program, arguments, options, error)) return 0;
    return child.Id();  // the handle closes with the child object
}

ProcessWait WaitForProcess(unsigned pid, unsigned timeoutMs, unsigned* exitCode) {
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!h) return ProcessWait::Failed;
    DWORD r = WaitForSingleObject(h, timeoutMs);
    ProcessWait result = r == WAIT_OBJECT_0  ? ProcessWait::Ended
                         : r == WAIT_TIMEOUT ? ProcessWait::Timeout
                                             : ProcessWait::Failed;
    if (result == ProcessWait::Ended && exitCode) {
        DWORD code = 0;
        GetExitCodeProcess(h, &code);
        *exitCode = code;
    }
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
