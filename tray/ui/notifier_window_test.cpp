// The popup notifier as a real window (Wine's null display driver is enough).
#include "tray/ui/notifier_window.h"

#include <gtest/gtest.h>

#include <functional>

#include "resources/resource.h"
#include "tray/core/messages.h"

namespace corv {
namespace {

// Handles what is queued and waits for more until the condition holds; the bound only keeps a
// broken build from hanging.
bool PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}

// The frame's part: the click notification makes it hide the popup.
class Parent : public Window {
  public:
    Parent() {
        On(kMsgNotifier, [this](WPARAM w, LPARAM l) -> LRESULT {
            ++clicks;
            return notifier ? notifier->OnEvent(w, l) : 0;
        });
        Create(L"CorvaneNotifierTestParent", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100);
    }
    TaskbarNotifier* notifier = nullptr;
    int clicks = 0;
};

ScreenArea Screen() {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return ScreenArea{{work.left, work.top, work.right, work.bottom},
                      GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN)};
}

TEST(NotifierWindowTest, SlidesToItsPlaceStaysThereAndAClickHidesIt) {
    Parent parent;
    std::unique_ptr<TaskbarNotifier> made = MakeTaskbarNotifier(parent.Handle(), NotifierSkin());
    ASSERT_NE(nullptr, made);
    auto* notifier = static_cast<CTaskbarNotifier*>(made.get());
    parent.notifier = notifier;
    HWND popup = notifier->Handle();
    EXPECT_EQ(parent.Handle(), GetWindow(popup, GW_OWNER));
    EXPECT_FALSE(IsWindowVisible(popup));
    RECT text = notifier->TextRect();
    EXPECT_EQ(5, text.left);
    EXPECT_EQ(315 - 5, text.right);
    EXPECT_EQ(103 - 5, text.bottom);

    notifier->Show(L"Corvane\nSigned in", 500, 30000, 500);
    EXPECT_TRUE(IsWindowVisible(popup));
    ASSERT_TRUE(PumpUntil([&] { return notifier->State() == NotifierMotion::State::Showing; }));
    SlidePlan plan = PlanSlide(Screen(), 315, 103, 2, 500, 500);
    RECT r;
    GetWindowRect(popup, &r);
    EXPECT_EQ(plan.shownX, r.left);
    EXPECT_EQ(plan.shownY, r.top);
    EXPECT_EQ(315, r.right - r.left);
    EXPECT_EQ(103, r.bottom - r.top);
    EXPECT_NE(popup, GetForegroundWindow());  // it never takes the focus

    // A second notification while it shows: the new text, same place.
    notifier->Show(L"Corvane\nIn call", 500, 30000, 500);
    EXPECT_EQ(L"Corvane\nIn call", notifier->Text());
    EXPECT_EQ(NotifierMotion::State::Showing, notifier->State());

    SendMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    ASSERT_TRUE(PumpUntil([&] { return parent.clicks == 1; }));
    EXPECT_EQ(NotifierMotion::State::Hidden, notifier->State());
    EXPECT_FALSE(IsWindowVisible(popup));
    GetWindowRect(popup, &r);
    EXPECT_EQ(0, r.right - r.left);
}

TEST(NotifierWindowTest, ATransparentColourShapesThePopupAndNoneLeavesItRectangular) {
    Parent parent;
    CTaskbarNotifier notifier;
    ASSERT_TRUE(notifier.Create(parent.Handle()));
    // The skin's frame colour is taken as transparent: its corners and edges go.
    ASSERT_TRUE(notifier.SetSkin(IDB_NOTIFIER_SKIN, 18, 32, 58));
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(notifier.Handle(), shape));
    EXPECT_FALSE(PtInRegion(shape, 0, 0));
    EXPECT_FALSE(PtInRegion(shape, 150, 0));
    EXPECT_TRUE(PtInRegion(shape, 150, 50));
    EXPECT_TRUE(PtInRegion(shape, 311, 50));
    EXPECT_FALSE(PtInRegion(shape, 312, 50));  // beyond the width rounded down to 4 pixels

    ASSERT_TRUE(notifier.SetSkin(IDB_NOTIFIER_SKIN, CTaskbarNotifier::kNoTransparency, 0, 0));
    EXPECT_EQ(ERROR, GetWindowRgn(notifier.Handle(), shape));
    DeleteObject(shape);

    EXPECT_FALSE(notifier.SetSkin(9999, 0, 0, 0));  // no such bitmap: no skin, no size
    EXPECT_EQ(0, notifier.SkinSize().cx);
    notifier.Show(L"text", 500, 30000, 500);  // still slides, without dividing by zero
    EXPECT_TRUE(PumpUntil([&] { return notifier.State() == NotifierMotion::State::Showing; }));
}

}  // namespace
}  // namespace corv
