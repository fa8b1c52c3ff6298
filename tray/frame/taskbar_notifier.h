// The skinned popup that stands in for balloons on Windows versions without balloon tips.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace corv {

class TaskbarNotifier {
  public:
    virtual ~TaskbarNotifier() = default;
    // Shows the text: appears over appearMs, stays stayMs, disappears over disappearMs.
    virtual void Show(const std::wstring& text, unsigned appearMs, unsigned stayMs,
                      unsigned disappearMs) = 0;
    // The notifier's own event message (1147), posted to the frame.
    virtual LRESULT OnEvent(WPARAM wParam, LPARAM lParam) = 0;
};

struct NotifierSkin {
    unsigned bitmapId = 190;
    const wchar_t* font = L"Arial";
    int pointSize = 90;  // tenths of a point
    int inset = 5;       // text area inset from each edge of the skin
};

// Makes the notifier for a parent window; null when it cannot be made (balloons are used).
using NotifierFactory =
    std::function<std::unique_ptr<TaskbarNotifier>(HWND parent, const NotifierSkin& skin)>;

}  // namespace corv
