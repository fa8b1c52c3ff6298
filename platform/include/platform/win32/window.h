// A thin window framework on plain Win32: a window with one message table, and the loop.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "platform/thread.h"

namespace corv {

class Window {
  public:
    using Handler = std::function<LRESULT(WPARAM, LPARAM)>;

    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Registers the class on first use and creates the window (hidden).
    bool Create(const std::wstring& className, const std::wstring& title, DWORD style, int x, int y,
                int width, int height, HMENU menu = nullptr, HICON icon = nullptr);
    // The same with extended styles and a parent: the parent of a child window (WS_CHILD, and
    // `menu` is then its id) or the owner of a popup.
    bool CreateEx(DWORD exStyle, const std::wstring& className, const std::wstring& title,
                  DWORD style, int x, int y, int width, int height, HWND parent,
                  HMENU menu = nullptr, HICON icon = nullptr);
    HWND Handle() const { return hwnd_; }
    // Destroys the window while the object is whole, so its destroy handlers run. A derived
    // window calls it in its destructor: the base destructor only clears up, without handlers.
    void Destroy();

    // The message table: one handler per message number.
    void On(UINT message, Handler handler) { handlers_[message] = std::move(handler); }

    static int RunMessageLoop();

  protected:
    // Called for messages without a handler.
    virtual LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnDestroyed() {}

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    std::map<UINT, Handler> handlers_;
};

// Posts to a window: the main-frame hand-over for worker threads.
class WindowPoster : public MessagePoster {
  public:
    explicit WindowPoster(HWND hwnd) : hwnd_(hwnd) {}
    bool Post(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        return PostMessageW(hwnd_, message, wParam, lParam) != FALSE;
    }

  private:
    HWND hwnd_;
};

}  // namespace corv
