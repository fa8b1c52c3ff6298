#include "tray/ui/notifier_motion.h"

#include <algorithm>

namespace corv {

TaskbarEdge FindTaskbarEdge(const ScreenArea& area) {
    const ScreenRect& w = area.work;
    if (w.right - w.left < area.screenWidth)
        return w.left == 0 ? TaskbarEdge::Right : TaskbarEdge::Left;
    if (w.bottom - w.top < area.screenHeight && w.top != 0) return TaskbarEdge::Top;
    return TaskbarEdge::Bottom;
}

SlidePlan PlanSlide(const ScreenArea& area, int width, int height, int step, unsigned showMs,
                    unsigned hideMs) {
    SlidePlan p;
    const ScreenRect& w = area.work;
    p.edge = FindTaskbarEdge(area);
    bool sideways = p.edge == TaskbarEdge::Left || p.edge == TaskbarEdge::Right;
    p.distance = sideways ? width : height;
    // A zero step count would divide by zero; a skin that small still slides in one step.
    p.steps = std::max(1, p.distance / std::max(1, step));
    p.showStepDelay = showMs / static_cast<unsigned>(p.steps);
    p.hideStepDelay = hideMs / static_cast<unsigned>(p.steps);
    switch (p.edge) {
        case TaskbarEdge::Right:
            p.direction = SlideDirection::FromRight;
            p.startX = w.right;
            p.shownX = w.right - width;
            p.startY = p.shownY = w.bottom - height;
            break;
        case TaskbarEdge::Left:
            p.direction = SlideDirection::FromLeft;
            p.startX = w.left - width;
            p.shownX = w.left;
            p.startY = p.shownY = w.bottom - height;
            break;
        case TaskbarEdge::Top:
            p.direction = SlideDirection::FromTop;
            p.startX = p.shownX = w.right - width;
            p.startY = w.top - height;
            p.shownY = w.top;
            break;
        case TaskbarEdge::Bottom:
            p.direction = SlideDirection::FromBottom;
            p.startX = p.shownX = w.right - width;
            p.startY = w.bottom;
            p.shownY = w.bottom - height;
            break;
    }
    return p;
}

void NotifierMotion::SetSkinSize(int width, int height) {
    width_ = width;
    height_ = height;
}

int NotifierMotion::Moved() const {
    switch (plan_.direction) {
        case SlideDirection::FromBottom:
            return plan_.startY - y_;
        case SlideDirection::FromTop:
            return y_ - plan_.startY;
        case SlideDirection::FromRight:
            return plan_.startX - x_;
        case SlideDirection::FromLeft:
            return x_ - plan_.startX;
    }
    return 0;
}

void NotifierMotion::MoveBy(int pixels) {
    switch (plan_.direction) {
        case SlideDirection::FromBottom:
            y_ -= pixels;
            break;
        case SlideDirection::FromTop:
            y_ += pixels;
            break;
        case SlideDirection::FromRight:
            x_ -= pixels;
            break;
        case SlideDirection::FromLeft:
            x_ += pixels;
            break;
    }
}

void NotifierMotion::Place() {
    surface_.Place(x_, y_, width_, height_);
}

void NotifierMotion::Start(unsigned id, unsigned ms) {
    running_[id] = true;
    surface_.StartTimer(id, ms);
}

void NotifierMotion::Stop(unsigned id) {
    if (!running_[id]) return;
    running_[id] = false;
    surface_.StopTimer(id);
}

void NotifierMotion::Show(const ScreenArea& area, unsigned showMs, unsigned stayMs,
                          unsigned hideMs) {
    stayMs_ = stayMs;
    switch (state_) {
        case State::Hidden:
            plan_ = PlanSlide(area, width_, height_, kStep, showMs, hideMs);
            x_ = plan_.startX;
            y_ = plan_.startY;
            state_ = State::Appearing;
            Place();
            surface_.ShowSurface();
            Start(kAppearTimer, plan_.showStepDelay);
            break;
        case State::Appearing:
            surface_.Redraw();  // the slide goes on with the new text
            break;
        case State::Showing:
            surface_.Redraw();
            Start(kStayTimer, stayMs_);
            break;
        case State::Disappearing:
            // Back at once; the state stays until the new stay is over and the slide resumes.
            Stop(kDisappearTimer);
            Start(kStayTimer, stayMs_);
            x_ = plan_.shownX;
            y_ = plan_.shownY;
            Place();
            surface_.Redraw();
            break;
    }
}

void NotifierMotion::Hide() {
    // Every timer, not only the state's: after a second Show while disappearing the stay
    // timer runs in that state, and would start the slide of a hidden popup.
    for (unsigned id : {kAppearTimer, kStayTimer, kDisappearTimer}) Stop(id);
    surface_.HideSurface();
    state_ = State::Hidden;
}

void NotifierMotion::OnTimer(unsigned id) {
    // A tick queued before its timer was stopped is not acted on.
    if (id < kAppearTimer || id > kDisappearTimer || !running_[id]) return;
    switch (id) {
        case kAppearTimer:
            state_ = State::Appearing;
            if (Moved() >= plan_.distance) {
                Stop(kAppearTimer);
                Start(kStayTimer, stayMs_);
                state_ = State::Showing;
            } else {
                // The last step may be shorter: the popup ends against the work area's edge.
                MoveBy(std::min(kStep, plan_.distance - Moved()));
            }
            Place();
            break;
        case kStayTimer:
            Stop(kStayTimer);
            Start(kDisappearTimer, plan_.hideStepDelay);
            break;
        case kDisappearTimer:
            state_ = State::Disappearing;
            MoveBy(-std::min(kStep, Moved()));
            if (Moved() <= 0) {
                Hide();
                return;
            }
            Place();
            break;
    }
}

std::vector<PixelRun> OpaqueRuns(const std::vector<uint8_t>& bgr, int width, int height,
                                 uint8_t red, uint8_t green, uint8_t blue) {
    std::vector<PixelRun> runs;
    if (width <= 0 || height <= 0 || bgr.size() < static_cast<size_t>(width) * height * 3)
        return runs;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bgr.data() + static_cast<size_t>(y) * width * 3;
        int x = 0;
        while (x < width) {
            auto clear = [&](int i) {
                return row[i * 3] == blue && row[i * 3 + 1] == green && row[i * 3 + 2] == red;
            };
            while (x < width && clear(x)) ++x;
            int left = x;
            while (x < width && !clear(x)) ++x;
            if (x > left) runs.push_back(PixelRun{y, left, x});
        }
    }
    return runs;
}

}  // namespace corv
