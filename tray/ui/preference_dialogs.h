// The three dialogs the preferences pages open, each on the working copy of the preferences:
// OK writes into it, Cancel leaves it as it was.
#pragma once

#include "tray/settings/preferences.h"
#include "tray/ui/guarded.h"

namespace corv {

// The account: user id and the password's digest. Also asked for at start without an account.
class CAccountsDlg : public Guarded<Dialog> {
  public:
    explicit CAccountsDlg(CPreferences& prefs);

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    void GetPassword();
    CPreferences& prefs_;
};

// The web proxy's user id and password.
class CProxyAuthDlg : public Guarded<Dialog> {
  public:
    explicit CProxyAuthDlg(CPreferences& prefs);

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    CPreferences& prefs_;
};

// Dynamic or fixed local address and ports.
class CAllClientsDlg : public Guarded<Dialog> {
  public:
    explicit CAllClientsDlg(CPreferences& prefs);

  protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

  private:
    void ChooseMode(bool dynamic);
    CPreferences& prefs_;
    std::string modeBefore_;
};

}  // namespace corv
