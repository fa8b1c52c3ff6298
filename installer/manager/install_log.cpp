#include "installer/manager/install_log.h"

#include "installer/sys/exceptions.h"
#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv::inst {

CInstallLog::~CInstallLog() {
    Detach();
    Close();
}

void CInstallLog::Attach(InstallLogSink echo) {
    m_echo = std::move(echo);
    InstallLogSink previous = SetInstallLogSink([this](const std::string& text) { Write(text); });
    if (!m_attached) m_previous = std::move(previous);
    m_attached = true;
}

void CInstallLog::Detach() {
    if (!m_attached) return;
    SetInstallLogSink(std::move(m_previous));
    m_attached = false;
}

std::string CInstallLog::TemporaryFolder() {
    std::string temp = GetEnv("TEMP");
    if (temp.empty()) temp = "C:\\TEMP";
    return WithTrailingBackslash(temp);
}

void CInstallLog::Write(const std::string& text) {
    if (m_echo) m_echo(text);
    if (!m_file) {
        m_pending += text;
        return;
    }
    std::fwrite(text.data(), 1, text.size(), m_file);
    std::fflush(m_file);
}

void CInstallLog::Open(const std::string& path, const char* mode, const char* failure) {
    std::FILE* f = OpenFile(path, mode);
    if (!f)
        throw CInstallException(Format(failure, path.c_str(), ErrorText(LastFileError()).c_str()));
    if (m_file) std::fclose(m_file);
    m_file = f;
    m_path = path;
    if (!m_pending.empty()) {
        std::fwrite(m_pending.data(), 1, m_pending.size(), m_file);
        std::fflush(m_file);
        m_pending.clear();
    }
}

void CInstallLog::OpenTemporary(const std::string& product, const std::string& actionWord) {
    std::string folder = TemporaryFolder();
    for (int i = 0; i < 10; ++i) {
        std::string path =
            folder + Format("%s_%s_%03d.log", product.c_str(), actionWord.c_str(), i);
        if (PathExists(path)) continue;
        Open(path, "wb", "Could not create log file: %s \nreason: %s");
        return;
    }
    throw CInstallException("Could not generate temporary log filename!");
}

void CInstallLog::MoveTo(const std::string& path) {
    if (m_path == path) return;
    if (!m_file) {
        Open(path, "wb", "Could not reopen log file: %s \nreason: %s");
        return;
    }
    std::fclose(m_file);
    m_file = nullptr;
    long rc = ReplaceFileBy(m_path, path);
    if (rc != kOk) {
        // Go on in the old file; nothing written so far is lost.
        Open(m_path, "ab", "Could not reopen log file: %s \nreason: %s");
        throw CInstallException(Format("Could not reopen log file: %s \nreason: %s", path.c_str(),
                                       ErrorText(rc).c_str()));
    }
    Open(path, "ab", "Could not reopen log file: %s \nreason: %s");
}

void CInstallLog::Close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

}  // namespace corv::inst
