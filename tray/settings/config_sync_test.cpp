#include "tray/settings/config_sync.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "platform/prompt.h"
#include "tray/core/log_capture.h"
#include "tray/core/status_text.h"
#include "tray/settings/java_prefs.h"
#include "tray/settings/preferences.h"

namespace corv {
namespace {

const std::string kTunnel = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel";
const std::string kSip = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Sip";
const std::string kSocks = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Socks";

class JavaPrefsSyncTest : public ::testing::Test {
  protected:
    void SetUp() override {
        prefs_.SetIsAdministrator(false);
        prefs_.SetInstalledForAllUsers(false);
        sync_.SetStatusTextSetter([this](const std::string& t) { statusTexts_.push_back(t); });
    }

    // A stored value by its stored name; "<missing>" when absent or not a string.
    std::string Stored(RegRoot root, const std::string& path, const std::string& name) {
        RegKey key;
        std::string v = "<missing>";
        if (key.Open(root, path) == kOk) key.QueryString(name, &v);
        return v;
    }
    std::string Stored(const std::string& path, const std::string& name) {
        return Stored(RegRoot::CurrentUser, path, name);
    }
    void Put(RegRoot root, const std::string& path, const std::string& name,
             const std::string& value) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(root, path));
        ASSERT_EQ(kOk, key.SetString(name, value));
    }
    void PutDword(RegRoot root, const std::string& path, const std::string& name, uint32_t v) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(root, path));
        ASSERT_EQ(kOk, key.SetDword(name, v));
    }

    ScopedMemoryRegistry registry_;
    CPreferences prefs_;
    CJavaPrefsSync sync_;
    std::vector<std::string> statusTexts_;
};

TEST(ProxyListsEquivalentTest, OnlyThePresenceOfTheNewEntriesCounts) {
    EXPECT_TRUE(ProxyListsEquivalent("t1.example,t2.example", "T2.EXAMPLE,t3.example,t1.Example"));
    EXPECT_FALSE(ProxyListsEquivalent("t1.example,t4.example", "t1.example,t2.example"));
    EXPECT_TRUE(ProxyListsEquivalent(",,t1,,", "t1"));
    EXPECT_FALSE(ProxyListsEquivalent(" t1", "t1"));  // pieces are not trimmed
    EXPECT_TRUE(ProxyListsEquivalent("t1,t1", "t1"));
    EXPECT_FALSE(ProxyListsEquivalent("t1", ",,,"));
}

TEST_F(JavaPrefsSyncTest, SipSyncWritesTheAddressAndTheMediaFlag) {
    prefs_.SetExternalSipAddress("Ab1");
    prefs_.SetAlwaysTunnelMedia(true);
    sync_.syncSip(prefs_);
    EXPECT_EQ("/Ab1", Stored(kSip, "external/Sip/Address"));
    EXPECT_EQ("true", Stored(kSip, "always/Tunnel/Media"));

    prefs_.SetExternalSipAddress("");
    prefs_.SetAlwaysTunnelMedia(false);
    sync_.syncSip(prefs_);
    EXPECT_EQ("", Stored(kSip, "external/Sip/Address"));
    EXPECT_EQ("<missing>", Stored(kSip, "always/Tunnel/Media"));
    EXPECT_EQ("<missing>", Stored(RegRoot::LocalMachine, kPreferencesKey, "externalSipAddress"));
}

TEST_F(JavaPrefsSyncTest, SipSyncOfAnAllUsersAdministratorAlsoWritesTheMachinePreferences) {
    Put(RegRoot::LocalMachine, kPreferencesKey, "Home", "C:\\Corvane");
    prefs_.SetInstalledForAllUsers(true);
    prefs_.SetExternalSipAddress("sip.example");
    sync_.syncSip(prefs_);
    EXPECT_EQ("<missing>", Stored(RegRoot::LocalMachine, kPreferencesKey, "externalSipAddress"));
    prefs_.SetIsAdministrator(true);
    sync_.syncSip(prefs_);
    EXPECT_EQ("sip.example", Stored(RegRoot::LocalMachine, kPreferencesKey, "externalSipAddress"));
}

