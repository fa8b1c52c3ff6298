#include "tests/support/tray_process.h"

#include "platform/files.h"
#include "platform/text.h"

namespace corv::test {

std::string WindowsPathOf(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string DecodeLog(const std::string& bytes) {
    std::string out;
    bool scrambled = !bytes.empty() && bytes[0] != '[';
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        // Bytes whose scrambled value would be a line end were stored unchanged.
        if (scrambled && c != '\n' && c != '\r' && c != ('\n' ^ 0x47) && c != ('\r' ^ 0x47))
            c ^= 0x47;
        out += static_cast<char>(c);
    }
    return out;
}

std::string TempRoot() {
    wchar_t buf[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    return n && n <= MAX_PATH ? Narrow(std::wstring(buf, n)) : std::string();
}

namespace {

const int kMaxTreeDepth = 32;

std::wstring Extended(const std::wstring& full) {
    return L"\\\\?\\" + full;
}

// Removes the contents of a folder and the folder. A link is removed as itself, never followed.
bool RemoveTree(const std::wstring& full, int depth) {
    if (depth > kMaxTreeDepth) return false;
    bool ok = true;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Extended(full + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = full + L"\\" + name;
            const DWORD a = found.dwFileAttributes;
            if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
                ok = RemoveTree(child, depth + 1) && ok;
                continue;
            }
            if (a & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(Extended(child).c_str(), a & ~FILE_ATTRIBUTE_READONLY);
            BOOL removed = (a & FILE_ATTRIBUTE_DIRECTORY)
                               ? RemoveDirectoryW(Extended(child).c_str())
                               : DeleteFileW(Extended(child).c_str());
            ok = removed && ok;
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    return RemoveDirectoryW(Extended(full).c_str()) && ok;
}

}  // namespace

bool RemoveTestTree(const std::string& path) {
    // Only an absolute path strictly inside the temp folder, with nothing that could lead out.
    const std::string temp = TempRoot();
    if (temp.size() < 4 || path.size() <= temp.size() + 1) return false;
    if (path.compare(0, temp.size(), temp) != 0 || path[1] != ':') return false;
    const std::string rest = path.substr(temp.size());
    if (rest.find("..") != std::string::npos || rest.find('/') != std::string::npos ||
        rest.find(':') != std::string::npos || rest[0] == '\\')
        return false;
    std::wstring full = Widen(path);
    while (!full.empty() && full.back() == L'\\') full.pop_back();
    const DWORD a = GetFileAttributesW(Extended(full).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return true;  // nothing to remove
    if (!(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return RemoveTree(full, 0);
}

TrayProcess::TrayProcess(const std::string& name) {
    home_ = TempRoot() + "corvtest-" + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryW(Widen(home_).c_str(), nullptr);
    // The program and the bridge library it imports, as an install lays them out.
    std::string program = WindowsPathOf(CORVTRAY_EXE);
    std::string folder = program.substr(0, program.rfind('\\'));
    for (const char* file : {"corvtray.exe", "jnibridge.dll"})
        CopyFileW(Widen(folder + "\\" + file).c_str(), Widen(home_ + "\\" + file).c_str(), FALSE);
    outputFile_ = home_ + ".out";
}

TrayProcess::~TrayProcess() {
    if (Running()) Kill();
    if (process_.hProcess) CloseHandle(process_.hProcess);
    if (process_.hThread) CloseHandle(process_.hThread);
    // Leave nothing behind in the prefix's temp folder. Never the shell's recursive delete:
    // under Wine it strays out of trees deeper than the path limit.
    RemoveTestTree(home_);
    DeleteFileW(Widen(outputFile_).c_str());
}

bool TrayProcess::Start(const std::string& arguments) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE out = CreateFileW(Widen(outputFile_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = nullptr;
    std::wstring cmd = L"\"" + Widen(home_ + "\\corvtray.exe") + L"\" " + Widen(arguments);
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             Widen(home_).c_str(), &si, &process_);
    CloseHandle(out);
    return ok != FALSE;
}

HWND TrayProcess::WaitForWindow(const std::string& title, unsigned timeoutMs) {
    for (unsigned waited = 0; waited <= timeoutMs; waited += 50) {
        HWND w = FindWindowW(nullptr, Widen(title).c_str());
        if (w) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == process_.dwProcessId) {
                // The window exists before start-up has shown it: wait for the message loop.
                WaitForInputIdle(process_.hProcess, timeoutMs);
                DWORD_PTR result = 0;
                SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result);
                return w;
            }
        }
        if (!Running()) return nullptr;
        Sleep(50);
    }
    return nullptr;
}

int TrayProcess::WaitForExit(unsigned timeoutMs) {
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

int TrayProcess::CloseAndWait(HWND window, unsigned timeoutMs) {
    // The installer's quit message: a plain close only hides while running in background.
    PostMessageW(window, 33518, 0, 0);
    return WaitForExit(timeoutMs);
}

bool TrayProcess::Running() {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::string TrayProcess::AnswerMessageBox(unsigned timeoutMs, int button) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{process_.dwProcessId, nullptr};
    for (unsigned waited = 0; waited <= timeoutMs && Running(); waited += 50) {
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                wchar_t cls[64];
                GetClassNameW(w, cls, 64);
                if (pid == s->pid && std::wstring(cls) == L"#32770") s->found = w;
                return s->found == nullptr;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            wchar_t text[512] = L"";
            // The box exists a moment before its text does.
            if (GetDlgItemTextW(search.found, 0xFFFF, text, 512) > 0) {
                PostMessageW(search.found, WM_COMMAND, button, 0);
                return Narrow(text);
            }
            search.found = nullptr;
        }
        Sleep(50);
    }
    return std::string();
}

void TrayProcess::Kill() {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
}

std::string TrayProcess::ReadLog(const std::string& relative) const {
    std::string bytes;
    return ReadFileText(home_ + "\\" + relative, &bytes) ? DecodeLog(bytes) : std::string();
}

std::string TrayProcess::Output() const {
    std::string bytes;
    ReadFileText(outputFile_, &bytes);
    return bytes;
}

void SetString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value) {
    HKEY k;
    if (RegCreateKeyExW(root, Widen(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr))
        return;
    std::wstring v = Widen(value);
    RegSetValueExW(k, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

void SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
    HKEY k;
    if (RegCreateKeyExW(root, Widen(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr))
        return;
    RegSetValueExW(k, Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    RegCloseKey(k);
}

void DeleteKeyTree(HKEY root, const std::string& key) {
    using DeleteTree = LONG(WINAPI*)(HKEY, LPCWSTR);
    auto fn = reinterpret_cast<DeleteTree>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteTreeW")));
    if (fn) fn(root, Widen(key).c_str());
}

void ClearFixtures() {
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Velmora");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Velmora");
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\JavaSoft\\Prefs\\corvane");
}

std::string ReadValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k;
    if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return "<absent>";
    wchar_t buf[1024];
    DWORD size = sizeof(buf), type = 0;
    LONG rc = RegQueryValueExW(k, Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf),
                               &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return "<absent>";
    if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(buf));
    return Narrow(std::wstring(buf, size / sizeof(wchar_t)).c_str());
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFile(const std::string& path, const std::string& text) {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

}  // namespace corv::test
