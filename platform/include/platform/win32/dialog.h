// Dialogs and property pages on plain Win32, beside the window framework: the object is bound
// to its HWND on WM_INITDIALOG and unbound on WM_NCDESTROY, messages go through one table per
// dialog, and no exception leaves a dialog procedure.
#pragma once

#include <windows.h>
// commctrl.h and prsht.h need the types of windows.h.
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace corv {

// What dialogs and pages share: the message table and the control helpers (UTF-8 text).
class DialogBase {
  public:
    using Handler = std::function<INT_PTR(WPARAM, LPARAM)>;

    explicit DialogBase(UINT templateId) : templateId_(templateId) {}
    virtual ~DialogBase() = default;
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    HWND Handle() const { return hwnd_; }
    UINT TemplateId() const { return templateId_; }

    // One handler per message; its result is the dialog procedure's result.
    void On(UINT message, Handler handler) { handlers_[message] = std::move(handler); }
    // A button or other control's command (WM_COMMAND with this id).
    void OnCommand(int id, std::function<void()> handler) { commands_[id] = std::move(handler); }

    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& utf8);
    bool IsChecked(int id) const;
    void SetChecked(int id, bool on);
    void EnableItem(int id, bool on);
    void ShowItem(int id, bool on);
    void LimitText(int id, int characters);
    void FocusItem(int id);

  protected:
    // Called once the object is bound; fills the controls. True lets the system focus the
    // first control; false when the dialog set the focus itself.
    virtual bool OnInitDialog() { return true; }
    // A handler threw: the dialog goes on (the caller logs it).
    virtual void OnHandlerFailed(UINT message) { (void)message; }
    // Messages without an entry in the table.
    virtual INT_PTR Default(UINT message, WPARAM wParam, LPARAM lParam);

    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Bind(HWND hwnd);
    void Unbind();
    static DialogBase* Bound(HWND hwnd);

  private:
    UINT templateId_;
    HWND hwnd_ = nullptr;
    std::map<UINT, Handler> handlers_;
    std::map<int, std::function<void()>> commands_;
};

// A modal dialog from a template of the program's resources.
class Dialog : public DialogBase {
  public:
    using DialogBase::DialogBase;

    // Runs the dialog; its result (IDOK, IDCANCEL ...), or -1 when it could not be made.
    INT_PTR DoModal(HWND parent);
    void EndDialog(INT_PTR result);

  protected:
    // OK and Cancel (also Escape and the close box). OK closes unless the override keeps it.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    INT_PTR Default(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// A page of a property sheet. The sheet sends its notifications; the page answers them.
class PropertyPage : public DialogBase {
  public:
    using DialogBase::DialogBase;

    // The page's description for the sheet; the page object must outlive the sheet.
    PROPSHEETPAGEW Describe();
    HWND Sheet() const { return GetParent(Handle()); }
    bool WasActivated() const { return activated_; }
    bool WasApplied() const { return applied_; }

  protected:
    // The page becomes the active one.
    virtual void OnSetActive() {}
    // The page stops being the active one (also before OK): false keeps it active.
    virtual bool OnKillActive() { return true; }
    // OK was accepted.
    virtual void OnApply() {}
    // Cancel.
    virtual void OnReset() {}

    INT_PTR Default(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    friend bool RunPropertySheet(HWND, const std::string&, const std::vector<PropertyPage*>&,
                                 const std::function<void(HWND)>&);
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnNotify(const NMHDR& header);

    bool activated_ = false;
    bool applied_ = false;
};

// Runs a modal property sheet without an Apply button over the pages, the first one selected.
// `created` gets the sheet's window as soon as it exists. Returns true when it closed with OK.
bool RunPropertySheet(HWND parent, const std::string& caption,
                      const std::vector<PropertyPage*>& pages,
                      const std::function<void(HWND)>& created);

}  // namespace corv
