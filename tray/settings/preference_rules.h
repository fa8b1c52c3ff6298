// The rules of the preferences sheet and its dialogs, over the working copy of the
// preferences: what each page shows and enables, how it checks what the user typed and what it
// writes back. The windows only move text between these and their controls. Each check returns
// the message to show, empty when the input is accepted; a refused input writes nothing.
#pragma once

#include <functional>
#include <string>

namespace corv {

class CPreferences;

// Whether a host name or address resolves (the system's name lookup in the program).
using HostLookup = std::function<bool(const std::string& host)>;
// Whether an address is one of this computer's own.
using LocalAddressTest = std::function<bool(const std::string& address)>;

extern const char* const kPasswordPlaceholder;  // shown instead of a stored password

// --- proxy addresses ---

struct ProxyAddress {
    std::string protocol;  // before "://", empty without one
    std::string host;
    int port = -1;  // the address's own port, else the separate one
};

// Checks "host", "host:port" or "protocol://host[:port][/...]" against a separate port
// (-1 without one) and resolves the host.
std::string CheckProxyAddress(const std::string& text, int separatePort, const HostLookup& lookup,
                              ProxyAddress* out);

// --- General page ---

// The start-at-logon box is the user's to change unless an all-users install needs an
// administrator for it.
bool LaunchAtStartupEditable(const CPreferences& prefs);

// --- Accounts page and account dialog ---

// The password field of the Accounts page: the placeholder when a password is stored.
std::string PasswordDisplay(const std::string& stored);
// "Get Password!" is offered when an account or web address is configured.
bool OffersGetPassword(const CPreferences& prefs);
// The address "Get Password!" opens.
std::string AccountWebAddress(const CPreferences& prefs);
std::string BrowserFailureText(int shellResult, const std::string& address);
// OK of the account dialog: the trimmed user id and the password's digest.
std::string CommitAccount(const std::string& userId, const std::string& password,
                          CPreferences& prefs);

// --- Connection page and proxy authentication dialog ---

enum class ProxyMode { AutoDetection, NoProxy, ProxyScript, SecureProxy, None };

struct ConnectionFields {
    ProxyMode mode = ProxyMode::AutoDetection;
    std::string script;     // "Address:"
    std::string httpsHost;  // "https:"
    std::string httpsPort;  // "Port:"
    std::string authUser;   // display only
    std::string authPassword;
};
enum class ConnectionField { None, Script, HttpsHost, HttpsPort };

ConnectionFields ConnectionFieldsOf(const CPreferences& prefs);
// Leaving the page: checks the fields in order and writes the mode and its values. The https
// field may be rewritten to the bare host; *focus names the field a refusal is about.
std::string CommitConnection(ConnectionFields* fields, CPreferences& prefs,
                             const HostLookup& lookup, ConnectionField* focus);

// The stored proxy credentials for the dialog: false when they cannot be read.
bool ProxyAuthUserOf(const CPreferences& prefs, std::string* userId);
// OK of the proxy authentication dialog; *keepOpen tells whether the dialog stays.
std::string CommitProxyAuth(const std::string& userId, const std::string& password,
                            CPreferences& prefs, bool* keepOpen);

// --- Clients page ---

struct DetectedClients {
    bool msnMessenger = false;
    bool windowsMessenger = false;
    bool econf = false;
    bool xlite = false;
};

// The five choices in the order of the page.
enum ClientChoice { kMessengers, kWindowsMessengerSip, kEconf, kXLite, kCustomSip, kClientChoices };

struct ClientChoiceView {
    bool checked[kClientChoices] = {};
    bool enabled[kClientChoices] = {};
};

ClientChoiceView ClientChoiceOf(const CPreferences& prefs, const DetectedClients& detected);
void WriteClientChoice(const bool checked[kClientChoices], CPreferences& prefs);

// --- Sip page ---

// Leaving the page stores the trimmed address at once, whatever happens to the sheet.
void CommitExternalSipAddress(const std::string& text, CPreferences& prefs);

// --- advanced client settings dialog ---

struct AdvancedFields {
    bool dynamic = true;
    std::string ipAddress;
    std::string sipPort;
    std::string socksPort;
};
enum class AdvancedField { None, IpAddress, SipPort, SocksPort };

std::string AdvancedInfoText(const CPreferences& prefs);
AdvancedFields AdvancedFieldsOf(const CPreferences& prefs);
// OK with "Fixed": *warning is shown before the dialog closes; a refusal sets nothing but the
// mode.
std::string CommitAdvanced(const AdvancedFields& fields, CPreferences& prefs,
                           const LocalAddressTest& isLocal, std::string* warning,
                           AdvancedField* focus);

}  // namespace corv
