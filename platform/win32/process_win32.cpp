#include <windows.h>
// After windows.h:
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

// PSAPI is loaded only when asked for (NT 3.51 and 4, where ToolHelp is missing): a system
// without psapi.dll must still start the program. Taken from the system folder only.
struct Psapi {
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using BaseNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, wchar_t*, DWORD);
    EnumProcessesFn enumProcesses = nullptr;
    EnumModulesFn enumModules = nullptr;
    BaseNameFn baseName = nullptr;
};

bool LoadPsapi(Psapi* out) {
    static const Psapi psapi = [] {
        Psapi p;
        wchar_t folder[MAX_PATH];
        UINT n = GetSystemDirectoryW(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return p;
        HMODULE lib = LoadLibraryW((std::wstring(folder, n) + L"\\psapi.dll").c_str());
        if (!lib) return p;  // kept loaded for the life of the process once found
        auto find = [lib](const char* name) {
            return reinterpret_cast<void*>(GetProcAddress(lib, name));
        };
        p.enumProcesses = reinterpret_cast<Psapi::EnumProcessesFn>(find("EnumProcesses"));
        p.enumModules = reinterpret_cast<Psapi::EnumModulesFn>(find("EnumProcessModules"));
        p.baseName = reinterpret_cast<Psapi::BaseNameFn>(find("GetModuleBaseNameW"));
        return p;
    }();
    *out = psapi;
    return psapi.enumProcesses && psapi.enumModules && psapi.baseName;
}

bool ListWithPsapi(const std::function<void(const ProcessEntry&)>& visit) {
    Psapi psapi;
    if (!LoadPsapi(&psapi)) return false;
    // A full buffer may have cut the list short: grow it until the list fits.
    std::vector<DWORD> pids(1024);
    DWORD bytes = 0;
    for (;;) {
        DWORD size = static_cast<DWORD>(pids.size() * sizeof(DWORD));
        if (!psapi.enumProcesses(pids.data(), size, &bytes)) return false;
        if (bytes < size || pids.size() >= (1u << 20)) break;
        pids.resize(pids.size() * 2);
    }
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        ProcessEntry entry{pids[i], "unknown"};
        HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pids[i]);
        if (h) {
            HMODULE mod = nullptr;
            DWORD needed = 0;
            wchar_t name[MAX_PATH];
            if (psapi.enumModules(h, &mod, sizeof(mod), &needed) &&
                psapi.baseName(h, mod, name, MAX_PATH))
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
