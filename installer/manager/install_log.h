// The installer's own log file. Until the target folder is known it lives in the temporary
// folder as "<product>_<action>_<nnn>.log"; at the end it moves into the target folder under
// the action's name ("install.log" ...). Lines written before a file is open are kept and
// written first.
#pragma once

#include <cstdio>
#include <string>

#include "installer/sys/inst_log.h"

namespace corv::inst {

class CInstallLog {
  public:
    CInstallLog() = default;
    ~CInstallLog();
    CInstallLog(const CInstallLog&) = delete;
    CInstallLog& operator=(const CInstallLog&) = delete;

    // Becomes the installer's log (InstLog) until Detach or destruction. `echo`, when set,
    // also gets every line (the capture console).
    void Attach(InstallLogSink echo = InstallLogSink());
    void Detach();

    // The folder named by TEMP ("C:\TEMP" when unset), with a trailing backslash.
    static std::string TemporaryFolder();
    // Opens the first of "%s_%s_%03d.log" (product, action word, 000 to 009) in the
    // temporary folder that does not exist. Throws CInstallException "Could not generate
    // temporary log filename!" when all ten exist, "Could not create log file: %s \nreason: %s"
    // when it cannot be made.
    void OpenTemporary(const std::string& product, const std::string& actionWord);
    // Moves the log to `path`, replacing a file of that name, and goes on writing there.
    // Throws CInstallException "Could not reopen log file: %s \nreason: %s"; the log then
    // goes on where it was.
    void MoveTo(const std::string& path);
    void Close();

    const std::string& Path() const { return m_path; }
    void Write(const std::string& text);

  private:
    void Open(const std::string& path, const char* mode, const char* failure);

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_pending;  // written before a file was open
    InstallLogSink m_echo;
    bool m_attached = false;
    InstallLogSink m_previous;
};

}  // namespace corv::inst
