// The tray client's controller: owns the preferences and the run-time state that the start
// sequence, the Java host, the monitors and the messenger synchronisation share.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/sync.h"
#include "tray/java/java_launcher.h"
#include "tray/java/runtime_discovery.h"
#include "tray/net/check_connection.h"
#include "tray/settings/config_sync.h"
#include "tray/settings/preferences.h"
#include "tray/settings/registry_monitor.h"

namespace corv {

class ClientSync;

// The account dialog, as the windows offer it to the start sequence.
class AccountPrompt {
  public:
    virtual ~AccountPrompt() = default;
    // Asks for the account and writes it into the preferences; true when the user confirmed.
    virtual bool AskForAccount(CPreferences& prefs) = 0;
};

class CConfigMgr : public JavaLaunchHost, public ConnectionOwner {
  public:
    CConfigMgr();
    ~CConfigMgr() override;

    CPreferences& Prefs() { return *prefs_; }
    const CPreferences& Prefs() const override { return *prefs_; }
    ProxyHints Hints() const override { return prefsSync_.Hints(); }
    CJavaPrefsSync& PrefsSync() { return prefsSync_; }
    JavaLauncher& Launcher() { return *launcher_; }
    CCheckConnection& Connection() { return connection_; }
    CRegistryMonitor& RegistryMonitor() { return registryMonitor_; }
    const JavaRuntime& Runtime() const { return runtime_; }

    // The client identity of "/id:<value>"; empty without one. Both calls log.
    const std::string& GetCorvaneId() const;
    void SetCorvaneId(const std::string& id);

    // Start-up, in this order: registry write check, run-at-startup check, preference load and
    // normalisation. Stale active settings are removed later, once the single-instance rule has
    // let the start go on.
    void Init();
    // The client start sequence; false ends the program.
    virtual bool BringUpClient();
    // Once per process: registry dumps and the diagnostic script into the log.
    virtual void VerifyInstallation();
    // On script-finished: the script's output into the log.
    virtual void AppendStartLog();
    void NormalisePreferences();
    // The web controls of the service's account page are registered.
    static bool IsUsingActiveX();

    void SetDuplicateInstance(bool on) { duplicateInstance_ = on; }
    bool IsDuplicateInstance() const { return duplicateInstance_; }
    bool GetRunInBackground() const { return runInBackground_; }
    void SetRunInBackground(bool on) { runInBackground_ = on; }
    bool CredentialsOk() const { return credentialsOk_; }
    const std::string& ActiveAddress() const { return activeAddress_; }
    std::string JavaLocalAddress();

    virtual bool CheckRegistryWriteAccess();
    virtual void VerifyRunSettings();
    virtual void DeleteActiveSettings();
    // Closes the log and starts the launcher when Java and the credentials are there.
    bool StartJava(unsigned parameter = 0);

    // Work the main frame hands over on the main thread; the subsystems that own it fill these in.
    // The client programs: 1 points them at the proxy, 0 gives them their values back.
    virtual void SyncMessengerSettings(int enable);
    virtual void SyncClientSettings(int enable);
    virtual void SyncClientSettingsWith(CPreferences& prefs, int enable);  // the dialog's copy
    void SetAccountPrompt(AccountPrompt* prompt) { accountPrompt_ = prompt; }
    virtual void ReloadClientSettings();
    ClientSync& Clients() { return *clients_; }
    // The Java client reported its ports: publish them when they changed.
    virtual void OnSipPortUpdated(int port);
    virtual void OnSocksPortUpdated(int port);
    // The Java client has come up (the launcher's OnJavaStarted, handed over by message): the
    // active settings are published here, in order with the port reports.
    virtual void HandleJavaStarted();

    // Reconnect and restart control, on the main thread.
    // The register monitor saw an address: start the Java client unless the user chose another.
    virtual void OnIpAddrRegistered(const std::string& address);
    // The release monitor saw the address go: reconnect, within the restart counter's limits.
    virtual void OnIpAddrReleased();
    // The Java client is up: publish the active settings and watch its address.
    void JavaClientStarted();
    // The registry monitor saw the password change (or an http proxy update arrived).
    virtual void OnRegistryMonitorEvent();
    // The preferences dialog closed with OK; `working` is its copy, which replaces the
    // preferences.
    void OnPreferencesAccepted(std::unique_ptr<CPreferences> working);
    virtual bool ReconnectIsAllowed();
    // With restart: a new copy with "/Reconnect", then this one closes. Without: closes only.
    void Reconnect(bool restart);
    // A new copy with "/WaitOnRestart", then this one closes.
    void Restart();
    void StartRegistryMonitor();
    bool IsRestartPending() const { return restartPending_; }
    bool IsClientEnabled() const { return clientEnabled_; }
    // Set by the main frame when its window is gone; the destructor consults it.
    void SetWindowClosed(bool on) { windowClosed_ = on; }
    bool IsWindowClosed() const { return windowClosed_; }

    // Called by the Java launcher thread. OnJavaStarted only hands the event to the main thread,
    // where every preference and active-settings write happens.
    std::string GetActiveAddress(unsigned waitMs) override;
    void SetJavaLocalAddress(const std::string& address) override;
    void OnJavaStarted(int value) override;

  protected:
    virtual bool IsJavaRunning() const;
    // Starts a program hidden; its process id, 0 on failure (logged).
    virtual unsigned StartProcess(const std::string& program, const std::string& arguments,
                                  const std::string& folder);
    // The account dialog; true when the user confirmed new credentials. Without the dialog
    // nothing can be asked, which counts as not confirmed.
    virtual bool AskForAccount() {
        return accountPrompt_ && accountPrompt_->AskForAccount(*prefs_);
    }
    // The Java virtual machine library to load (tests point it elsewhere).
    virtual std::string JvmLibrary() const;

  private:
    void ReadJavaSipNode();
    void ReadFixedPorts();
    bool ChooseActiveAddress();
    bool RestartWith(const char* commandSwitch, const char* failureText);
    // The rule of the controller's end: without an orderly close, count it as a reconnect.
    void ExitWithoutOrderlyClose();

    std::unique_ptr<CPreferences> prefs_;
    CJavaPrefsSync prefsSync_;
    std::unique_ptr<JavaLauncher> launcher_;
    std::unique_ptr<ClientSync> clients_;
    JavaRuntime runtime_;
    std::string corvaneId_;
    std::string activeAddress_;
    bool duplicateInstance_ = false;
    bool runInBackground_ = true;
    bool credentialsOk_ = true;
    bool verifyStarted_ = false;
    bool createdScriptLogs_ = false;  // Home\logs was made for verify.bat's output
    // Written by the launcher thread before it posts; read by the main thread after the message.
    Mutex javaAddressMutex_;
    std::string javaLocalAddress_;
    std::atomic<int> javaStarted_{0};
    std::string launchAddress_;  // what the launcher started the client with; javaAddressMutex_
    bool windowClosed_ = false;
    AccountPrompt* accountPrompt_ = nullptr;
    // Cleared when the start sequence disables the client with a "Disabled: " status.
    bool clientEnabled_ = true;
    // Set by an accepted dialog: a restart or Java start is decided, or the account was
    // changed here rather than by another program.
    bool restartPending_ = false;
    bool accountChangedByMyself_ = false;
    CRegistryMonitor registryMonitor_;
    CCheckConnection connection_;
};

}  // namespace corv
