// The skinned popup notifier: slides out of the taskbar's edge with a short text, stays and
// slides back. A click is reported to the parent (message 1147), which hides it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/win32/window.h"
#include "tray/frame/taskbar_notifier.h"
#include "tray/ui/notifier_motion.h"

namespace corv {

class CTaskbarNotifier : public Window, public TaskbarNotifier, private NotifierSurface {
  public:
    static constexpr int kNoTransparency = 0xFFFF;
    static constexpr COLORREF kNormalTextColor = RGB(133, 146, 181);
    static constexpr COLORREF kSelectedTextColor = RGB(10, 36, 106);

    CTaskbarNotifier();
    ~CTaskbarNotifier() override;

    // A hidden popup of size zero, owned by the parent.
    bool Create(HWND parent);
    // The bitmap resource becomes the picture and gives the size. With a transparent colour
    // (no component kNoTransparency) the popup takes the shape of the other pixels.
    bool SetSkin(UINT bitmapId, int red, int green, int blue);
    // Size in tenths of a point; style bits: 1 bold, 2 italic, 4 underline.
    void SetTextFont(const wchar_t* face, int tenthsOfPoint, int normalStyle, int selectedStyle);
    void SetTextColor(COLORREF normal, COLORREF selected);
    void SetTextRect(const RECT& rect) { textRect_ = rect; }

    void Show(const std::wstring& text, unsigned appearMs, unsigned stayMs,
              unsigned disappearMs) override;
    void Hide();
    // The parent's answer to the click: hides the popup.
    LRESULT OnEvent(WPARAM wParam, LPARAM lParam) override;

    NotifierMotion::State State() const { return motion_.GetState(); }
    bool MouseOver() const { return mouseOver_; }
    const std::wstring& Text() const { return text_; }
    SIZE SkinSize() const { return SIZE{skinWidth_, skinHeight_}; }
    const RECT& TextRect() const { return textRect_; }

  private:
    void InstallHandlers();
    void OnPaint();
    static ScreenArea CurrentScreen();

    void StartTimer(unsigned id, unsigned ms) override;
    void StopTimer(unsigned id) override;
    void ShowSurface() override;
    void Place(int x, int y, int width, int height) override;
    void HideSurface() override;
    void Redraw() override;

    HWND parent_ = nullptr;
    HFONT normalFont_ = nullptr;
    HFONT selectedFont_ = nullptr;
    HBITMAP skin_ = nullptr;
    RECT textRect_ = {};
    HCURSOR handCursor_ = nullptr;
    std::wstring text_;
    COLORREF normalTextColor_ = kNormalTextColor;
    COLORREF selectedTextColor_ = kSelectedTextColor;
    bool mouseOver_ = false;
    int skinWidth_ = 0;
    int skinHeight_ = 0;
    NotifierMotion motion_;
};

// The tray client's notifier for the frame: the skin without transparency, the font, black
// text and the text area inset from the skin's edges. Null when the window cannot be made.
std::unique_ptr<TaskbarNotifier> MakeTaskbarNotifier(HWND parent, const NotifierSkin& skin);

}  // namespace corv
