// The tray client's top-level window, normally hidden.
#pragma once

#include "platform/win32/window.h"
#include "tray/app/corvan_app.h"

namespace corv {

class CMainFrame : public Window, public AppWindow {
  public:
    bool CreateFrame();

    void SetTitle(const std::string& title) override;
    void Show(bool visible) override;
    MenuRemoval RemoveMenuItems(unsigned id) override;
    void AttachConfigMgr(CConfigMgr* configMgr) override { configMgr_ = configMgr; }

  private:
    void InstallHandlers();
    CConfigMgr* configMgr_ = nullptr;
};

}  // namespace corv
