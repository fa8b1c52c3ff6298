#include "platform/win32/window.h"

namespace corv {

Window::~Window() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void Window::Destroy() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

bool Window::Create(const std::wstring& className, const std::wstring& title, DWORD style, int x,
                    int y, int width, int height, HMENU menu, HICON icon) {
    return CreateEx(0, className, title, style, x, y, width, height, nullptr, menu, icon);
}

bool Window::CreateEx(DWORD exStyle, const std::wstring& className, const std::wstring& title,
                      DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu,
                      HICON icon) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(instance, className.c_str(), &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Window::Proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.hIcon = icon;
        wc.lpszClassName = className.c_str();
        if (!RegisterClassExW(&wc)) return false;
    }
    hwnd_ = CreateWindowExW(exStyle, className.c_str(), title.c_str(), style, x, y, width, height,
                            parent, menu, instance, this);
    return hwnd_ != nullptr;
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result;
    auto it = self->handlers_.find(message);
    if (it != self->handlers_.end())
        result = it->second(wParam, lParam);
    else
        result = self->Default(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnDestroyed();
    }
    return result;
}

int Window::RunMessageLoop() {
    MSG msg;
    BOOL rc;
    while ((rc = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (rc == -1) return 1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace corv
