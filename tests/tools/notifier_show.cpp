// notifier_show <seconds> <text>: shows the popup notifier with a text for that long, as the
// tray client does on Windows versions without balloon tips ("\n" in the text is a line
// break). For screenshots of the popup with a text, which only the Java client sends otherwise.
#include <windows.h>

#include <string>

#include "platform/win32/window.h"
#include "tray/core/messages.h"
#include "tray/ui/notifier_window.h"

int wmain(int argc, wchar_t** argv) {
    int seconds = argc > 1 ? _wtoi(argv[1]) : 10;
    std::wstring text = argc > 2 ? argv[2] : L"Corvane\\nSigned-in";
    for (size_t i = text.find(L"\\n"); i != std::wstring::npos; i = text.find(L"\\n", i))
        text.replace(i, 2, L"\n");

    corv::Window owner;
    std::unique_ptr<corv::TaskbarNotifier> notifier;
    owner.On(corv::kMsgNotifier,
             [&](WPARAM w, LPARAM l) -> LRESULT { return notifier ? notifier->OnEvent(w, l) : 0; });
    owner.On(WM_TIMER, [](WPARAM, LPARAM) -> LRESULT {
        PostQuitMessage(0);
        return 0;
    });
    if (!owner.Create(L"CorvaneNotifierShow", L"notifier", WS_OVERLAPPED, 0, 0, 0, 0)) return 1;
    notifier = corv::MakeTaskbarNotifier(owner.Handle(), corv::NotifierSkin());
    if (!notifier) return 1;
    notifier->Show(text, 500, seconds * 1000, 500);
    SetTimer(owner.Handle(), 1, seconds * 1000, nullptr);
    return corv::Window::RunMessageLoop();
}
