// The process token: privileges, the user's SID, restarting the computer. The POSIX build
// has no such token; there every call fails with kErrNotSupported.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corv {

// The system call that failed, so callers can name it in their messages.
enum class TokenStep {
    None,
    OpenProcessToken,
    LookupPrivilegeValue,
    AdjustTokenPrivileges,
    GetTokenInformation,
    GetTextualSid,
    InitiateSystemShutdown,
};

// Enables the named privilege ("SeShutdownPrivilege", ...) in the process token. A privilege
// that the token does not hold counts as a failure of AdjustTokenPrivileges.
long EnablePrivilege(const std::string& name, TokenStep* failed);

// The current user's SID as "S-1-5-21-...".
long CurrentUserSid(std::string* sid, TokenStep* failed);

// Enables the shutdown privilege and starts a restart of this computer: no message, time-out
// 0, applications not forced.
long RestartComputer(TokenStep* failed);

// The usual textual form: "S-<revision>-<authority>-<sub>-...". The authority is written in
// hexadecimal ("0x%02hx" six times) when either of its two high bytes is set.
std::string FormatTextualSid(uint8_t revision, const uint8_t authority[6],
                             const std::vector<uint32_t>& subAuthorities);

}  // namespace corv
