#include "tray/ui/notifier_motion.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace corv {
namespace {

using State = NotifierMotion::State;
constexpr int kSkinWidth = 315, kSkinHeight = 103;  // the tray client's skin

ScreenArea Area(ScreenRect work) {
    return ScreenArea{work, 1024, 768};
}

// Work areas of a 1024 x 768 screen with a 30-pixel taskbar on each edge, and without one.
const ScreenRect kBottomBar{0, 0, 1024, 738};
const ScreenRect kTopBar{0, 30, 1024, 768};
const ScreenRect kLeftBar{30, 0, 1024, 768};
const ScreenRect kRightBar{0, 0, 994, 768};
const ScreenRect kNoBar{0, 0, 1024, 768};

TEST(SlidePlanTest, EachTaskbarEdgeGivesItsStartShownPositionAndTiming) {
    struct Case {
        const char* name;
        ScreenRect work;
        TaskbarEdge edge;
        SlideDirection direction;
        int startX, startY, shownX, shownY, steps;
        unsigned showDelay, hideDelay;
    };
    // 500 ms to appear, 1000 ms to disappear; 2 pixels per step.
    const Case cases[] = {
        {"bottom", kBottomBar, TaskbarEdge::Bottom, SlideDirection::FromBottom, 709, 738, 709, 635,
         51, 9, 19},
        {"none", kNoBar, TaskbarEdge::Bottom, SlideDirection::FromBottom, 709, 768, 709, 665, 51, 9,
         19},
        {"top", kTopBar, TaskbarEdge::Top, SlideDirection::FromTop, 709, -73, 709, 30, 51, 9, 19},
        {"left", kLeftBar, TaskbarEdge::Left, SlideDirection::FromLeft, -285, 665, 30, 665, 157, 3,
         6},
        {"right", kRightBar, TaskbarEdge::Right, SlideDirection::FromRight, 994, 665, 679, 665, 157,
         3, 6},
    };
    for (const Case& c : cases) {
        SlidePlan p = PlanSlide(Area(c.work), kSkinWidth, kSkinHeight, 2, 500, 1000);
        EXPECT_EQ(c.edge, p.edge) << c.name;
        EXPECT_EQ(c.direction, p.direction) << c.name;
        EXPECT_EQ(c.startX, p.startX) << c.name;
        EXPECT_EQ(c.startY, p.startY) << c.name;
        EXPECT_EQ(c.shownX, p.shownX) << c.name;
        EXPECT_EQ(c.shownY, p.shownY) << c.name;
        EXPECT_EQ(c.steps, p.steps) << c.name;
        EXPECT_EQ(c.showDelay, p.showStepDelay) << c.name;
        EXPECT_EQ(c.hideDelay, p.hideStepDelay) << c.name;
    }
}

TEST(SlidePlanTest, EdgeRulesForUnusualWorkAreas) {
    struct Case {
        const char* name;
        ScreenArea area;
        TaskbarEdge edge;
    };
    const Case cases[] = {
        // Narrower wins over lower: two bars count as the side one.
        {"left and bottom", ScreenArea{{30, 0, 1024, 738}, 1024, 768}, TaskbarEdge::Left},
        {"right and top", ScreenArea{{0, 30, 994, 768}, 1024, 768}, TaskbarEdge::Right},
        {"lower but at the top", ScreenArea{{0, 0, 1024, 700}, 1024, 768}, TaskbarEdge::Bottom},
        {"a second screen's area", ScreenArea{{0, 0, 1280, 1024}, 1024, 768}, TaskbarEdge::Bottom},
    };
    for (const Case& c : cases) EXPECT_EQ(c.edge, FindTaskbarEdge(c.area)) << c.name;
}

TEST(SlidePlanTest, ASkinSmallerThanAStepStillSlidesInOneStep) {
    SlidePlan p = PlanSlide(Area(kBottomBar), 1, 1, 2, 500, 500);
    EXPECT_EQ(1, p.steps);
    EXPECT_EQ(500u, p.showStepDelay);
    p = PlanSlide(Area(kBottomBar), 0, 0, 2, 500, 500);  // no skin could be loaded
    EXPECT_EQ(1, p.steps);
}

// Records what the state machine asks of the window, and which timers run.
class FakeSurface : public NotifierSurface {
  public:
    void StartTimer(unsigned id, unsigned ms) override {
        timers[id] = ms;
        calls.push_back("start " + std::to_string(id) + " " + std::to_string(ms));
    }
    void StopTimer(unsigned id) override {
        timers.erase(id);
        calls.push_back("stop " + std::to_string(id));
    }
    void ShowSurface() override {
        visible = true;
        calls.push_back("show");
    }
    void Place(int px, int py, int w, int h) override {
        x = px;
        y = py;
        width = w;
        height = h;
        ++places;
    }
    void HideSurface() override {
        visible = false;
        width = height = 0;
        calls.push_back("hide");
    }
    void Redraw() override { calls.push_back("redraw"); }

