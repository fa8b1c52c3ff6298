#include "tray/settings/preferences.h"

#include <array>

#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"

namespace corv {

namespace {

constexpr char kClassPathDefault[] =
    "lib\\corvane.client.jar;lib\\nist-sip-1.2.jar;lib\\JainSipApi1.1.jar;lib\\nist-sdp-1.0.jar;"
    "lib\\js.jar;lib\\javax.servlet.jar;lib\\cryptix32.jar;lib\\cryptix-asn1.jar;lib\\gonative.jar";

using P = CPreferences;
constexpr PrefScope kInstall = PrefScope::Install;
constexpr PrefScope kAllUsers = PrefScope::AllUsers;
constexpr PrefScope kAllThenUser = PrefScope::AllUsersThenUser;
constexpr PrefScope kUserFirst = PrefScope::UserThenAllUsers;
constexpr PrefScope kUserIfEmpty = PrefScope::UserThenIfEmpty;
constexpr PrefScope kRunTime = PrefScope::RunTime;
constexpr unsigned kSaved = kPrefSaved, kMarks = kPrefMarks, kTrim = kPrefTrimmed,
                   kMask = kPrefMasked;
constexpr unsigned kEdit = kSaved | kMarks;  // saved, and its setter marks modified
constexpr unsigned kRestart = static_cast<unsigned>(PrefGroup::Restart),
                   kAccount = static_cast<unsigned>(PrefGroup::Account),
                   kChoice = static_cast<unsigned>(PrefGroup::ClientChoice),
                   kReload = static_cast<unsigned>(PrefGroup::ClientReload),
                   kAddress = static_cast<unsigned>(PrefGroup::AddressMode),
                   kHide = static_cast<unsigned>(PrefGroup::HideFlags);

constexpr PrefRow Row(PrefId id, const char* name, PrefKind kind, PrefScope scope, unsigned flags,
                      unsigned groups, int dumpLine, const char* label) {
    PrefRow row{};
    row.id = id;
    row.name = name;
    row.kind = kind;
    row.scope = scope;
    row.flags = flags;
    row.groups = groups;
    row.textDefault = "";
    row.dumpLine = dumpLine;
    row.dumpLabel = label ? label : name;
    return row;
}

// A dump label of nullptr is the registry name.
constexpr PrefRow Str(PrefId id, const char* name, PrefScope scope, unsigned flags, unsigned groups,
                      const char* def, int dumpLine, std::string P::*member,
                      const char* label = nullptr) {
    PrefRow row = Row(id, name, PrefKind::Text, scope, flags, groups, dumpLine, label);
    row.textDefault = def;
    row.text = member;
    return row;
}

// The sync flags all read per-user first.
constexpr PrefRow Flg(PrefId id, const char* name, unsigned flags, unsigned groups, const char* def,
                      int dumpLine, std::string P::*member) {
    PrefRow row = Row(id, name, PrefKind::Flag, kUserFirst, flags, groups, dumpLine, nullptr);
    row.textDefault = def;
    row.text = member;
    return row;
}

constexpr PrefRow Num(PrefId id, const char* name, PrefScope scope, unsigned flags, unsigned groups,
                      int def, int dumpLine, int P::*member, const char* label = nullptr) {
    PrefRow row = Row(id, name, PrefKind::Number, scope, flags, groups, dumpLine, label);
    row.numberDefault = def;
    row.number = member;
    return row;
}

}  // namespace

const char* const kPreferencesKey = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kDefaultClassPath = kClassPathDefault;
const char* const kCredentialMask = "********";

// The rows, in PrefId order: registry name, scope, flags, groups, default, dump line (1 to 4
// are the store's own flags, see DumpLines), member, dump label when not the name.
struct CPreferences::Table {
    using I = PrefId;