TEST_F(JavaPrefsSyncTest, SipSyncWithoutAWritableNodeStillReachesTheMachinePreferences) {
    Put(RegRoot::LocalMachine, kPreferencesKey, "Home", "C:\\Corvane");
    registry_->DenyAccess(RegRoot::CurrentUser, kSip);
    prefs_.SetInstalledForAllUsers(true);
    prefs_.SetIsAdministrator(true);
    prefs_.SetExternalSipAddress("sip.example");
    sync_.syncSip(prefs_);
    EXPECT_EQ("sip.example", Stored(RegRoot::LocalMachine, kPreferencesKey, "externalSipAddress"));
}

TEST_F(JavaPrefsSyncTest, CommonSettingsSkipEquivalentListsAndWriteNewOnes) {
    prefs_.SetProxyServerAddresses("T1.example,t2.example");
    Put(RegRoot::CurrentUser, kTunnel, "proxy/Server/Addresses",
        EncodeJavaPrefsName("t2.example,t3.example,T1.EXAMPLE"));
    {
        ScopedLogCapture log;
        sync_.syncAllUsersCommonSettings(prefs_);
        EXPECT_EQ(
            "syncAllUsersCommonSettings\n"
            "javakey.QueryStringValue(proxy/Server/Addresses, ...)\n"
            "ignoring sync of proxyServerAddresses from HKLM to HKCU JavaSoft, Equivalent lists: "
            "\nnew T1.example,t2.example\nold t2.example,t3.example,T1.EXAMPLE\n",
            log.Text());
    }
    EXPECT_EQ("t2.example,t3.example,/T1./E/X/A/M/P/L/E",
              Stored(kTunnel, "proxy/Server/Addresses"));

    prefs_.SetProxyServerAddresses("t1.example,t4.example");
    prefs_.SetExternalSipAddress("sip.example");
    ScopedLogCapture log;
    sync_.syncAllUsersCommonSettings(prefs_);
    EXPECT_EQ(
        "syncAllUsersCommonSettings\n"
        "javakey.SetStringValue(external/Sip/Address, sip.example)\n"
        "javakey.QueryStringValue(proxy/Server/Addresses, ...)\n"
        "javakey.SetStringValue(proxy/Server/Addresses, t1.example,t4.example)\n"
        "syncing proxyServerAddresses from HKLM to HKCU JavaSoft: \nnew t1.example,t4.example"
        "\nold t2.example,t3.example,T1.EXAMPLE\n",
        log.Text());
    EXPECT_EQ("t1.example,t4.example", Stored(kTunnel, "proxy/Server/Addresses"));
    EXPECT_EQ("sip.example", Stored(kSip, "external/Sip/Address"));
}

TEST_F(JavaPrefsSyncTest, CommonSettingsStopEarlyWithTheirReasons) {
    {
        ScopedLogCapture log;
        sync_.syncAllUsersCommonSettings(prefs_);
        EXPECT_EQ(
            "syncAllUsersCommonSettings\n"
            "not syncing proxyServerAddresses, addr and port are empty\n",
            log.Text());
    }
    prefs_.SetProxyServerPort("443");
    {
        ScopedLogCapture log;
        sync_.syncAllUsersCommonSettings(prefs_);
        EXPECT_EQ(
            "syncAllUsersCommonSettings\n"
            "not syncing proxyServerAddresses, addr is empty\n",
            log.Text());
    }
    registry_->DenyAccess(RegRoot::CurrentUser, kTunnel);
    ScopedLogCapture log;
    sync_.syncAllUsersCommonSettings(prefs_);
    EXPECT_EQ(
        "syncAllUsersCommonSettings\n"
        "not syncing proxyServerAddresses, could not open/create "
        "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel\n",
        log.Text());
}

TEST_F(JavaPrefsSyncTest, UserSyncWritesTheAccountUnencoded) {
    prefs_.SetUserId("Alice");
    prefs_.SetPasswd("Q2xlYXI=");
    EXPECT_TRUE(sync_.syncUser(prefs_));
    const std::string user = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/User";
    EXPECT_EQ("Alice", Stored(user, "user/Id"));
    EXPECT_EQ("Q2xlYXI=", Stored(user, "hashed/Password"));
    EXPECT_TRUE(statusTexts_.empty());

    registry_->DenyAccess(RegRoot::CurrentUser, user);
    EXPECT_FALSE(sync_.syncUser(prefs_));
    EXPECT_EQ(std::vector<std::string>{"Disabled: could not set user parameters"}, statusTexts_);

    // Without a setter of its own the text goes to the shared status buffer.
    SetStatusText("");
    CJavaPrefsSync plain;
    EXPECT_FALSE(plain.syncUser(prefs_));
    EXPECT_EQ("Disabled: could not set user parameters", GetStatusText());
}

