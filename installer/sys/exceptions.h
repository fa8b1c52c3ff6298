// The installer's error objects: each carries the message that is logged and shown.
#pragma once

#include <exception>
#include <string>

namespace corv::inst {

class CInstallerError : public std::exception {
  public:
    explicit CInstallerError(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const { return m_message; }

  private:
    std::string m_message;
};

// Errors of the install itself.
class CInstallException : public CInstallerError {
  public:
    using CInstallerError::CInstallerError;
};

// Errors in an install description file.
class CConfigException : public CInstallerError {
  public:
    using CInstallerError::CInstallerError;
};

}  // namespace corv::inst