    std::map<unsigned, unsigned> timers;  // running timers and their periods
    std::vector<std::string> calls;
    bool visible = false;
    int x = 0, y = 0, width = 0, height = 0, places = 0;
};

class NotifierMotionTest : public ::testing::Test {
  protected:
    NotifierMotionTest() : motion_(surface_) { motion_.SetSkinSize(kSkinWidth, kSkinHeight); }

    void Show(ScreenRect work = kBottomBar, unsigned stay = 30000) {
        motion_.Show(Area(work), 500, stay, 500);
    }
    // Delivers ticks of the timer while it runs and the state allows; the number delivered.
    int TickWhile(unsigned id, State state, int limit = 1000) {
        int ticks = 0;
        while (surface_.timers.count(id) && motion_.GetState() == state && ticks < limit) {
            motion_.OnTimer(id);
            ++ticks;
        }
        return ticks;
    }
    void ReachShowing(ScreenRect work = kBottomBar) {
        Show(work);
        TickWhile(NotifierMotion::kAppearTimer, State::Appearing);
        ASSERT_EQ(State::Showing, motion_.GetState());
    }
    void ReachAppearing() {
        Show();
        motion_.OnTimer(NotifierMotion::kAppearTimer);
        motion_.OnTimer(NotifierMotion::kAppearTimer);
    }
    void ReachDisappearingShownAgain() {
        ReachDisappearing();
        Show();
    }
    void ReachDisappearing() {
        ReachShowing();
        motion_.OnTimer(NotifierMotion::kStayTimer);
        motion_.OnTimer(NotifierMotion::kDisappearTimer);
        motion_.OnTimer(NotifierMotion::kDisappearTimer);
        ASSERT_EQ(State::Disappearing, motion_.GetState());
    }
    std::vector<unsigned> Running() const {
        std::vector<unsigned> ids;
        for (const auto& [id, ms] : surface_.timers) ids.push_back(id);
        return ids;
    }