TEST_F(JavaPrefsSyncTest, InternetSettingsRootIsTheMachineOnlyWhenItConfiguresSomething) {
    EXPECT_EQ(RegRoot::CurrentUser, ChooseInternetSettingsRoot());
    Put(RegRoot::LocalMachine, kInternetSettingsKey, "ProxyServer", "proxy:8080");
    EXPECT_EQ(RegRoot::CurrentUser, ChooseInternetSettingsRoot());
    Put(RegRoot::LocalMachine, kInternetSettingsKey, "ProxyEnable", "1");  // not a DWORD
    EXPECT_EQ(RegRoot::CurrentUser, ChooseInternetSettingsRoot());
    PutDword(RegRoot::LocalMachine, kInternetSettingsKey, "ProxyEnable", 0);
    EXPECT_EQ(RegRoot::LocalMachine, ChooseInternetSettingsRoot());
    Put(RegRoot::LocalMachine, kInternetSettingsKey, "ProxyServer", "");
    EXPECT_EQ(RegRoot::CurrentUser, ChooseInternetSettingsRoot());
    Put(RegRoot::LocalMachine, kInternetSettingsKey, "AutoConfigURL", std::string(259, 'u'));
    EXPECT_EQ(RegRoot::LocalMachine, ChooseInternetSettingsRoot());
    Put(RegRoot::LocalMachine, kInternetSettingsKey, "AutoConfigURL", std::string(260, 'u'));
    EXPECT_EQ(RegRoot::CurrentUser, ChooseInternetSettingsRoot());
}

TEST_F(JavaPrefsSyncTest, AutoDetectionCopiesTheSystemSettings) {
    Put(RegRoot::CurrentUser, kInternetSettingsKey, "AutoConfigURL",
        "http://wpad.example:8081/Proxy.pac");
    PutDword(RegRoot::CurrentUser, kInternetSettingsKey, "ProxyEnable", 1);
    Put(RegRoot::CurrentUser, kInternetSettingsKey, "ProxyServer",
        "http=Web.example:3128;https=secure.example:70000;ftp=files:21");
    prefs_.SetAutoDetection(1);
    prefs_.SetProxyAuth("Basic dXNlcjpwYXNz");

    ScopedLogCapture log;
    EXPECT_TRUE(sync_.syncHttpProxy(prefs_));
    std::string text = log.Text();
    EXPECT_NE(
        std::string::npos,
        text.find("proxyList:     http=Web.example:3128;https=secure.example:70000;ftp=files:21\n"
                  "m_httpProxyAddr:      Web.example\n"
                  "m_httpProxyPort:      3128\n"
                  "m_httpsProxyAddr:     secure.example\n"
                  "m_httpsProxyPort:     443\n"));
    EXPECT_NE(std::string::npos, text.find("syncHttpProxy, proxyAuth: ********\n"));
    EXPECT_EQ(std::string::npos, text.find("dXNlcjpwYXNz"));

    EXPECT_EQ("http:\\\\wpad.example:8081\\/Proxy.pac", Stored(kTunnel, "proxy/Configuration/Url"));
    EXPECT_EQ("/Web.example", Stored(kTunnel, "http/Proxy/Address"));
    EXPECT_EQ("3128", Stored(kTunnel, "http/Proxy/Port"));
    EXPECT_EQ("secure.example", Stored(kTunnel, "https/Proxy/Address"));
    EXPECT_EQ("443", Stored(kTunnel, "https/Proxy/Port"));
    EXPECT_EQ(EncodeJavaPrefsName("Basic dXNlcjpwYXNz"), Stored(kTunnel, "proxy/Auth"));

    const ProxyHints& h = sync_.Hints();
    EXPECT_EQ("wpad.example", h.m_configScriptAddr);
    EXPECT_EQ("8081", h.m_configScriptPort);
    EXPECT_EQ("Web.example", h.m_httpProxyAddr);
    EXPECT_EQ("secure.example", h.m_httpsProxyAddr);
}

