#include "tray/settings/preferences.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/files.h"
#include "platform/memory_registry.h"
#include "tray/core/log_capture.h"

namespace corv {
namespace {

class PreferencesTest : public ::testing::Test {
  protected:
    RegKey Key(RegRoot root) {
        RegKey k;
        k.Create(root, kPreferencesKey);
        return k;
    }
    // An existing folder for the all-users Home.
    std::string ExistingFolder() { return ProgramPath(); }
    std::string Line(const CPreferences& p, const std::string& label) {
        for (const auto& l : p.DumpLines())
            if (l.compare(0, 4 + label.size(), "--- " + label) == 0) return l;
        return "";
    }
    ScopedMemoryRegistry registry_;
};

TEST_F(PreferencesTest, NoKeysKeepDefaultsAndSaveWritesNothing) {
    CPreferences p;
    p.Load();
    EXPECT_FALSE(p.IsInitialized());
    EXPECT_EQ(ProgramPath(), p.GetHome());
    EXPECT_EQ(1, p.GetLaunchAtStartup());
    EXPECT_TRUE(p.GetSyncMessenger());
    EXPECT_FALSE(p.GetSyncEconf());
    EXPECT_EQ(-1, p.GetHttpProxyPort());
    EXPECT_EQ("dynamic", p.GetSyncMode());
    EXPECT_EQ("corvane.proxyclient.ProxyClient", p.GetMainClass());
    EXPECT_EQ(std::string(kDefaultClassPath), p.GetClassPath());
    p.SetUserId("someone");
    p.Save();
    EXPECT_FALSE(registry_->KeyExists(RegRoot::CurrentUser, kPreferencesKey));
}

TEST_F(PreferencesTest, HomeLosesTrailingBackslashesButARootKeepsItsOwn) {
    struct {
        const char* stored;
        const char* home;
    } cases[] = {
        {"C:\\Corvane\\", "C:\\Corvane"},
        {" C:\\Corvane\\\\ ", "C:\\Corvane"},
        {"C:\\", "C:\\"},
        {" D:\\\\\\ ", "D:\\"},
        {"C:", "C:"},
        {"\\\\server\\share\\", "\\\\server\\share"},
        {"\\", ""},
    };
    for (const auto& c : cases) {
        Key(RegRoot::CurrentUser).SetString("Home", c.stored);
        CPreferences p;
        p.Load();
        EXPECT_EQ(c.home, p.GetHome()) << c.stored;
    }
}

TEST_F(PreferencesTest, PerUserInstallIgnoresAllUsersValues) {
    {
        RegKey m = Key(RegRoot::LocalMachine);
        m.SetString("Home", "C:\\No\\Such\\Folder");
        m.SetString("UserId", "machine-user");
        m.SetDword("UseSip", 1);
        RegKey u = Key(RegRoot::CurrentUser);
        u.SetString("Home", "  C:\\Corvane\\\\ ");
        u.SetString("SyncMessenger", "yes");
    }
    CPreferences p;
    p.Load();
    EXPECT_TRUE(p.IsInitialized());
    EXPECT_FALSE(p.InstalledForAllUsers());
    EXPECT_EQ("C:\\Corvane", p.GetHome());
    EXPECT_EQ("", p.GetUserId());
    EXPECT_EQ(0, p.GetUseSip());
    EXPECT_FALSE(p.GetSyncMessenger());  // "yes" is not "1"
    EXPECT_EQ("--- SyncMessenger         = yes\n", Line(p, "SyncMessenger"));
    EXPECT_EQ(RegRoot::CurrentUser, p.GetRegistryRoot());
}

TEST_F(PreferencesTest, AllUsersInstallMergesWithPerUserWinning) {
    {
        RegKey m = Key(RegRoot::LocalMachine);
        m.SetString("Home", ExistingFolder() + "\\");
        m.SetString("externalSipAddress", "sip.example");
        m.SetString("proxyServerAddresses", "a;b");
        m.SetString("proxyServerPort", "443");
        m.SetString("UserId", "machine-user");
        m.SetString("Passwd", "machine-pw");
        m.SetDword("UseSip", 1);
        m.SetDword("HideAll", 1);
        m.SetString("Url", "http://localhost/m");
        RegKey u = Key(RegRoot::CurrentUser);
        u.SetString("Home", "C:\\Ignored");
        u.SetString("externalSipAddress", "ignored");
        u.SetString("proxyServerAddresses", "c");
        u.SetString("UserId", "");  // present but empty: falls back
        u.SetString("Passwd", " pw ");
        u.SetDword("HideAll", 0);
        u.SetString("Url", "  http://localhost/u  ");
    }
    CPreferences p;
    p.SetIsAdministrator(false);
    p.Load();
    EXPECT_TRUE(p.InstalledForAllUsers());
    EXPECT_EQ(ExistingFolder(), p.GetHome());
    EXPECT_EQ("sip.example", p.GetExternalSipAddress());
    EXPECT_EQ("c", p.GetProxyServerAddresses());
    EXPECT_EQ("443", p.GetProxyServerPort());
    EXPECT_EQ("machine-user", p.GetUserId());
    EXPECT_EQ(" pw ", p.GetPasswd());  // taken exactly as stored
    EXPECT_EQ(1, p.GetUseSip());
    EXPECT_EQ(0, p.GetHideAll());
    EXPECT_EQ("http://localhost/u", p.GetUrl());
    // Non-administrator: values from both keys, but writes go to the user.
    EXPECT_EQ(RegRoot::CurrentUser, p.GetRegistryRoot());
    EXPECT_EQ("--- Installed for         = AllUsers\n", Line(p, "Installed for"));
    EXPECT_EQ("--- Registry root         = HKEY_CURRENT_USER\n", Line(p, "Registry root"));
    p.SetIsAdministrator(true);
    EXPECT_STREQ("HKEY_LOCAL_MACHINE", p.GetRegistryRootName());
}

TEST_F(PreferencesTest, WrongTypesAndOverlongStringsKeepDefaults) {
    {
        RegKey u = Key(RegRoot::CurrentUser);
        u.SetDword("SyncEconf", 1);           // a number where a string belongs
        u.SetString("LaunchAtStartup", "0");  // a string where a number belongs
        u.SetString("ProxyScript", std::string(2048, 'p'));
        u.SetString("HttpProxyAddress", std::string(2047, 'h'));
        u.SetBinary("UseProxy", {1, 0, 0, 0});
    }
    CPreferences p;
    p.Load();
    EXPECT_FALSE(p.GetSyncEconf());
    EXPECT_EQ(1, p.GetLaunchAtStartup());
    EXPECT_EQ("", p.GetProxyScript());
    EXPECT_EQ(2047u, p.GetHttpProxyAddress().size());
    EXPECT_EQ(0, p.GetUseProxy());
}

TEST_F(PreferencesTest, SaveWritesOnlyAfterMarkingChangesAndOnlyEditableValues) {
    Key(RegRoot::CurrentUser).SetString("Home", "C:\\Corvane");
    CPreferences p;
    p.Load();
    p.SetSyncXLite(true);
    p.SetDoNotSync(true);
    p.SetSyncMode("fixed");
    p.SetHideGUI(1);
    p.Save();
    EXPECT_EQ(1u, Key(RegRoot::CurrentUser).Values().size());  // only Home

    p.SetUserId("bob");
    p.SetHttpProxyPort(8080);
    p.Save();
    RegKey u = Key(RegRoot::CurrentUser);
    std::string s;
    uint32_t n = 0;
    EXPECT_EQ(kOk, u.QueryString("UserId", &s));
    EXPECT_EQ("bob", s);
    EXPECT_EQ(kOk, u.QueryDword("HttpProxyPort", &n));
    EXPECT_EQ(8080u, n);
    EXPECT_EQ(kOk, u.QueryString("SyncXLite", &s));
    EXPECT_EQ("1", s);
    EXPECT_EQ(kErrFileNotFound, u.QueryString("Passwd", &s));  // empty: not written
    EXPECT_EQ(kErrFileNotFound, u.QueryString("SyncMode", &s));
    EXPECT_EQ(kErrFileNotFound, u.QueryDword("HideGUI", &n));
    EXPECT_TRUE(p.IsModified());
}

TEST_F(PreferencesTest, CopyNormalisesSyncFlagsAndDumpMasksCredentials) {
    Key(RegRoot::CurrentUser).SetString("SyncMsnMessenger", "on");
    Key(RegRoot::CurrentUser).SetString("Passwd", "digest");
    Key(RegRoot::CurrentUser).SetString("ProxyAuth", "user:secret");
    CPreferences p;
    p.Load();
    EXPECT_EQ("on", p.SyncMsnMessengerText());
    CPreferences copy(p);
    EXPECT_EQ("0", copy.SyncMsnMessengerText());
    EXPECT_EQ("digest", copy.GetPasswd());
    EXPECT_EQ("--- Passwd                = ********\n", Line(p, "Passwd"));
    EXPECT_EQ("--- ProxyAuth             = ********\n", Line(p, "ProxyAuth"));
    auto lines = p.DumpLines();
    ASSERT_EQ(37u, lines.size());
    EXPECT_EQ("Preferences:\n", lines[0]);
    EXPECT_EQ("--- AllowRunInBackground  = 1\n", lines[6]);
    EXPECT_EQ("--- AlwaysTunnelMedia     = 0\n", lines.back());
}

TEST_F(PreferencesTest, TheDumpShowsEachValueOnItsOwnLine) {
    Key(RegRoot::CurrentUser).SetString("UserId", "bob\n[2026-1-1 00:00:00,000]  FAKE\x1b\x07");
    ScopedLogCapture log;
    CPreferences p;
    p.Load();
    EXPECT_TRUE(
        log.Has("--- UserId                = bob\\n[2026-1-1 00:00:00,000]  FAKE"
                "\\x1b\\x07\n--- Passwd "))
        << log.Text();
    EXPECT_TRUE(log.Has("Preferences:\n--- IsInitialized         = 1\n"));
}

TEST_F(PreferencesTest, ReloadsAndSingleValueWriters) {
    Key(RegRoot::CurrentUser).SetString("Home", "C:\\Corvane");
    CPreferences p;
    p.Load();
    {
        RegKey u = Key(RegRoot::CurrentUser);
        u.SetString("SyncEconf", "1");
        u.SetString("DoNotSync", "1");
        u.SetDword("UseSip", 1);
        u.SetString("UserId", "new");
    }
    p.ReloadSyncSettings();
    EXPECT_TRUE(p.GetSyncEconf());
    EXPECT_TRUE(p.GetDoNotSync());
    EXPECT_EQ(1, p.GetUseSip());
    EXPECT_EQ("", p.GetUserId());
    p.ReloadAccount();
    EXPECT_EQ("new", p.GetUserId());

    p.SetLocalIpAddress("127.0.0.5");
    p.WriteLocalIpAddress();
    p.SetSyncMode("fixed");
    p.WriteSyncMode();
    std::string s;
    EXPECT_EQ(kOk, Key(RegRoot::CurrentUser).QueryString("LocalIpAddress", &s));
    EXPECT_EQ("127.0.0.5", s);
    // The all-users writer does nothing when that key is missing.
    p.SetExternalSipAddress("x");
    p.WriteExternalSipAddress();
    EXPECT_FALSE(registry_->KeyExists(RegRoot::LocalMachine, kPreferencesKey));
}

// Gives every row a value unlike its default and unlike the other rows' values.
void SetDistinct(CPreferences* p, const PrefRow& row) {
    int i = static_cast<int>(row.id);
    if (row.kind == PrefKind::Number)
        p->SetNumber(row.id, 100 + i);
    else if (row.kind == PrefKind::Flag)
        p->SetFlag(row.id, std::string(row.textDefault) != "1");
    else
        p->SetText(row.id, "value" + std::to_string(i));
}

bool SameValue(const CPreferences& a, const CPreferences& b, const PrefRow& row) {
    return row.kind == PrefKind::Number ? a.Number(row.id) == b.Number(row.id)
                                        : a.Text(row.id) == b.Text(row.id);
}

TEST_F(PreferencesTest, EveryRowSurvivesCopySaveAndLoad) {
    Key(RegRoot::LocalMachine).SetString("Home", ExistingFolder());
    CPreferences p;
    p.SetIsAdministrator(false);  // Save writes the user's key, Load merges both
    p.Load();
    ASSERT_TRUE(p.InstalledForAllUsers());
    for (const PrefRow& row : PrefRows())
        if (row.scope != PrefScope::Install) SetDistinct(&p, row);
    ASSERT_TRUE(p.IsModified());

    CPreferences copy(p);
    for (const PrefRow& row : PrefRows()) {
        EXPECT_TRUE(SameValue(p, copy, row)) << row.name;
    }

    // Saved rows go through Save; the installer's rows are written as the installer would.
    p.Save();
    RegKey machine = Key(RegRoot::LocalMachine);
    for (const PrefRow& row : PrefRows()) {
        if ((row.flags & kPrefSaved) || row.scope == PrefScope::RunTime) continue;
        if (row.kind == PrefKind::Number)
            machine.SetDword(row.name, static_cast<uint32_t>(p.Number(row.id)));
        else if (row.scope != PrefScope::Install)
            machine.SetString(row.name, p.Text(row.id));
    }
    CPreferences loaded;
    loaded.SetIsAdministrator(false);
    loaded.Load();
    for (const PrefRow& row : PrefRows()) {
        if (row.scope == PrefScope::RunTime) continue;
        EXPECT_TRUE(SameValue(p, loaded, row)) << row.name;
    }
}

TEST_F(PreferencesTest, RowsShareNoMemberNameOrDumpLine) {
    const auto& rows = PrefRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const PrefRow& a = rows[i];
        EXPECT_TRUE(a.kind == PrefKind::Number ? a.number && !a.text : a.text && !a.number)
            << a.name;
        for (size_t j = i + 1; j < rows.size(); ++j) {
            const PrefRow& b = rows[j];
            EXPECT_STRNE(a.name, b.name);
            EXPECT_FALSE(a.text && a.text == b.text) << a.name << " " << b.name;
            EXPECT_FALSE(a.number && a.number == b.number) << a.name << " " << b.name;
            EXPECT_FALSE(a.dumpLine && a.dumpLine == b.dumpLine) << a.name << " " << b.name;
        }
    }
    for (const auto& line : CPreferences().DumpLines()) EXPECT_FALSE(line.empty());
}

// Changing one value at a time: only the group's members differ, text compared as the group says.
TEST_F(PreferencesTest, GroupComparisons) {
    using I = PrefId;
    struct Case {
        PrefGroup group;
        bool noCase;
        std::set<PrefId> members;
    } cases[] = {
        {PrefGroup::Restart,
         true,
         {I::UserId, I::Passwd, I::UseProxy, I::HttpProxyAddress, I::HttpProxyPort,
          I::HttpsProxyAddress, I::HttpsProxyPort, I::ProxyScript, I::AutoDetection, I::NoProxy,
          I::ExternalSipAddress, I::AlwaysTunnelMedia, I::ProxyAuth, I::UseProxyScript}},
        {PrefGroup::Account, false, {I::UserId, I::Passwd}},
        {PrefGroup::ClientChoice,
         false,
         {I::SyncMessenger, I::SyncMsnMessenger, I::SyncEconf, I::SyncXLite, I::DoNotSync}},
        {PrefGroup::ClientReload,
         false,
         {I::SyncMessenger, I::SyncMsnMessenger, I::SyncEconf, I::SyncXLite, I::DoNotSync,
          I::UseSip}},
        {PrefGroup::AddressMode,
         true,
         {I::SyncMode, I::LocalIpAddress, I::FixedSipPort, I::FixedSocksPort}},
        {PrefGroup::HideFlags, false, {I::HideBalloons, I::HideGUI, I::HideAll}},
    };
    CPreferences base;
    for (const PrefRow& row : PrefRows())
        if (row.kind == PrefKind::Text) base.SetText(row.id, "abc");
    for (const Case& c : cases) {
        EXPECT_EQ(c.noCase, ComparisonOf(c.group) == PrefComparison::NoCase);
        for (const PrefRow& row : PrefRows()) {
            bool member = c.members.count(row.id) > 0;
            CPreferences changed(base);
            SetDistinct(&changed, row);
            EXPECT_EQ(member, DiffersIn(c.group, base, changed)) << row.name;
            if (row.kind != PrefKind::Text) continue;
            CPreferences cased(base);
            cased.SetText(row.id, "ABC");
            EXPECT_EQ(member && !c.noCase, DiffersIn(c.group, base, cased)) << row.name;
        }
    }
}

}  // namespace
}  // namespace corv
