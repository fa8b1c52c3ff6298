// The controller's start sequence: preference normalisation, the client bring-up and the
// one-time installation verification.
#include <cstdio>

#include "platform/codepage.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/app/config_mgr.h"
#include "tray/clients/client_sync.h"
#include "tray/core/log_file.h"
#include "tray/core/status_text.h"
#include "tray/java/registry_dump.h"
#include "tray/java/script_runner.h"
#include "tray/net/local_host.h"
#include "tray/settings/java_prefs.h"
#include "tray/settings/startup_entry.h"

namespace corv {

namespace {

bool KeyExists(RegRoot root, const char* path) {
    RegKey key;
    return key.Open(root, path, kRegRead) == kOk;
}

// A decimal port 0..65535 from a Java preference; -1 when there is none.
int ReadPort(const char* node, const char* name) {
    JavaKey key;
    std::string text;
    if (key.Open(RegRoot::CurrentUser, node) != kOk || key.QueryStringValue(name, &text) != kOk)
        return -1;
    text = Trim(text);
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    int port = std::stoi(text);
    return port <= 65535 ? port : -1;
}

// A path as a batch file must hold it: "%" would start a variable there.
std::string BatchLiteral(const std::string& path) {
    std::string out;
    for (char c : path) out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

// verify.bat in the code page cmd.exe reads it in. A path with no form there cannot be
// written into the script: Java's lines are left out, and the script deletes itself by name.
std::string VerifyScriptBytes(const std::string& version, std::string javaHome,
                              const std::string& script) {
    CLogFile& log = TheLog();
    std::string unused;
    if (!Utf8ToOem(javaHome, &unused)) {
        log.Log(
            "VerifyInstallation: JavaHome %s has no form in the console's code page, its "
            "lines are left out of verify.bat\n",
            javaHome.c_str());
        javaHome.clear();
    }
    std::string selfDelete = BatchLiteral(script);
    if (!Utf8ToOem(script, &unused)) {
        log.Log(
            "VerifyInstallation: %s has no form in the console's code page, verify.bat "
            "deletes itself by its own name\n",
            script.c_str());
        selfDelete = "%~f0";
    }
    std::string text = VerifyScriptText(version, BatchLiteral(javaHome), selfDelete);
    // A batch file wants CR LF line ends.
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string oem;
    return Utf8ToOem(crlf, &oem) ? oem : crlf;
}

struct DumpEntry {
    RegRoot root;
    const char* key;
    bool subkeys;
    const char* excluded;
};

const char* const kXLiteExcluded = "menu_dialed_calls, menu_received_calls, last_dialed";

const DumpEntry kVerifyDumps[] = {
    {RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane",
     false, ""},
    {RegRoot::CurrentUser, "Software\\Velmora", true, ""},
    {RegRoot::LocalMachine, "Software\\Velmora", true, ""},
    {RegRoot::CurrentUser, "Software\\JavaSoft\\Prefs\\corvane", true, ""},
    {RegRoot::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", false, ""},
    {RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", false, ""},
    {RegRoot::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", false,
     ""},
    {RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
     false, ""},
    {RegRoot::CurrentUser, "Software\\Microsoft\\MessengerService", false, ""},
    {RegRoot::CurrentUser, "Software\\Microsoft\\RTCIMSP", false, ""},
    {RegRoot::CurrentUser, "Software\\Microsoft\\MSNMessenger", false, ""},
    {RegRoot::LocalMachine,
     "SOFTWARE\\Policies\\Microsoft\\Messenger\\Client\\{83D4679F-B6D7-11D2-BF36-00C04FB90A03}",
     false, ""},
    {RegRoot::LocalMachine, "SOFTWARE\\France Telecom\\&Conf\\CallControl\\Administration\\SIP",
     false, ""},
    {RegRoot::CurrentUser, "Software\\XtenNetworksInc\\X-Lite", false, kXLiteExcluded},
    {RegRoot::CurrentUser, "Software\\FreeWorldDialupLLC\\X-LiteFWD", false, kXLiteExcluded},
    {RegRoot::LocalMachine, "SOFTWARE\\JavaSoft\\Java Runtime Environment", true, ""},
    {RegRoot::LocalMachine, "SOFTWARE\\JavaSoft\\Java Development Kit", true, ""},
};

}  // namespace

bool CConfigMgr::IsUsingActiveX() {
    const RegRoot cr = RegRoot::ClassesRoot;
    return (KeyExists(cr, "CLSID\\{A581A28A-1A45-41A2-BC46-39EA4D3D2129}\\InprocServer32") &&
            KeyExists(cr, "CLSID\\{952570ED-CC47-44C5-ACA3-498B5586E14E}\\InprocServer32")) ||
           KeyExists(cr, "CLSID\\{BDD90BF5-61FA-4E44-A1D7-0277F789FCDB}\\InprocServer32") ||
           KeyExists(cr, "CLSID\\{1F5CE2D5-9373-42DA-A65B-78ECB20424CD}\\InprocServer32");
}

void CConfigMgr::NormalisePreferences() {
    CPreferences& p = *prefs_;
    CLogFile& log = TheLog();
    bool modified = false;

    if (!IsDirectory(p.GetHome())) p.SetHome(ProgramPath());

    std::string home = WithTrailingBackslash(p.GetHome());
    for (const std::string& item : Split(p.GetClassPath(), ';')) {
        std::string full = IsAbsoluteClassPathEntry(item) ? item : home + item;
        if (!PathExists(full)) log.Log("Warning: unexisting classpath: %s\n", full.c_str());
    }

    if (p.GetUserId().empty() || p.GetPasswd().empty()) {
        if (!IsUsingActiveX()) {
            bool confirmed = AskForAccount();
            if (!confirmed) {
                SetStatusText("Disabled: missing userid/password");
                credentialsOk_ = false;
                clientEnabled_ = false;
            }
            modified = confirmed;
        } else {
            std::printf("Is using activex controls, allowing empty userid/passwd\n");
        }
    }

    if (p.GetHttpProxyAddress().empty() && p.GetHttpProxyPort() != -1) {
        p.SetHttpProxyPort(-1);
        modified = true;
    }
    if (p.GetHttpsProxyAddress().empty() && p.GetHttpsProxyPort() != -1) {
        p.SetHttpsProxyPort(-1);
        modified = true;
    }

    int modes = (p.GetAutoDetection() != 0) + (p.GetNoProxy() != 0) + (p.GetUseProxyScript() != 0) +
                (p.GetUseProxy() != 0);
    if (modes != 1) {
        p.SetAutoDetection(1);
        p.SetNoProxy(0);
        p.SetUseProxyScript(0);
        p.SetUseProxy(0);
        modified = true;
    }

    int syncModes = ((p.GetSyncMsnMessenger() || p.GetSyncMessenger()) &&
                     (p.GetUseSip() == 0 || p.GetSyncMessenger()))
                        ? 1
                        : 0;
    syncModes += p.GetSyncEconf() + p.GetSyncXLite() + p.GetDoNotSync();
    if (syncModes != 1) {
        // Installed means set up for this user; detection proper comes later, at the bring-up.
        bool msn = IsMsnMessengerSetUp();
        bool windows = IsWindowsMessengerSetUp();
        if (msn) p.SetSyncMsnMessenger(true);
        if (windows) p.SetSyncMessenger(true);
        p.SetDoNotSync(!(msn || windows));
        p.SetSyncEconf(false);
        p.SetSyncXLite(false);
        p.SetUseSip(0);
        modified = true;
    }

    ReadJavaSipNode();
    prefsSync_.syncAllUsersCommonSettings(p);

    if (EqualsNoCase(p.GetSyncMode(), "fixed")) {
        ReadFixedPorts();
    } else if (!p.IsDynamicMode()) {
        p.SetSyncMode("dynamic");
        modified = true;
    }

    if (modified) p.Save();
}

void CConfigMgr::ReadJavaSipNode() {
    JavaKey sip;
    if (sip.Open(RegRoot::CurrentUser, kJavaSipNode) != kOk) return;
    std::string external;
    if (sip.QueryDecodedStringValue("externalSipAddress", &external) == kOk) {
        external = Trim(external);
        if (!external.empty()) prefs_->SetExternalSipAddress(external);
    }
    std::string tunnel;
    sip.QueryDecodedStringValue("alwaysTunnelMedia", &tunnel);
    prefs_->SetAlwaysTunnelMedia(EqualsNoCase(tunnel, "true") || EqualsNoCase(tunnel, "yes") ||
                                 EqualsNoCase(tunnel, "on"));
}

void CConfigMgr::ReadFixedPorts() {
    int sip = ReadPort(kJavaSipNode, "udpPort");
    if (sip >= 0) prefs_->SetFixedSipPort(sip);
    int socks = ReadPort(kJavaSocksNode, "socksPort");
    if (socks >= 0) prefs_->SetFixedSocksPort(socks);
}

bool CConfigMgr::BringUpClient() {
    CLogFile& log = TheLog();
    CPreferences& p = *prefs_;
    log.Open(p.GetHome(), corvaneId_);

    VerifyJava(p.GetHome(), &runtime_);
    log.Log("JavaVersion: %s \nJavaHome: %s \nJRE: %s \nJVM: %s\n", runtime_.JavaVersion.c_str(),
            runtime_.JavaHome.c_str(), runtime_.JRE.c_str(), runtime_.JVM.c_str());

    if (SetCurrentFolder(p.GetHome()) != kOk) {
        log.Log("Can't change to directory %s\n", p.GetHome().c_str());
        return false;
    }
    log.Log("Changed directory to %s\n", p.GetHome().c_str());

    std::string version = GetFileVersionString(WithTrailingBackslash(p.GetHome()) + "corvtray.exe");
    log.Log("Corvane exe version: %s\n", version.c_str());

    UpdatePath(runtime_.JVM);
    runInBackground_ = p.GetAllowBckgrnd() != 0;

    clients_->DetectAndSave();

    syncStartup(p);
    if (!prefsSync_.syncHttpProxy(p))
        SetStatusText("Disabled: could not set http proxy parameters");
    if (!prefsSync_.syncUser(p)) SetStatusText("Disabled: could not set user parameters");

    log.Log("Calling VerifyInstallation()\n");
    try {
        VerifyInstallation();
    } catch (...) {
        log.Log("Internal error(ignored): Caught exception while calling VerifyInstallation()\n");
    }

    if (corvaneId_.empty()) StartRegistryMonitor();

    connection_.SetConfigMgr(this);
    // The host table only: the probes block on the network and belong to the launcher and
    // the monitor threads, never to the window thread.
    CLocalHost localHost;
    localHost.LogLocalAddresses(localHost.GetHostName());
    activeAddress_ = localHost.GetFirstLocalAddress(localHost.GetHostName());

    if (EqualsNoCase(p.GetSyncMode(), "fixed")) {
        if (!p.GetLocalIpAddress().empty()) activeAddress_ = p.GetLocalIpAddress();
        if (p.GetFixedSipPort() > 0) p.SetSipPort(p.GetFixedSipPort());
        if (p.GetFixedSocksPort() > 0) p.SetSocksPort(p.GetFixedSocksPort());
    }

    p.SetActiveIpAddress(activeAddress_);
    if (activeAddress_.empty()) {
        SetStatusText("Not connected to internet!");
        connection_.StartRegisterMonitor();
        log.Close();
    } else if (!localHost.IsInLocalHostTable(localHost.GetHostName(), activeAddress_)) {
        // The client stays enabled: the register monitor starts it once the address is there.
        SetStatusText(
            Format("Disabled: Address %s is not in local host table", activeAddress_.c_str()));
        connection_.StartRegisterMonitor();
        log.Close();
    } else if (IsUsingActiveX() && (p.GetUserId().empty() || p.GetPasswd().empty())) {
        SetStatusText("Disabled: Userid/passwd not set.");
        clientEnabled_ = false;
        log.Close();
    } else {
        SyncClientSettings(1);
        StartJava(0);
    }
    return true;
}

void CConfigMgr::VerifyInstallation() {
    CLogFile& log = TheLog();
    if (duplicateInstance_) {
        log.Log("\n*\n* Corvane is already running, Verify installation ignored \n*\n\n");
        return;
    }
    if (verifyStarted_) {
        log.Log("\n*\n* Duplicate call to Verify installation (ignored) \n*\n\n");
        return;
    }
    verifyStarted_ = true;
    log.Log("\n*\n* Verifying installation\n*\n\n");

    for (const auto& d : kVerifyDumps) RegDump(d.root, d.key, d.excluded, d.subkeys);

    std::string home = WithTrailingBackslash(prefs_->GetHome());
    std::string script = home + "verify.bat";
    FILE* f = OpenFile(script, "wb");
    if (!f) {
        log.Log("Could not verify insallation by using verify.bat, reason: %s",
                ErrorText(LastFileError()).c_str());
        return;
    }
    std::string version = GetWindowsVersionName();
    std::string bytes = VerifyScriptBytes(version, runtime_.JavaHome, script);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    // The script writes logs\start.log; with a client id the log lives elsewhere, so the
    // folder may not exist yet.
    const std::string scriptLogs = home + "logs";
    createdScriptLogs_ = !IsDirectory(scriptLogs) && MakeDirectory(scriptLogs) == kOk;

    ScriptRunner& runner = ScriptRunner::Instance();
    runner.SetTimeLimit(IsWindows9x(version) ? 60000 : 0);
    if (!runner.Start(script, "", prefs_->GetHome())) {
        log.Log("ScriptRunner failed to start thread, errno: %d\n", static_cast<int>(LastError()));
        if (createdScriptLogs_) RemoveFolder(scriptLogs);
    }
}

void CConfigMgr::AppendStartLog() {
    corv::AppendStartLog(prefs_->GetHome());
    // A folder made only for the script goes again once its output is in the log.
    if (createdScriptLogs_) RemoveFolder(WithTrailingBackslash(prefs_->GetHome()) + "logs");
}

}  // namespace corv