TEST_F(JavaPrefsSyncTest, AutoDetectionWithTheProxyOffLeavesNoProxyValues) {
    Put(RegRoot::CurrentUser, kTunnel, "http/Proxy/Address", "old");
    Put(RegRoot::CurrentUser, kTunnel, "https/Proxy/Port", "1");
    Put(RegRoot::CurrentUser, kTunnel, "proxy/Auth", "old");
    Put(RegRoot::CurrentUser, kTunnel, "proxy/Server/Addresses", "kept");
    PutDword(RegRoot::CurrentUser, kInternetSettingsKey, "ProxyEnable", 0);
    Put(RegRoot::CurrentUser, kInternetSettingsKey, "ProxyServer", "proxy:8080");
    prefs_.SetAutoDetection(1);
    prefs_.SetProxyAuth("secret");

    ScopedLogCapture log;
    EXPECT_TRUE(sync_.syncHttpProxy(prefs_));
    EXPECT_EQ(std::string::npos, log.Text().find("proxyAuth"));  // nothing configured
    RegKey tunnel;
    ASSERT_EQ(kOk, tunnel.Open(RegRoot::CurrentUser, kTunnel));
    auto values = tunnel.Values();
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ("proxy/Server/Addresses", values[0].name);
    EXPECT_EQ("", sync_.Hints().m_httpProxyAddr);
}

TEST_F(JavaPrefsSyncTest, AutoDetectionFollowsTheMachineSettingsWhenTheyConfigureAProxy) {
    PutDword(RegRoot::LocalMachine, kInternetSettingsKey, "ProxyEnable", 1);
    Put(RegRoot::LocalMachine, kInternetSettingsKey, "ProxyServer", "machine:81");
    PutDword(RegRoot::CurrentUser, kInternetSettingsKey, "ProxyEnable", 1);
    Put(RegRoot::CurrentUser, kInternetSettingsKey, "ProxyServer", "user:82");
    prefs_.SetAutoDetection(1);
    EXPECT_TRUE(sync_.syncHttpProxy(prefs_));
    EXPECT_EQ("machine", Stored(kTunnel, "http/Proxy/Address"));
    EXPECT_EQ("81", Stored(kTunnel, "http/Proxy/Port"));
    EXPECT_EQ("<missing>", Stored(kTunnel, "https/Proxy/Address"));
}

TEST_F(JavaPrefsSyncTest, AutoDetectionWithoutInternetSettingsReportsIt) {
    prefs_.SetAutoDetection(1);
    EXPECT_FALSE(sync_.syncHttpProxy(prefs_));
    EXPECT_EQ(std::vector<std::string>{"Could not read default internet settings"}, statusTexts_);
    EXPECT_EQ("Could not read default internet settings", sync_.LastStatusText());
}

TEST_F(JavaPrefsSyncTest, ManualChoicesWriteWhatTheyName) {
    prefs_.SetAutoDetection(0);
    prefs_.SetUseProxyScript(1);
    prefs_.SetProxyScript("https://pac.example/p.pac");
    EXPECT_TRUE(sync_.syncHttpProxy(prefs_));
    EXPECT_EQ("https:\\\\pac.example\\p.pac", Stored(kTunnel, "proxy/Configuration/Url"));
    EXPECT_EQ("pac.example", sync_.Hints().m_configScriptAddr);
    EXPECT_EQ("443", sync_.Hints().m_configScriptPort);

    prefs_.SetUseProxyScript(0);
    prefs_.SetUseProxy(1);
    prefs_.SetHttpProxyAddress("web");
    prefs_.SetHttpProxyPort(0);
    prefs_.SetHttpsProxyAddress("");
    prefs_.SetHttpsProxyPort(8443);
    EXPECT_TRUE(sync_.syncHttpProxy(prefs_));
    EXPECT_EQ("<missing>", Stored(kTunnel, "proxy/Configuration/Url"));
    EXPECT_EQ("web", Stored(kTunnel, "http/Proxy/Address"));
    EXPECT_EQ("<missing>", Stored(kTunnel, "http/Proxy/Port"));
    EXPECT_EQ("<missing>", Stored(kTunnel, "https/Proxy/Address"));
    EXPECT_EQ("8443", Stored(kTunnel, "https/Proxy/Port"));
    EXPECT_EQ("web", sync_.Hints().m_httpProxyAddr);
    EXPECT_EQ("", sync_.Hints().m_httpProxyPort);
    EXPECT_EQ("8443", sync_.Hints().m_httpsProxyPort);
    EXPECT_EQ("", sync_.Hints().m_configScriptAddr);

    // No proxy wins over the later choices.
    prefs_.SetNoProxy(1);
    EXPECT_TRUE(sync_.syncHttpProxy(prefs_));
    EXPECT_EQ("<missing>", Stored(kTunnel, "http/Proxy/Address"));
    EXPECT_EQ("", sync_.Hints().m_httpProxyAddr);
}

