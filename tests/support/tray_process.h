// Runs the real corvtray.exe under Wine for integration tests: a private Home folder with a copy
// of the program, preferences fixtures, the window found by its title, the decoded log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace corv::test {

// The Windows path of a file built on the Linux side ("/a/b" -> "Z:\a\b").
std::string WindowsPathOf(const std::string& unixPath);

// The temp folder, with its trailing backslash.
std::string TempRoot();
// Deletes a test folder tree: only an absolute path strictly inside the temp folder, no "..",
// links removed as themselves and never followed, at most 32 levels deep. False when it refused
// or could not remove everything.
bool RemoveTestTree(const std::string& path);

// Decodes the scrambled log form (the plain form passes unchanged); CR LF becomes LF.
std::string DecodeLog(const std::string& bytes);

class TrayProcess {
  public:
    // Makes a fresh Home folder holding corvtray.exe.
    explicit TrayProcess(const std::string& name);
    ~TrayProcess();

    const std::string& Home() const { return home_; }
    // Starts corvtray.exe from Home with the arguments; false if it could not start. An
    // installed client has an account: one is stored for the user unless the test is about a
    // start without one (WithoutAccount), which shows the account dialog.
    bool Start(const std::string& arguments = "");
    void WithoutAccount() { giveAccount_ = false; }
    unsigned Pid() const { return process_.dwProcessId; }
    // Waits for a top-level window with this title; nullptr after the time.
    HWND WaitForWindow(const std::string& title, unsigned timeoutMs = 15000);
    // Asks the window to close and waits for the process to end; its exit code, or -1.
    int CloseAndWait(HWND window, unsigned timeoutMs = 15000);
    int WaitForExit(unsigned timeoutMs);
    bool Running();
    void Kill();
    // Waits for a message box of this process; answers it with the button (OK, or IDYES ...)
    // and returns its text.
    std::string AnswerMessageBox(unsigned timeoutMs = 15000, int button = IDOK);
    // The decoded text of a log file under Home ("logs\\start0.log" ...), empty if missing.
    std::string ReadLog(const std::string& relative = "logs\\start0.log") const;
    // Everything the program printed to standard output.
    std::string Output() const;

  private:
    std::string home_;
    std::string outputFile_;
    bool giveAccount_ = true;
    PROCESS_INFORMATION process_ = {};
};

// Registry fixtures under HKCU/HKLM, removed again by ClearFixtures.
void SetString(HKEY root, const std::string& key, const std::string& name,
               const std::string& value);
void SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
// A REG_SZ or REG_DWORD value as text; "<absent>" when there is none.
std::string ReadValue(HKEY root, const std::string& key, const std::string& name);
void DeleteKeyTree(HKEY root, const std::string& key);
void ClearFixtures();

// The top-level window of the process with this title (and window class, when given), once its
// thread takes messages again; nullptr after the time.
HWND WaitForProcessWindow(unsigned pid, const std::string& title, unsigned timeoutMs = 15000,
                          const wchar_t* windowClass = nullptr);

bool FileExists(const std::string& path);
// Deletes a folder tree inside the temp folder (absolute path; anything else is refused),
// without following links.
void RemoveTestFolder(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

}  // namespace corv::test
