// The tray client's top-level window, normally hidden: the tray icon and its menu, the status
// bar, balloons, and the handlers of the messages other threads post to the main thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "platform/win32/window.h"
#include "tray/app/corvan_app.h"
#include "tray/app/frame_listener.h"
#include "tray/app/frame_rules.h"
#include "tray/frame/taskbar_notifier.h"
#include "tray/ui/corvan_view.h"

namespace corv {

class CMainFrame : public Window, public AppWindow, private TrayMenuHost {
  public:
    static constexpr UINT kTrayIconId = 128;
    static constexpr UINT_PTR kVerifyTimer = 1;
    static constexpr UINT kVerifyDelayMs = 60000;

    CMainFrame();
    ~CMainFrame() override;

    // The listener whose fields the handlers read (not owned); defaults until set.
    void SetListener(const FrameListener* listener);
    // How the popup notifier is made where balloons are missing; without one, balloons.
    void SetNotifierFactory(NotifierFactory factory) { notifierFactory_ = std::move(factory); }

    // Reads the hide preferences, sizes and creates the window (hidden).
    bool CreateFrame();

    void SetTitle(const std::string& title) override;
    void Show(bool visible) override;
    MenuRemoval RemoveMenuItems(unsigned id) override;
    void AttachConfigMgr(CConfigMgr* configMgr) override { configMgr_ = configMgr; }
    // The rest of the orderly exit when the Windows session ends, run once the window is gone.
    void SetSessionEndHandler(std::function<void()> handler) { sessionEnd_ = std::move(handler); }

    bool HasTrayIcon() const { return iconAdded_; }
    CCorvanView& View() { return view_; }
    const HideFlags& Flags() const { return flags_; }

  protected:
    void OnDestroyed() override;

  private:
    void InstallHandlers();
    // Runs a handler with the catch-all every entry point of the frame has.
    void Guard(const char* name, const std::function<void()>& body);

    WindowRect InitialRect();
    void OnCreate();
    void OnTrayIcon(LPARAM mouse);
    void OnStatusMessage(WPARAM id);
    void OnBalloon();
    void OnClose();
    void OnEndSession();
    void OnDestroy();
    void OnTaskbarCreated();
    void LayOut();
    void ShowStatusText(const std::string& utf8);
    void BringToFront();
    bool ReadmeInHome() const;
    std::string ClientId() const;
    // A refused second start: it leaves everything of the running instance alone.
    bool IsDuplicate() const;

    bool DestroyTrayMenu() override;
    bool LoadTrayMenu(unsigned id) override;

    CConfigMgr* configMgr_ = nullptr;
    std::function<void()> sessionEnd_;
    const FrameListener* listener_;
    DefaultFrameListener defaultListener_;
    NotifierFactory notifierFactory_;
    std::unique_ptr<TaskbarNotifier> notifier_;
    int useNotifier_ = 0;
    NOTIFYICONDATAW trayIcon_ = {};
    bool iconAdded_ = false;
    HMENU trayMenu_ = nullptr;
    HideFlags flags_;
    HWND statusBar_ = nullptr;
    CCorvanView view_;
};

}  // namespace corv