    static constexpr std::array<PrefRow, kPrefCount> kRows{{
        Str(I::Home, "Home", kInstall, kMarks | kTrim, 0, "", 28, &P::home_),
        Str(I::ExternalSipAddress, "externalSipAddress", kAllUsers, kTrim, kRestart, "", 13,
            &P::externalSipAddress_, "ExternalSipServer"),
        Str(I::ProxyServerAddresses, "proxyServerAddresses", kAllThenUser, kTrim, 0, "", 14,
            &P::proxyServerAddresses_, "ProxyServerAddresses"),
        Str(I::ProxyServerPort, "proxyServerPort", kAllUsers, kTrim, 0, "", 15,
            &P::proxyServerPort_, "ProxyServerPort"),
        Num(I::LaunchAtStartup, "LaunchAtStartup", kUserFirst, kEdit, 0, 1, 5,
            &P::launchAtStartup_),
        Num(I::AllowBckgrnd, "AllowBckgrnd", kUserFirst, kEdit, 0, 1, 6, &P::allowBckgrnd_,
            "AllowRunInBackground"),
        Flg(I::SyncMessenger, "SyncMessenger", kEdit | kTrim, kChoice | kReload, "1", 7,
            &P::syncMessenger_),
        Flg(I::SyncMsnMessenger, "SyncMsnMessenger", kEdit | kTrim, kChoice | kReload, "1", 8,
            &P::syncMsnMessenger_),
        Flg(I::SyncEconf, "SyncEconf", kEdit | kTrim, kChoice | kReload, "0", 9, &P::syncEconf_),
        Flg(I::SyncXLite, "SyncXLite", kSaved | kTrim, kChoice | kReload, "0", 10, &P::syncXLite_),
        Flg(I::DoNotSync, "DoNotSync", kSaved | kTrim, kChoice | kReload, "0", 11, &P::doNotSync_),
        Str(I::UserId, "UserId", kUserIfEmpty, kEdit | kTrim, kRestart | kAccount, "", 16,
            &P::userId_),
        Str(I::Passwd, "Passwd", kUserIfEmpty, kEdit | kMask, kRestart | kAccount, "", 17,
            &P::passwd_),
        Num(I::AutoDetection, "AutoDetection", kUserFirst, kEdit, kRestart, 1, 18,
            &P::autoDetection_),
        Num(I::NoProxy, "NoProxy", kUserFirst, kEdit, kRestart, 0, 19, &P::noProxy_),
        Num(I::UseProxyScript, "UseProxyScript", kUserFirst, kEdit, kRestart, 0, 20,
            &P::useProxyScript_),
        Str(I::ProxyScript, "ProxyScript", kUserFirst, kEdit | kTrim, kRestart, "", 21,
            &P::proxyScript_),
        Num(I::UseProxy, "UseProxy", kUserFirst, kEdit, kRestart, 0, 22, &P::useProxy_),
        Str(I::HttpProxyAddress, "HttpProxyAddress", kUserFirst, kEdit | kTrim, kRestart, "", 23,
            &P::httpProxyAddress_),
        Num(I::HttpProxyPort, "HttpProxyPort", kUserFirst, kEdit, kRestart, -1, 24,
            &P::httpProxyPort_),
        Str(I::HttpsProxyAddress, "HttpsProxyAddress", kUserFirst, kEdit | kTrim, kRestart, "", 25,
            &P::httpsProxyAddress_),
        Num(I::HttpsProxyPort, "HttpsProxyPort", kUserFirst, kEdit, kRestart, -1, 26,
            &P::httpsProxyPort_),
        Str(I::ProxyAuth, "ProxyAuth", kUserFirst, kEdit | kTrim | kMask, kRestart, "", 27,
            &P::proxyAuth_),
        Str(I::Url, "Url", kUserFirst, kTrim, 0, "", 29, &P::url_),
        Str(I::UrlCreateAccount, "UrlCreateAccount", kUserFirst, kTrim, 0, "", 30,
            &P::urlCreateAccount_),
        Str(I::SyncMode, "SyncMode", kUserFirst, kTrim, kAddress, "dynamic", 0, &P::syncMode_),
        Str(I::LocalIpAddress, "LocalIpAddress", kUserFirst, kTrim, kAddress, "", 0,
            &P::localIpAddress_),
        Str(I::MainClass, "MainClass", kUserFirst, kTrim, 0, "corvane.proxyclient.ProxyClient", 31,
            &P::mainClass_),
        Str(I::ClassPath, "classpath", kUserFirst, kTrim, 0, kClassPathDefault, 32, &P::classPath_),
        Num(I::UseSip, "UseSip", kUserFirst, kEdit, kReload, 0, 12, &P::useSip_),
        Num(I::HideBalloons, "HideBalloons", kUserFirst, 0, kHide, 0, 33, &P::hideBalloons_),
        Num(I::HideGUI, "HideGUI", kUserFirst, 0, kHide, 0, 34, &P::hideGUI_),
        Num(I::HideAll, "HideAll", kUserFirst, 0, kHide, 0, 35, &P::hideAll_),
        Str(I::ActiveIpAddress, "ActiveIpAddress", kRunTime, 0, 0, "", 0, &P::activeIpAddress_),
        Num(I::FixedSipPort, "FixedSipPort", kRunTime, 0, kAddress, -1, 0, &P::fixedSipPort_),
        Num(I::SipPort, "SipPort", kRunTime, 0, 0, 5060, 0, &P::sipPort_),
        Num(I::FixedSocksPort, "FixedSocksPort", kRunTime, 0, kAddress, -1, 0, &P::fixedSocksPort_),
        Num(I::SocksPort, "SocksPort", kRunTime, 0, 0, 1080, 0, &P::socksPort_),
        Num(I::AlwaysTunnelMedia, "AlwaysTunnelMedia", kRunTime, 0, kRestart, 0, 36,
            &P::alwaysTunnelMedia_),
    }};
};

// What the rows do not say stays as named code below: Home's trimmed trailing backslashes and
// its role in choosing the install type (Load, HomeValue) and its run-time default (the
// constructor); the account's all-users fallback (ReadUserFirst) and announced, set-only save
// (Save); the single-value writers (Write*); the flags' "1"/"0" in copies (operator=).

namespace {

using Rows = std::array<PrefRow, kPrefCount>;
const Rows& kRows = CPreferences::Table::kRows;

// PrefRowOf indexes by id.
constexpr bool RowsFollowIds(const Rows& rows) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (static_cast<size_t>(rows[i].id) != i) return false;
    return true;
}
static_assert(RowsFollowIds(CPreferences::Table::kRows), "rows out of PrefId order");

constexpr size_t DumpLineCount(const Rows& rows) {
    int last = 4;  // "Preferences:" and the four flags
    for (const PrefRow& row : rows) last = row.dumpLine > last ? row.dumpLine : last;
    return static_cast<size_t>(last) + 1;
}
constexpr size_t kDumpLineCount = DumpLineCount(CPreferences::Table::kRows);

constexpr size_t kMaxString = 2048;

// Reads a REG_SZ value into *field; anything unreadable leaves it unchanged.
bool ReadString(const RegKey& key, const char* name, std::string* field, bool trim) {
    if (!key.IsOpen()) return false;
    std::string value;
    if (key.QueryString(name, &value, kMaxString) != kOk) return false;
    *field = trim ? Trim(value) : value;
    return true;
}

// Trailing backslashes go, except a drive root's own: "C:" alone names the drive's current
// folder, not its root.
std::string WithoutTrailingBackslashes(const std::string& folder) {
    size_t end = folder.find_last_not_of('\\');
    std::string out = end == std::string::npos ? std::string() : folder.substr(0, end + 1);
    if (out.size() == 2 && out[1] == ':' && folder.size() > 2) out += '\\';
    return out;
}

std::string HomeValue(const std::string& raw) {
    return WithoutTrailingBackslashes(Trim(raw));
}

std::string Masked(const std::string& credential) {
    return credential.empty() ? std::string() : kCredentialMask;
}

std::string DumpLine(const char* label, const std::string& value) {
    return Format("--- %-21s = %s\n", label, value.c_str());
}

}  // namespace