TEST_F(JavaPrefsSyncTest, HttpProxySyncWithoutTheTunnelNodeIsDisabled) {
    registry_->DenyAccess(RegRoot::CurrentUser, kTunnel);
    EXPECT_FALSE(sync_.syncHttpProxy(prefs_));
    EXPECT_EQ(std::vector<std::string>{"Disabled: could not set http proxy parameters"},
              statusTexts_);
}

TEST_F(JavaPrefsSyncTest, DynamicPortsResetExistingNodesOnly) {
    Put(RegRoot::CurrentUser, kPreferencesKey, "LocalIpAddress", "10.0.0.7");
    Put(RegRoot::CurrentUser, kSip, "udp/Port", "5070");
    prefs_.SetSyncMode("Dynamic");
    sync_.SyncLocalPorts(prefs_);
    EXPECT_EQ("Dynamic", Stored(kPreferencesKey, "SyncMode"));
    EXPECT_EQ("<missing>", Stored(kPreferencesKey, "LocalIpAddress"));
    EXPECT_EQ("0", Stored(kSip, "udp/Port"));
    EXPECT_EQ("0", Stored(kSip, "tcp/Port"));
    EXPECT_FALSE(registry_->KeyExists(RegRoot::CurrentUser, kSocks));
}

TEST_F(JavaPrefsSyncTest, FixedPortsAreWrittenAndOutOfRangePortsBecomeZero) {
    Put(RegRoot::CurrentUser, kPreferencesKey, "SyncMode", "dynamic");
    prefs_.SetSyncMode("fixed");
    prefs_.SetLocalIpAddress("10.0.0.7");
    prefs_.SetFixedSipPort(5070);
    prefs_.SetFixedSocksPort(1081);
    sync_.SyncLocalPorts(prefs_);
    EXPECT_EQ("fixed", Stored(kPreferencesKey, "SyncMode"));
    EXPECT_EQ("10.0.0.7", Stored(kPreferencesKey, "LocalIpAddress"));
    EXPECT_EQ("5070", Stored(kSip, "udp/Port"));
    EXPECT_EQ("5070", Stored(kSip, "tcp/Port"));
    EXPECT_EQ("1081", Stored(kSocks, "socks/Port"));

    prefs_.SetFixedSipPort(-1);
    prefs_.SetFixedSocksPort(65536);
    sync_.SyncLocalPorts(prefs_);
    EXPECT_EQ("0", Stored(kSip, "udp/Port"));
    EXPECT_EQ("0", Stored(kSocks, "socks/Port"));
}

TEST_F(JavaPrefsSyncTest, WriteCheckRepairsRefusedKeysAndListsTheRest) {
    const std::string oam = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Oa/M";
    Put(RegRoot::CurrentUser, "Software\\Velmora\\Corvane\\Settings", "x", "1");
    Put(RegRoot::CurrentUser, oam, "x", "1");
    registry_->DenyAccess(RegRoot::CurrentUser, "Software\\Velmora\\Corvane\\Settings", kRegWrite);
    registry_->DenyAccess(RegRoot::CurrentUser, oam, kRegWrite);

    std::vector<std::string> asked;
    ScopedScriptedPrompter prompter;
    ::testing::internal::CaptureStdout();
    auto listed = sync_.CheckRegistryWriteAccess("Windows XP", [&](const std::string& path) {
        asked.push_back(path);
        return path == oam;  // this one is repaired
    });
    std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ((std::vector<std::string>{"Software\\Velmora\\Corvane\\Settings", oam}), asked);
    EXPECT_EQ(std::vector<std::string>{"Software\\Velmora\\Corvane\\Settings"}, listed);
    const std::string text =
        "You do not have permissions for writing to the Windows Registry!\n\nPlease contact your "
        "system administrator to give you appropriate access.\n\nLocation: HKEY_CURRENT_USER\n"
        "Paths:\nSoftware\\Velmora\\Corvane\\Settings\n";
    EXPECT_EQ(std::vector<std::string>{text}, prompter.Texts());
    EXPECT_EQ("\n" + text + "\n", out);
}

