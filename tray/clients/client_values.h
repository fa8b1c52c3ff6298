// Reading and writing the client programs' own registry values, and what their failure
// questions share.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace corv {

// The programs' own keys (per user, except eConf's).
extern const char* const kMessengerServiceKey;  // HKCU Software\Microsoft\MessengerService
extern const char* const kRtcImspKey;           // HKCU Software\Microsoft\RTCIMSP
extern const char* const kMsnMessengerKey;      // HKCU Software\Microsoft\MSNMessenger
extern const char* const kEconfKey;             // HKLM ...\Administration\SIP
extern const char* const kXLiteKey;             // HKCU Software\XtenNetworksInc\X-Lite
extern const char* const kXLiteFwdKey;          // HKCU Software\FreeWorldDialupLLC\X-LiteFWD

// The outcome of writing one key: it did not open, a write failed, or all went in.
enum class KeyWrite { NoKey, Failed, Done };

// The messengers keep numbers as 4-byte REG_BINARY values; another type or size counts as
// absent.
bool QueryBinary4(const RegKey& key, const std::string& name, uint32_t* out);
long SetBinary4(RegKey& key, const std::string& name, uint32_t value);
// A held value of the expected type.
bool IsBinary4(const RegValue* v, uint32_t want);
bool IsDword(const RegValue* v, uint32_t want);
bool IsStringNoCase(const RegValue* v, const std::string& want);

// Points an open messenger key at the SOCKS endpoint: port and server written only when they
// differ (the server compared exactly), stored user name and password removed. Every step
// runs; false when any write or delete failed.
bool WriteSocks5Endpoint(RegKey& key, const std::string& address, int socksPort);

// The address the questions show: the active one, or "<your local ip-address>>" when it is
// empty or "Not available".
std::string ShownAddress(const std::string& activeAddress);

// A failure question with Yes and No; true when the user wants the sync switched off.
bool AskToSwitchOff(const std::string& text);

}  // namespace corv