const std::array<PrefRow, kPrefCount>& PrefRows() {
    return kRows;
}

const PrefRow& PrefRowOf(PrefId id) {
    return kRows[static_cast<size_t>(id)];
}

PrefComparison ComparisonOf(PrefGroup group) {
    switch (group) {
        case PrefGroup::Restart:
        case PrefGroup::AddressMode:
            return PrefComparison::NoCase;
        default:
            return PrefComparison::Exact;
    }
}

bool DiffersIn(PrefGroup group, const CPreferences& a, const CPreferences& b) {
    bool noCase = ComparisonOf(group) == PrefComparison::NoCase;
    for (const PrefRow& row : kRows) {
        if (!row.In(group)) continue;
        if (row.kind == PrefKind::Number) {
            if (a.Number(row.id) != b.Number(row.id)) return true;
        } else if (noCase ? !EqualsNoCase(a.Text(row.id), b.Text(row.id))
                          : a.Text(row.id) != b.Text(row.id)) {
            return true;
        }
    }
    return false;
}

CPreferences::CPreferences() : isAdministrator_(corv::IsAdministrator()) {
    for (const PrefRow& row : kRows) {
        if (row.kind == PrefKind::Number)
            this->*row.number = row.numberDefault;
        else
            this->*row.text = row.textDefault;
    }
    home_ = ProgramPath();  // the one default known only at run time
}

