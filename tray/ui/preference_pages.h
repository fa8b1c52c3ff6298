// The five pages of the preferences sheet. Each fills its controls from the working copy when it
// becomes the active page and checks and writes them back when it stops being it.
#pragma once

#include "tray/settings/preferences.h"
#include "tray/ui/guarded.h"

namespace corv {

class CPreferencesPage : public Guarded<PropertyPage> {  // "General"
  public:
    explicit CPreferencesPage(CPreferences& prefs);

  protected:
    void OnSetActive() override;
    bool OnKillActive() override;

  private:
    CPreferences& prefs_;
};

class CAccountsPage : public Guarded<PropertyPage> {
  public:
    explicit CAccountsPage(CPreferences& prefs);

  protected:
    void OnSetActive() override;

  private:
    void ShowAccount();
    void EditAccount();
    CPreferences& prefs_;
};

class CInternetPage : public Guarded<PropertyPage> {  // "Connection"
  public:
    explicit CInternetPage(CPreferences& prefs);

  protected:
    void OnSetActive() override;
    bool OnKillActive() override;

  private:
    void EnableFields();
    void ShowProxyAuth();
    CPreferences& prefs_;
};

class CAllClientsPage : public Guarded<PropertyPage> {  // "Clients"
  public:
    explicit CAllClientsPage(CPreferences& prefs);

  protected:
    void OnSetActive() override;
    bool OnKillActive() override;

  private:
    CPreferences& prefs_;
};

class CSipPage : public Guarded<PropertyPage> {
  public:
    // `frame`: the main window, whose status bar goes back to its idle text.
    CSipPage(CPreferences& prefs, HWND frame);

  protected:
    void OnSetActive() override;
    bool OnKillActive() override;

  private:
    CPreferences& prefs_;
    HWND frame_;
};

}  // namespace corv
