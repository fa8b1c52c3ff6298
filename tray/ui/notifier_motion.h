// How the popup notifier slides out of the taskbar's edge, stays and slides back: the geometry
// and timing of the slide and the states, without a window (the window carries out the steps).
#pragma once

#include <cstdint>
#include <vector>

namespace corv {

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The desktop as the popup sees it: the work area (the screen minus the taskbar) and the screen.
struct ScreenArea {
    ScreenRect work;
    int screenWidth = 0;
    int screenHeight = 0;
};

enum class TaskbarEdge { Bottom, Top, Left, Right };
// Where the popup comes from; the numbers are the popup's own direction codes.
enum class SlideDirection { FromTop = 1, FromLeft = 2, FromRight = 3, FromBottom = 4 };

// A work area narrower than the screen puts the taskbar right (work starts at x = 0) or left;
// else a lower one puts it at the top unless the work starts at y = 0. Everything else,
// no reserved taskbar included, counts as bottom.
TaskbarEdge FindTaskbarEdge(const ScreenArea& area);

struct SlidePlan {
    TaskbarEdge edge = TaskbarEdge::Bottom;
    SlideDirection direction = SlideDirection::FromBottom;
    int startX = 0;  // hidden, just outside the work area
    int startY = 0;
    int shownX = 0;  // fully shown, against the work area's edge
    int shownY = 0;
    int distance = 0;  // pixels between the two: the skin's width or height
    int steps = 0;     // timer ticks of `step` pixels to cover the distance
    unsigned showStepDelay = 0;
    unsigned hideStepDelay = 0;
};

// The slide of a skin of width x height pixels moved `step` pixels per tick, appearing over
// showMs and disappearing over hideMs. A skin smaller than a step still takes one step.
SlidePlan PlanSlide(const ScreenArea& area, int width, int height, int step, unsigned showMs,
                    unsigned hideMs);

// What the state machine asks of its window.
class NotifierSurface {
  public:
    virtual ~NotifierSurface() = default;
    virtual void StartTimer(unsigned id, unsigned ms) = 0;  // restarts a running one
    virtual void StopTimer(unsigned id) = 0;
    // Shows the window where it is, without activating it.
    virtual void ShowSurface() = 0;
    // Moves and sizes the window, keeping its Z order and activation.
    virtual void Place(int x, int y, int width, int height) = 0;
    // Size zero, hidden.
    virtual void HideSurface() = 0;
    virtual void Redraw() = 0;
};

class NotifierMotion {
  public:
    enum class State { Hidden = 0, Appearing = 1, Showing = 2, Disappearing = 3 };
    static constexpr unsigned kAppearTimer = 1;
    static constexpr unsigned kStayTimer = 2;
    static constexpr unsigned kDisappearTimer = 3;
    static constexpr int kStep = 2;  // pixels per tick

    explicit NotifierMotion(NotifierSurface& surface) : surface_(surface) {}

    void SetSkinSize(int width, int height);
    // A new text (the window has stored it): starts the slide when hidden, redraws otherwise;
    // while showing the stay starts again, while disappearing the popup is put back at once.
    void Show(const ScreenArea& area, unsigned showMs, unsigned stayMs, unsigned hideMs);
    void Hide();
    void OnTimer(unsigned id);

    State GetState() const { return state_; }
    int X() const { return x_; }
    int Y() const { return y_; }
    const SlidePlan& Plan() const { return plan_; }

  private:
    // Pixels moved from the start position along the slide.
    int Moved() const;
    void MoveBy(int pixels);  // along the slide, towards fully shown when positive
    void Place();
    void Start(unsigned id, unsigned ms);
    void Stop(unsigned id);

    NotifierSurface& surface_;
    bool running_[kDisappearTimer + 1] = {};
    State state_ = State::Hidden;
    SlidePlan plan_;
    int width_ = 0;
    int height_ = 0;
    unsigned stayMs_ = 0;
    int x_ = 0;
    int y_ = 0;
};

// The pixels of a top-down 24-bit (blue, green, red) buffer of width x height that are not of
// the transparent colour, as runs per row: the popup's shape.
struct PixelRun {
    int y;
    int left;
    int right;  // exclusive
};
std::vector<PixelRun> OpaqueRuns(const std::vector<uint8_t>& bgr, int width, int height,
                                 uint8_t red, uint8_t green, uint8_t blue);
// The skin's width as the shape takes it: rows of 24-bit pixels without padding, so columns
// beyond a multiple of 4 lie outside the shape.
inline int RegionWidth(int width) {
    return width - width % 4;
}

}  // namespace corv