CPreferences::CPreferences(const CPreferences& other) {
    *this = other;
}

CPreferences& CPreferences::operator=(const CPreferences& o) {
    if (this == &o) return *this;
    isAdministrator_ = o.isAdministrator_;
    isInitialized_ = o.isInitialized_;
    isModified_ = o.isModified_;
    installedForAllUsers_ = o.installedForAllUsers_;
    for (const PrefRow& row : kRows) {
        if (row.kind == PrefKind::Number)
            this->*row.number = o.*row.number;
        else if (row.kind == PrefKind::Flag)
            this->*row.text = o.Flag(row.id) ? "1" : "0";
        else
            this->*row.text = o.*row.text;
    }
    return *this;
}

const std::string& CPreferences::Text(PrefId id) const {
    static const std::string kNone;
    const PrefRow& row = PrefRowOf(id);
    return row.text ? this->*row.text : kNone;
}

int CPreferences::Number(PrefId id) const {
    const PrefRow& row = PrefRowOf(id);
    return row.number ? this->*row.number : 0;
}

void CPreferences::SetText(PrefId id, const std::string& v) {
    const PrefRow& row = PrefRowOf(id);
    if (!row.text) return;
    this->*row.text = v;
    if (row.flags & kPrefMarks) isModified_ = true;
}

void CPreferences::SetNumber(PrefId id, int v) {
    const PrefRow& row = PrefRowOf(id);
    if (!row.number) return;
    this->*row.number = v;
    if (row.flags & kPrefMarks) isModified_ = true;
}

RegRoot CPreferences::GetRegistryRoot() const {
    return installedForAllUsers_ && isAdministrator_ ? RegRoot::LocalMachine : RegRoot::CurrentUser;
}

const char* CPreferences::GetRegistryRootName() const {
    return RegRootName(GetRegistryRoot());
}

bool CPreferences::IsDynamicMode() const {
    return EqualsNoCase(syncMode_, "dynamic");
}

bool CPreferences::ReadRow(const RegKey& key, const PrefRow& row) {
    if (row.kind == PrefKind::Number)
        return key.IsOpen() && key.QueryInt(row.name, &(this->*row.number)) == kOk;
    return ReadString(key, row.name, &(this->*row.text), (row.flags & kPrefTrimmed) != 0);
}

void CPreferences::ReadUserFirst(const PrefRow& row, const RegKey& user, const RegKey& machine) {
    if (row.scope == PrefScope::UserThenIfEmpty) {
        // The all-users account is used only while the per-user one left the field empty.
        ReadRow(user, row);
        if ((this->*row.text).empty()) ReadRow(machine, row);
    } else if (!ReadRow(user, row)) {
        ReadRow(machine, row);
    }
}

void CPreferences::Load() {
    // Home decides the install type: an all-users Home that exists makes it an all-users one.
    RegKey machine;
    if (machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead) == kOk) {
        std::string home;
        if (ReadString(machine, PrefName(PrefId::Home), &home, true)) home = HomeValue(home);
        if (!home.empty() && PathExists(home)) {
            installedForAllUsers_ = true;
            home_ = home;
            for (const PrefRow& row : kRows)
                if (row.scope == PrefScope::AllUsers || row.scope == PrefScope::AllUsersThenUser)
                    ReadRow(machine, row);
        }
    }
    // The all-users key counts only for an all-users install.
    if (!installedForAllUsers_) machine.Close();

    RegKey user;
    if (user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead) != kOk && !installedForAllUsers_)
        return;

    if (!installedForAllUsers_) {
        std::string home;
        if (ReadString(user, PrefName(PrefId::Home), &home, true)) home_ = HomeValue(home);
    }
    for (const PrefRow& row : kRows) {
        if (row.scope == PrefScope::AllUsersThenUser)
            ReadRow(user, row);
        else if (row.scope == PrefScope::UserThenAllUsers ||
                 row.scope == PrefScope::UserThenIfEmpty)
            ReadUserFirst(row, user, machine);
    }

    user.Close();
    machine.Close();
    isInitialized_ = true;
    Dump();
}

