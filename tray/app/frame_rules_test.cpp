#include "tray/app/frame_rules.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "tray/core/log_capture.h"
#include "tray/core/log_file.h"

namespace corv {
namespace {

const char kPrefs[] = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char kSettings[] = "SOFTWARE\\Velmora\\Corvane\\Settings";

void SetDword(RegRoot root, const char* path, const char* name, uint32_t v) {
    RegKey key;
    ASSERT_EQ(kOk, key.Create(root, path));
    ASSERT_EQ(kOk, key.SetDword(name, v));
}

class FrameRulesTest : public ::testing::Test {
  protected:
    std::string Said() { return capture_.Text(); }
    ScopedMemoryRegistry registry_;
    ScopedLogCapture capture_;
};

TEST_F(FrameRulesTest, HideFlagsTakeTheUserValueThenTheMachineValue) {
    HideFlags none = ReadHideFlags();
    EXPECT_EQ(0, none.hideAll + none.hideGui + none.hideBalloons);

    SetDword(RegRoot::LocalMachine, kPrefs, "HideAll", 1);
    SetDword(RegRoot::LocalMachine, kPrefs, "HideGUI", 1);
    SetDword(RegRoot::LocalMachine, kPrefs, "HideBalloons", 1);
    SetDword(RegRoot::CurrentUser, kPrefs, "HideAll", 0);
    {
        RegKey key;  // a string is not a number: the machine's value counts
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kPrefs));
        key.SetString("HideGUI", "0");
    }
    HideFlags f = ReadHideFlags();
    EXPECT_EQ(0, f.hideAll);
    EXPECT_EQ(1, f.hideGui);
    EXPECT_EQ(1, f.hideBalloons);
}

TEST_F(FrameRulesTest, TrayMenuByHideGuiAndReadme) {
    EXPECT_EQ(139u, ChooseTrayMenu(false, true).id);
    EXPECT_EQ(202u, ChooseTrayMenu(false, false).id);
    EXPECT_EQ(198u, ChooseTrayMenu(true, true).id);
    EXPECT_EQ(207u, ChooseTrayMenu(true, false).id);
    EXPECT_STREQ("IDR_TRAYMENUHIDE_NOREAD", ChooseTrayMenu(true, false).name);
}

class FakeMenuHost : public TrayMenuHost {
  public:
    bool DestroyTrayMenu() override {
        calls.push_back(0);
        return destroyWorks;
    }
    bool LoadTrayMenu(unsigned id) override {
        calls.push_back(id);
        return true;
    }
    bool destroyWorks = true;
    std::vector<unsigned> calls;
};

TEST_F(FrameRulesTest, HideMessageSwapsTheMenuOnlyWhenHideGuiChanges) {
    HideFlags flags;
    FakeMenuHost host;
    SetDword(RegRoot::CurrentUser, kPrefs, "HideBalloons", 1);
    HandleHideMessage(&flags, false, host);  // balloons alone: no menu change
    EXPECT_EQ(1, flags.hideBalloons);
    EXPECT_TRUE(host.calls.empty());

    SetDword(RegRoot::CurrentUser, kPrefs, "HideGUI", 1);
    HandleHideMessage(&flags, true, host);
    EXPECT_EQ((std::vector<unsigned>{0, 198}), host.calls);

    SetDword(RegRoot::CurrentUser, kPrefs, "HideGUI", 0);
    HandleHideMessage(&flags, false, host);
    EXPECT_EQ((std::vector<unsigned>{0, 198, 0, 202}), host.calls);

    std::string said = Said();
    EXPECT_NE(std::string::npos, said.find("CMainFrame Received OnHideMsg\n"));
    EXPECT_NE(std::string::npos, said.find("CMainFrame: destroyed old systray menu\n"
                                           "CMainFrame: loaded IDR_TRAYMENUHIDE\n"));
    EXPECT_NE(std::string::npos, said.find("CMainFrame: loaded IDR_TRAYMENU_NOREAD\n"));
}

