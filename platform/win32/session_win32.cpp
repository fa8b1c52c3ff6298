#include <windows.h>

#include <vector>

#include "platform/errors.h"
#include "platform/session.h"
#include "platform/text.h"

namespace corv {

namespace {

class Token {
  public:
    explicit Token(DWORD access) {
        if (!OpenProcessToken(GetCurrentProcess(), access, &handle_)) handle_ = nullptr;
    }
    ~Token() {
        if (handle_) CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_ = nullptr;
};

long Fail(TokenStep step, TokenStep* failed, long code = static_cast<long>(GetLastError())) {
    *failed = step;
    return code ? code : kErrInvalidParameter;
}

long Enable(HANDLE token, const std::string& name, TokenStep* failed) {
    TOKEN_PRIVILEGES tp = {};
    if (!LookupPrivilegeValueW(nullptr, Widen(name).c_str(), &tp.Privileges[0].Luid))
        return Fail(TokenStep::LookupPrivilegeValue, failed);
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Success with ERROR_NOT_ALL_ASSIGNED means the token does not hold the privilege.
    if (!AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) ||
        GetLastError() == ERROR_NOT_ALL_ASSIGNED)
        return Fail(TokenStep::AdjustTokenPrivileges, failed);
    return kOk;
}

}  // namespace

long EnablePrivilege(const std::string& name, TokenStep* failed) {
    *failed = TokenStep::None;
    Token token(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    if (!token.get()) return Fail(TokenStep::OpenProcessToken, failed);
    return Enable(token.get(), name, failed);
}

long CurrentUserSid(std::string* sid, TokenStep* failed) {
    *failed = TokenStep::None;
    Token token(TOKEN_QUERY);
    if (!token.get()) return Fail(TokenStep::OpenProcessToken, failed);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return Fail(TokenStep::GetTokenInformation, failed);
    std::vector<BYTE> buf(size);
    if (!GetTokenInformation(token.get(), TokenUser, buf.data(), size, &size))
        return Fail(TokenStep::GetTokenInformation, failed);
    PSID user = reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid;
    if (!IsValidSid(user)) return Fail(TokenStep::GetTextualSid, failed, ERROR_INVALID_SID);
    PSID_IDENTIFIER_AUTHORITY auth = GetSidIdentifierAuthority(user);
    std::vector<uint32_t> subs;
    for (DWORD i = 0; i < *GetSidSubAuthorityCount(user); ++i)
        subs.push_back(*GetSidSubAuthority(user, i));
    *sid = FormatTextualSid(SID_REVISION, auth->Value, subs);
    return kOk;
}

long RestartComputer(TokenStep* failed) {
    *failed = TokenStep::None;
    Token token(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    if (!token.get()) return Fail(TokenStep::OpenProcessToken, failed);
    long rc = Enable(token.get(), "SeShutdownPrivilege", failed);
    if (rc != kOk) return rc;
    if (!InitiateSystemShutdownW(nullptr, nullptr, 0, FALSE, TRUE))
        return Fail(TokenStep::InitiateSystemShutdown, failed);
    return kOk;
}

}  // namespace corv