void CPreferences::ReloadAccount() {
    RegKey user, machine;
    user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead);
    if (installedForAllUsers_) machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead);
    for (const PrefRow& row : kRows)
        if (row.In(PrefGroup::Account)) ReadUserFirst(row, user, machine);
}

void CPreferences::ReloadSyncSettings() {
    RegKey user, machine;
    user.Open(RegRoot::CurrentUser, kPreferencesKey, kRegRead);
    if (installedForAllUsers_) machine.Open(RegRoot::LocalMachine, kPreferencesKey, kRegRead);
    for (const PrefRow& row : kRows)
        if (row.In(PrefGroup::ClientReload)) ReadUserFirst(row, user, machine);
}

void CPreferences::Save() {
    if (!isInitialized_ || !isModified_) return;
    RegKey key;
    if (key.Create(GetRegistryRoot(), kPreferencesKey, kRegReadWrite) != kOk) return;
    for (const PrefRow& row : kRows) {
        if (!(row.flags & kPrefSaved)) continue;
        if (row.kind == PrefKind::Number) {
            key.SetDword(row.name, static_cast<uint32_t>(this->*row.number));
            continue;
        }
        const std::string& value = this->*row.text;
        if (row.In(PrefGroup::Account)) {
            // The account is written only when set, and each write is announced.
            if (value.empty()) continue;
            if (row.id == PrefId::UserId)
                TheLog().Log("Saving userid: %s\n", DumpValue(row).c_str());
            else
                TheLog().Log("Saving password: %s\n", DumpValue(row).c_str());
        }
        key.SetString(row.name, value);
    }
}

std::string CPreferences::DumpValue(const PrefRow& row) const {
    if (row.kind == PrefKind::Number) return Format("%d", this->*row.number);
    const std::string& value = this->*row.text;
    return row.flags & kPrefMasked ? Masked(value) : value;
}

std::vector<std::string> CPreferences::DumpLines() const {
    std::vector<std::string> lines(kDumpLineCount);
    lines[0] = "Preferences:\n";
    lines[1] = DumpLine("IsInitialized", Format("%d", isInitialized_));
    lines[2] = DumpLine("IsModified", Format("%d", isModified_));
    lines[3] = DumpLine("Installed for", installedForAllUsers_ ? "AllUsers" : "OnlyForMe");
    lines[4] = DumpLine("Registry root", GetRegistryRootName());
    for (const PrefRow& row : kRows)
        if (row.dumpLine > 0)
            lines[static_cast<size_t>(row.dumpLine)] = DumpLine(row.dumpLabel, DumpValue(row));
    return lines;
}

void CPreferences::Dump() const {
    // Values from the registry may hold line ends: each dump line stays one log line.
    for (const auto& line : DumpLines()) {
        if (!line.empty() && line.back() == '\n')
            TheLog().Log("%s\n", line.substr(0, line.size() - 1).c_str());
        else
            TheLog().Log("%s", line.c_str());
    }
}

void CPreferences::WriteOne(PrefId id, bool create, RegRoot root) const {
    RegKey key;
    long rc = create ? key.Create(root, kPreferencesKey, kRegReadWrite)
                     : key.Open(root, kPreferencesKey, kRegReadWrite);
    if (rc == kOk) key.SetString(PrefName(id), Text(id));
}

void CPreferences::WriteSyncMessenger() const {
    WriteOne(PrefId::SyncMessenger, false, GetRegistryRoot());
}
void CPreferences::WriteSyncMsnMessenger() const {
    WriteOne(PrefId::SyncMsnMessenger, false, GetRegistryRoot());
}
void CPreferences::WriteSyncEconf() const {
    WriteOne(PrefId::SyncEconf, false, GetRegistryRoot());
}
void CPreferences::WriteSyncXLite() const {
    WriteOne(PrefId::SyncXLite, false, GetRegistryRoot());
}
void CPreferences::WriteLocalIpAddress() const {
    WriteOne(PrefId::LocalIpAddress, false, GetRegistryRoot());
}
void CPreferences::WriteSyncMode() const {
    WriteOne(PrefId::SyncMode, true, GetRegistryRoot());
}
void CPreferences::WriteExternalSipAddress() const {
    WriteOne(PrefId::ExternalSipAddress, false, RegRoot::LocalMachine);
}

}  // namespace corv
