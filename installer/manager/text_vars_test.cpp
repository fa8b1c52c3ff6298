#include "installer/manager/text_vars.h"

#include <gtest/gtest.h>

#include "installer/manager/action.h"
#include "installer/manager/version.h"

namespace corv::inst {
namespace {

TEST(VersionTest, FieldsCompareAsNumbers) {
    const struct {
        const char* a;
        const char* b;
        int order;  // sign of a against b
    } cases[] = {
        {"2.10", "2.9", 1}, {"2.1", "2.1.0", 0}, {"2.1.0-0042", "2.1.0.42", 0}, {"2.0", "2.1", -1},
        {"10", "9.99", 1},  {" 3.0 ", "3", 0},   {"1.2.3", "1.2.3.1", -1},      {"007", "7", 0},
    };
    for (const auto& c : cases) {
        int order = 99;
        ASSERT_TRUE(CompareVersions(c.a, c.b, &order)) << c.a << " " << c.b;
        EXPECT_EQ(c.order, order > 0 ? 1 : order < 0 ? -1 : 0) << c.a << " " << c.b;
    }
    int order = 0;
    for (const char* bad : {"", "2..1", "2.1b", ".2", "2.", "1234567890", "not set"})
        EXPECT_FALSE(CompareVersions(bad, "1", &order)) << bad;
}

TEST(ActionTest, NamesAndNumbers) {
    EXPECT_EQ("ERRORNOTAPPLICABLE (17)", ActionText(InstallAction::ERRORNOTAPPLICABLE));
    EXPECT_EQ("INSTALL (1)", ActionText(InstallAction::INSTALL));
    EXPECT_STREQ("NOTSET", ActionName(static_cast<InstallAction>(18)));
    EXPECT_STREQ("NOTSET", ActionName(static_cast<InstallAction>(-1)));
}

TEST(SubstituteTest, LongerNamesFirstCaseSensitiveAndOnce) {
    TextVariables v;
    v.company = "Velmora";
    v.product = "Corvane";
    v.productHead = "CORVANE";
    v.products = "Corvane Suite";
    v.oldVersion = "2.0";
    v.newVersion = "2.1";
    v.nutc = "NuTCRACKER";
    v.completed = "Completed";
    v.action = InstallAction::INSTALL;
    EXPECT_EQ("Installation of Corvane Suite by Velmora, Install Corvane",
              Substitute("$Installation of $Products by $Company, $Install $Product", v));
    EXPECT_EQ("CORVANE 2.0 -> 2.1 NuTCRACKER Completed install.log",
              Substitute("$ProductHead $oldversion -> $newversion $nutc $Completed $logfile", v));
    // Case matters; unknown names and a lone "$" stay.
    EXPECT_EQ("$INSTALL $product $Unknown $ 5$", Substitute("$INSTALL $product $Unknown $ 5$", v));
    // A value is not searched again.
    v.product = "$install";
    EXPECT_EQ("$install install", Substitute("$Product $install", v));
}

TEST(SubstituteTest, ActionWordsByAction) {
    const char text[] =
        "$logfile|$Installation|$installation|$Installing|$installing|"
        "$Installed|$installed|$Install|$install";
    const struct {
        InstallAction action;
        const char* expected;
    } cases[] = {
        {InstallAction::INSTALL,
         "install.log|Installation|installation|Installing|installing|Installed|installed|"
         "Install|install"},
        {InstallAction::MULTIINSTALL,
         "install.log|Installation|installation|Installing|installing|Installed|installed|"
         "Install|install"},
        {InstallAction::UPGRADE,
         "update.log|Update|update|Updating|updating|Updated|updated|Update|update"},
        {InstallAction::PATCH,
         "update.log|Update|update|Updating|updating|Updated|updated|Update|update"},
        {InstallAction::UNINSTALL,
         "uninstall.log|Uninstallation|uninstallation|Uninstalling|uninstalling|Uninstalled|"
         "uninstalled|Uninstall|uninstall"},
    };
    for (const auto& c : cases) {
        TextVariables v;
        v.action = c.action;
        EXPECT_EQ(c.expected, Substitute(text, v)) << ActionName(c.action);
    }
}

TEST(SubstituteTest, ComponentsText) {
    EXPECT_EQ("Docs component", ComponentsText({"Docs"}));
    EXPECT_EQ("Docs and Demos components", ComponentsText({"Docs", "Demos"}));
    EXPECT_EQ("A and B and C components", ComponentsText({"A", "B", "C"}));
}

}  // namespace
}  // namespace corv::inst