TEST_F(FrameRulesTest, HideMessageIsIgnoredWhileHideAllIsSetAndStopsWhenMenuStays) {
    HideFlags flags;
    flags.hideAll = 1;
    FakeMenuHost host;
    SetDword(RegRoot::CurrentUser, kPrefs, "HideGUI", 1);
    HandleHideMessage(&flags, true, host);
    EXPECT_EQ(0, flags.hideGui);  // not even re-read
    EXPECT_TRUE(host.calls.empty());

    flags.hideAll = 0;
    host.destroyWorks = false;
    HandleHideMessage(&flags, true, host);
    EXPECT_EQ((std::vector<unsigned>{0}), host.calls);  // nothing loaded
    std::string said = Said();
    EXPECT_NE(std::string::npos, said.find("CMainFrame Ignored OnHideMsg, HideAll is set\n"));
    EXPECT_NE(std::string::npos, said.find("CMainFrame: could not destroy old systray menu\n"));
    EXPECT_EQ(std::string::npos, said.find("loaded"));
}

TEST_F(FrameRulesTest, DefaultRectFollowsThePicture) {
    WindowRect none = DefaultWindowRect(1024, 768, PictureSource::None, 0, 0);
    EXPECT_EQ(102, none.x);
    EXPECT_EQ(76, none.y);
    EXPECT_EQ(440, none.width);
    EXPECT_EQ(250, none.height);
    WindowRect res = DefaultWindowRect(1024, 768, PictureSource::Resource, 225, 66);
    EXPECT_EQ(319, res.width);
    EXPECT_EQ(193, res.height);
    WindowRect file = DefaultWindowRect(1024, 768, PictureSource::File, 300, 100);
    EXPECT_EQ(314, file.width);
    EXPECT_EQ(177, file.height);
}

TEST_F(FrameRulesTest, StoredPositionWithinBoundsAndSizeOnlyEnlarges) {
    WindowRect r = DefaultWindowRect(1024, 768, PictureSource::Resource, 225, 66);
    ApplyStoredWindowRect(&r, 1024, 768);  // nothing stored: defaults, key created
    EXPECT_EQ(102, r.x);
    EXPECT_TRUE(registry_->KeyExists(RegRoot::CurrentUser, kSettings));

    StoreWindowRect({200, 150, 100, 400});
    ApplyStoredWindowRect(&r, 1024, 768);
    EXPECT_EQ(200, r.x);
    EXPECT_EQ(150, r.y);
    EXPECT_EQ(319, r.width);  // a smaller stored width does not shrink
    EXPECT_EQ(400, r.height);
}

TEST_F(FrameRulesTest, StoredValuesOutOfBoundsAreIgnored) {
    WindowRect def = DefaultWindowRect(1024, 768, PictureSource::None, 0, 0);
    WindowRect r = def;
    StoreWindowRect({5000, 150, 974, 718});  // x too far right; sizes at the bound
    ApplyStoredWindowRect(&r, 1024, 768);
    EXPECT_EQ(def.x, r.x);
    EXPECT_EQ(def.y, r.y);  // the position needs both
    EXPECT_EQ(440, r.width);
    EXPECT_EQ(250, r.height);

    r = def;
    StoreWindowRect({0, 150, 973, 717});  // x of 0 is not a position; sizes just inside
    ApplyStoredWindowRect(&r, 1024, 768);
    EXPECT_EQ(def.x, r.x);
    EXPECT_EQ(973, r.width);
    EXPECT_EQ(717, r.height);

    r = def;
    StoreWindowRect({-8, -8, 500, 300});  // left of the screen
    ApplyStoredWindowRect(&r, 1024, 768);
    EXPECT_EQ(def.x, r.x);
    EXPECT_EQ(def.y, r.y);
}

}  // namespace
}  // namespace corv