TEST_F(JavaPrefsSyncTest, WriteCheckWithoutRepairListsEveryRefusedKeyAndSkipsWindows9x) {
    const std::string user = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/User";
    Put(RegRoot::CurrentUser, user, "x", "1");
    registry_->DenyAccess(RegRoot::CurrentUser, user, kRegWrite);
    registry_->DenyAccess(RegRoot::CurrentUser, "Software\\Velmora", kRegReadWrite);

    ScopedScriptedPrompter prompter;
    EXPECT_TRUE(sync_.CheckRegistryWriteAccess("windows me", NoPermissionRepair).empty());
    EXPECT_TRUE(prompter.Texts().empty());

    ::testing::internal::CaptureStdout();
    auto listed = sync_.CheckRegistryWriteAccess("Windows 2000", NoPermissionRepair);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ((std::vector<std::string>{"Software\\Velmora", user}), listed);
    EXPECT_EQ(1u, prompter.Texts().size());
}

}  // namespace
}  // namespace corv

namespace corv {
namespace {

// The same operations against the process's registry: the real one under Wine.
class JavaPrefsSyncSystemRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Cleanup();
        prefs_.SetIsAdministrator(false);
        prefs_.SetInstalledForAllUsers(false);
    }
    void TearDown() override { Cleanup(); }
    static void Cleanup() {
        RegKey software;
        if (software.Open(RegRoot::CurrentUser, "Software", kRegReadWrite) != kOk) return;
        software.DeleteTree("JavaSoft\\Prefs\\corvane");
        software.DeleteTree("Velmora");
    }
    static std::string Stored(const std::string& path, const std::string& name) {
        RegKey key;
        std::string v = "<missing>";
        if (key.Open(RegRoot::CurrentUser, path) == kOk) key.QueryString(name, &v);
        return v;
    }

    CPreferences prefs_;
    CJavaPrefsSync sync_;
};

TEST_F(JavaPrefsSyncSystemRegistryTest, TreeLayoutAndEncodingInTheRegistry) {
    prefs_.SetExternalSipAddress(
        "Sip/Gr\xC3\xBC\xC3\x9F"
        "e\\1");
    prefs_.SetAlwaysTunnelMedia(true);
    prefs_.SetUserId("Alice");
    prefs_.SetPasswd("Q2xlYXI=");
    prefs_.SetProxyServerAddresses("T1.example,t2.example");
    sync_.syncSip(prefs_);
    EXPECT_TRUE(sync_.syncUser(prefs_));
    sync_.syncAllUsersCommonSettings(prefs_);

    EXPECT_EQ(
        "/Sip\\/Gr\xC3\xBC\xC3\x9F"
        "e//1",
        Stored(kSip, "external/Sip/Address"));
    EXPECT_EQ("true", Stored(kSip, "always/Tunnel/Media"));
    const std::string user = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/User";
    EXPECT_EQ("Alice", Stored(user, "user/Id"));
    EXPECT_EQ("Q2xlYXI=", Stored(user, "hashed/Password"));
    EXPECT_EQ("/T1.example,t2.example", Stored(kTunnel, "proxy/Server/Addresses"));

    // Read back decoded, the stored list is the one just written: nothing to do.
    prefs_.SetProxyServerAddresses("t2.example,t1.example");
    ScopedLogCapture log;
    sync_.syncAllUsersCommonSettings(prefs_);
    EXPECT_NE(std::string::npos, log.Text().find("Equivalent lists"));
}

TEST_F(JavaPrefsSyncSystemRegistryTest, PortModesInTheRegistry) {
    prefs_.SetSyncMode("fixed");
    prefs_.SetFixedSipPort(5070);
    prefs_.SetFixedSocksPort(1081);
    sync_.SyncLocalPorts(prefs_);
    EXPECT_EQ("5070", Stored(kSip, "tcp/Port"));
    EXPECT_EQ("1081", Stored(kSocks, "socks/Port"));
    prefs_.SetSyncMode("dynamic");
    sync_.SyncLocalPorts(prefs_);
    EXPECT_EQ("0", Stored(kSip, "udp/Port"));
    EXPECT_EQ("0", Stored(kSocks, "socks/Port"));
    EXPECT_EQ("dynamic", Stored(kPreferencesKey, "SyncMode"));
}

TEST_F(JavaPrefsSyncSystemRegistryTest, WriteCheckPassesForTheUsersOwnKeys) {
    sync_.syncSip(prefs_);
    ScopedScriptedPrompter prompter;
    EXPECT_TRUE(sync_.CheckRegistryWriteAccess("Windows XP", NoPermissionRepair).empty());
    EXPECT_TRUE(prompter.Texts().empty());
}

}  // namespace
}  // namespace corv
