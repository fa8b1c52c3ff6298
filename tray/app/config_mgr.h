// The tray client's controller: owns the preferences and the run-time state that the start
// sequence, the Java host, the monitors and the messenger synchronisation share.
#pragma once

#include <memory>
#include <string>

#include "tray/settings/preferences.h"

namespace corv {

class CConfigMgr {
  public:
    CConfigMgr();
    virtual ~CConfigMgr();

    CPreferences& Prefs() { return *prefs_; }
    const CPreferences& Prefs() const { return *prefs_; }

    // The client identity of "/id:<value>"; empty without one. Both calls log.
    const std::string& GetCorvaneId() const;
    void SetCorvaneId(const std::string& id);

    // Start-up, in this order: registry write check, run-at-startup check, removal of stale
    // active settings, preference load and normalisation.
    void Init();
    // The client start sequence; false ends the program.
    virtual bool BringUpClient();

    void SetDuplicateInstance(bool on) { duplicateInstance_ = on; }
    bool IsDuplicateInstance() const { return duplicateInstance_; }
    bool GetRunInBackground() const { return runInBackground_; }
    void SetRunInBackground(bool on) { runInBackground_ = on; }

    // Steps of the start-up that grow with the later subsystems.
    virtual bool CheckRegistryWriteAccess();
    virtual void VerifyRunSettings();
    virtual void DeleteActiveSettings();
    virtual void NormalisePreferences();

    // Work the main frame hands over on the main thread; the subsystems that own it fill these in.
    virtual void SyncMessengerSettings(int /*enable*/) {}
    virtual void SyncClientSettings(int /*enable*/) {}
    virtual void VerifyInstallation() {}
    virtual void AppendStartLog() {}
    virtual void OnRegistryMonitorEvent() {}  // the restart decision
    virtual void ReloadClientSettings() {}
    virtual void OnSipPortUpdated(int /*port*/) {}
    virtual void OnSocksPortUpdated(int /*port*/) {}
    // Set by the main frame when its window is gone; the destructor consults it.
    void SetWindowClosed(bool on) { windowClosed_ = on; }
    bool IsWindowClosed() const { return windowClosed_; }

  private:
    std::unique_ptr<CPreferences> prefs_;
    std::string corvaneId_;
    bool duplicateInstance_ = false;
    bool runInBackground_ = true;
    bool windowClosed_ = false;
};

}  // namespace corv
