#include "tray/clients/client_values.h"

#include "platform/prompt.h"
#include "platform/text.h"

namespace corv {

const char* const kMessengerServiceKey = "Software\\Microsoft\\MessengerService";
const char* const kRtcImspKey = "Software\\Microsoft\\RTCIMSP";
const char* const kMsnMessengerKey = "Software\\Microsoft\\MSNMessenger";
const char* const kEconfKey = "SOFTWARE\\France Telecom\\&Conf\\CallControl\\Administration\\SIP";
const char* const kXLiteKey = "Software\\XtenNetworksInc\\X-Lite";
const char* const kXLiteFwdKey = "Software\\FreeWorldDialupLLC\\X-LiteFWD";

namespace {
uint32_t Le32(const std::vector<uint8_t>& d) {
    return d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<uint32_t>(d[3]) << 24);
}
std::vector<uint8_t> Le32Bytes(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}
}  // namespace

bool QueryBinary4(const RegKey& key, const std::string& name, uint32_t* out) {
    RegValue v;
    if (key.QueryValue(name, &v) != kOk || v.type != RegType::Binary || v.data.size() != 4)
        return false;
    *out = Le32(v.data);
    return true;
}

long SetBinary4(RegKey& key, const std::string& name, uint32_t value) {
    return key.SetBinary(name, Le32Bytes(value));
}

bool IsBinary4(const RegValue* v, uint32_t want) {
    return v && v->type == RegType::Binary && v->data.size() == 4 && Le32(v->data) == want;
}

bool IsDword(const RegValue* v, uint32_t want) {
    return v && v->type == RegType::Dword && v->data.size() == 4 && Le32(v->data) == want;
}

bool IsStringNoCase(const RegValue* v, const std::string& want) {
    return v && v->type == RegType::Sz && EqualsNoCase(ValueText(*v), want);
}

bool WriteSocks5Endpoint(RegKey& key, const std::string& address, int socksPort) {
    bool ok = true;
    uint32_t port = 0;
    if (!QueryBinary4(key, "SOCKS5Port", &port) || port != static_cast<uint32_t>(socksPort))
        ok = SetBinary4(key, "SOCKS5Port", static_cast<uint32_t>(socksPort)) == kOk && ok;
    RegValue server;
    if (key.QueryValue("SOCKS5Server", &server) != kOk || server.type != RegType::Sz ||
        ValueText(server) != address)
        ok = key.SetString("SOCKS5Server", address) == kOk && ok;
    // Credentials for our proxy would be wrong; the backup keeps them, whatever their length.
    RegValue v;
    if (key.QueryValue("SOCKS5Username", &v) == kOk && v.type == RegType::Sz)
        ok = key.DeleteValue("SOCKS5Username") == kOk && ok;
    if (key.QueryValue("SOCKS5Password", &v) == kOk && v.type == RegType::Binary)
        ok = key.DeleteValue("SOCKS5Password") == kOk && ok;
    return ok;
}

std::string ShownAddress(const std::string& activeAddress) {
    if (activeAddress.empty() || EqualsNoCase(activeAddress, "Not available"))
        return "<your local ip-address>>";
    return activeAddress;
}

bool AskToSwitchOff(const std::string& text) {
    return ShowPrompt(text, "Corvane", PromptKind::YesNo, PromptIcon::None) == PromptAnswer::Yes;
}

}  // namespace corv