    FakeSurface surface_;
    NotifierMotion motion_;
};

TEST_F(NotifierMotionTest, SlidesOutToTheWorkAreasEdgeStaysAndSlidesBack) {
    struct Case {
        const char* name;
        ScreenRect work;
        int shownX, shownY, startX, startY;
    };
    const Case cases[] = {
        {"bottom", kBottomBar, 709, 635, 709, 738}, {"none", kNoBar, 709, 665, 709, 768},
        {"top", kTopBar, 709, 30, 709, -73},        {"left", kLeftBar, 30, 665, -285, 665},
        {"right", kRightBar, 679, 665, 994, 665},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSurface surface;
        NotifierMotion motion(surface);
        motion.SetSkinSize(kSkinWidth, kSkinHeight);
        motion.Show(Area(c.work), 500, 30000, 500);
        EXPECT_TRUE(surface.visible);
        EXPECT_EQ(c.startX, surface.x);
        EXPECT_EQ(c.startY, surface.y);
        EXPECT_EQ(kSkinWidth, surface.width);

        int ticks = 0;
        while (motion.GetState() != State::Showing && ticks < 1000) {
            ASSERT_EQ(1u, surface.timers.count(NotifierMotion::kAppearTimer));
            motion.OnTimer(NotifierMotion::kAppearTimer);
            ++ticks;
        }
        // Against the edge, not a pixel beyond, although the skin's size is odd.
        EXPECT_EQ(c.shownX, surface.x);
        EXPECT_EQ(c.shownY, surface.y);
        EXPECT_EQ(motion.Plan().steps + 2, ticks);  // a last short step, then the arrival tick
        EXPECT_EQ((std::map<unsigned, unsigned>{{NotifierMotion::kStayTimer, 30000}}),
                  surface.timers);

        motion.OnTimer(NotifierMotion::kStayTimer);
        EXPECT_EQ((std::map<unsigned, unsigned>{
                      {NotifierMotion::kDisappearTimer, motion.Plan().hideStepDelay}}),
                  surface.timers);
        ticks = 0;
        while (surface.timers.count(NotifierMotion::kDisappearTimer) && ticks < 1000) {
            motion.OnTimer(NotifierMotion::kDisappearTimer);
            ++ticks;
        }
        EXPECT_EQ(motion.Plan().steps + 1, ticks);
        EXPECT_EQ(State::Hidden, motion.GetState());
        EXPECT_FALSE(surface.visible);
        EXPECT_TRUE(surface.timers.empty());
    }
}

TEST_F(NotifierMotionTest, ASecondShowInEachState) {
    // Hidden: a new slide from the start.
    Show();
    EXPECT_EQ(State::Appearing, motion_.GetState());
    EXPECT_EQ((std::map<unsigned, unsigned>{{NotifierMotion::kAppearTimer, 9}}), surface_.timers);

    // Appearing: the slide goes on where it is; only the text is drawn again.
    for (int i = 0; i < 10; ++i) motion_.OnTimer(NotifierMotion::kAppearTimer);
    int y = surface_.y;
    surface_.calls.clear();
    Show(kBottomBar, 5000);
    EXPECT_EQ(State::Appearing, motion_.GetState());
    EXPECT_EQ(y, surface_.y);
    EXPECT_EQ((std::vector<std::string>{"redraw"}), surface_.calls);
    TickWhile(NotifierMotion::kAppearTimer, State::Appearing);
    EXPECT_EQ(5000u, surface_.timers[NotifierMotion::kStayTimer]);  // the latest stay counts

    // Showing: the stay starts again.
    surface_.calls.clear();
    Show(kBottomBar, 30000);
    EXPECT_EQ(State::Showing, motion_.GetState());
    EXPECT_EQ((std::vector<std::string>{"redraw", "start 2 30000"}), surface_.calls);

    // Disappearing: back at once and another stay; the state follows once it is over.
    motion_.OnTimer(NotifierMotion::kStayTimer);
    for (int i = 0; i < 5; ++i) motion_.OnTimer(NotifierMotion::kDisappearTimer);
    ASSERT_EQ(State::Disappearing, motion_.GetState());
    ASSERT_NE(635, surface_.y);
    Show();
    EXPECT_EQ(635, surface_.y);
    EXPECT_EQ(State::Disappearing, motion_.GetState());
    EXPECT_EQ((std::vector<unsigned>{NotifierMotion::kStayTimer}), Running());
    motion_.OnTimer(NotifierMotion::kStayTimer);
    EXPECT_EQ((std::vector<unsigned>{NotifierMotion::kDisappearTimer}), Running());
    TickWhile(NotifierMotion::kDisappearTimer, State::Disappearing);
    EXPECT_EQ(State::Hidden, motion_.GetState());
    EXPECT_FALSE(surface_.visible);
}

TEST_F(NotifierMotionTest, HideFromEachStateStopsEveryTimerAndLateTicksChangeNothing) {
    struct Case {
        const char* name;
        std::function<void()> reach;
    };
    const Case cases[] = {
        {"appearing", [this] { ReachAppearing(); }},
        {"showing", [this] { ReachShowing(); }},
        {"disappearing", [this] { ReachDisappearing(); }},
        {"shown again while disappearing", [this] { ReachDisappearingShownAgain(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        motion_.Hide();
        surface_ = FakeSurface();
        c.reach();
        motion_.Hide();
        EXPECT_EQ(State::Hidden, motion_.GetState());
        EXPECT_TRUE(surface_.timers.empty());
        EXPECT_FALSE(surface_.visible);
        EXPECT_EQ(0, surface_.width);
        // Ticks already queued when the timers stopped.
        int places = surface_.places;
        for (unsigned id = 0; id <= 4; ++id) motion_.OnTimer(id);
        EXPECT_EQ(State::Hidden, motion_.GetState());
        EXPECT_EQ(places, surface_.places);
        EXPECT_TRUE(surface_.timers.empty());
    }
}

TEST(OpaqueRunsTest, PixelsOfTheTransparentColourAreLeftOut) {
    // 4 x 2 pixels, blue-green-red order; magenta (255, 0, 255) is transparent.
    const uint8_t m[3] = {255, 0, 255}, k[3] = {0, 0, 0}, r[3] = {0, 0, 255};
    std::vector<uint8_t> pixels;
    for (const uint8_t* p : {m, k, k, m, r, m, r, r}) pixels.insert(pixels.end(), p, p + 3);
    std::vector<PixelRun> runs = OpaqueRuns(pixels, 4, 2, 255, 0, 255);
    ASSERT_EQ(3u, runs.size());
    EXPECT_EQ((std::vector<int>{0, 1, 3}),
              (std::vector<int>{runs[0].y, runs[0].left, runs[0].right}));
    EXPECT_EQ((std::vector<int>{1, 0, 1}),
              (std::vector<int>{runs[1].y, runs[1].left, runs[1].right}));
    EXPECT_EQ((std::vector<int>{1, 2, 4}),
              (std::vector<int>{runs[2].y, runs[2].left, runs[2].right}));
    // Pure blue is no pixel here; read in the wrong byte order it would be the red ones.
    runs = OpaqueRuns(pixels, 4, 2, 0, 0, 255);
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ((std::vector<int>{1, 0, 4}),
              (std::vector<int>{runs[1].y, runs[1].left, runs[1].right}));
    EXPECT_TRUE(OpaqueRuns(pixels, 4, 3, 255, 0, 255).empty());  // a short buffer reads nothing
    EXPECT_EQ(312, RegionWidth(315));
}

}  // namespace
}  // namespace corv
