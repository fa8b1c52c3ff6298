#include "tray/settings/preference_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/memory_registry.h"
#include "tray/settings/credentials.h"
#include "tray/settings/preferences.h"

namespace corv {
namespace {

// Names the fake lookup resolves; everything else is unknown.
bool Known(const std::string& host) {
    static const std::set<std::string> known = {"proxy.test", "wpad.test", "10.1.2.3"};
    return known.count(host) != 0;
}

// The rows whose values differ between two preference records.
std::set<std::string> Changed(const CPreferences& a, const CPreferences& b) {
    std::set<std::string> names;
    for (const PrefRow& row : PrefRows()) {
        bool same = row.kind == PrefKind::Number ? a.Number(row.id) == b.Number(row.id)
                                                 : a.Text(row.id) == b.Text(row.id);
        if (!same) names.insert(row.name);
    }
    return names;
}

TEST(PreferenceRulesTest, ProxyAddressCheck) {
    const struct {
        const char* text;
        int separatePort;
        const char* message;  // empty: accepted with the values below
        const char* protocol;
        const char* host;
        int port;
    } cases[] = {
        {"proxy.test", -1, "", "", "proxy.test", -1},
        {"proxy.test:8080", -1, "", "", "proxy.test", 8080},
        {"proxy.test:8080", 0, "", "", "proxy.test", 8080},
        {"https://proxy.test:8443/any/path", -1, "", "https", "proxy.test", 8443},
        {"https://proxy.test", 3128, "", "https", "proxy.test", 3128},
        {"http://10.1.2.3/", -1, "", "http", "10.1.2.3", -1},
        {"proxy.test:8080", 3128,
         "Illegal format: proxy.test:8080    3128 \n\nYou have specified two ports: 8080 and "
         "3128!",
         "", "", 0},
        {"https://proxy.test:8443", 443,
         "Illegal format: https://proxy.test:8443    443 \n\nYou have specified two ports: 8443 "
         "and 443!",
         "", "", 0},
        {"proxy.test:0", -1, "Illegal port value: 0", "", "", 0},
        {"proxy.test:70000", -1, "Illegal port value: 70000", "", "", 0},
        {"proxy.test:80x", -1, "Illegal port value: 80x", "", "", 0},
        {"proxy.test:", -1, "Illegal port value: ", "", "", 0},
        {"proxy.test:80:90", -1, "Illegal port value: 80:90", "", "", 0},
        {"host=proxy.test", -1,
         "Illegal format: host=proxy.test. \n\nPlease write a host name or ip-address!", "", "", 0},
        {"proxy.test;other", -1,
         "Illegal format: proxy.test;other. \n\nPlease write a host name or ip-address!", "", "",
         0},
        {"https://:443", -1,
         "Illegal format: https://:443. \n\nPlease write a host name or ip-address!", "", "", 0},
        {"nowhere.test:8080", -1,
         "Unknown host: nowhere.test \n\nPlease check your internet connection!\n", "", "", 0},
    };
    for (const auto& c : cases) {
        ProxyAddress out;
        out.host = "untouched";
        std::string message = CheckProxyAddress(c.text, c.separatePort, Known, &out);
        EXPECT_EQ(c.message, message) << c.text;
        if (*c.message) {
            EXPECT_EQ("untouched", out.host) << c.text;
            continue;
        }
        EXPECT_EQ(c.protocol, out.protocol) << c.text;
        EXPECT_EQ(c.host, out.host) << c.text;
        EXPECT_EQ(c.port, out.port) << c.text;
    }
}

class PageRulesTest : public ::testing::Test {
  protected:
    ScopedMemoryRegistry registry_;
};

TEST_F(PageRulesTest, ConnectionPageChecksInOrderAndWritesOnlyWhatItAccepts) {
    CPreferences base;
    base.SetHttpProxyAddress("old-http");
    base.SetHttpProxyPort(3128);
    base.SetProxyScript("http://old/wpad.dat");

    const struct {
        ProxyMode mode;
        const char* script;
        const char* host;
        const char* port;
        const char* message;
        ConnectionField focus;
        const char* shownHost;  // the https field afterwards
    } cases[] = {
        {ProxyMode::SecureProxy, "", "", "", "HTTPS proxy address cannot be empty!",
         ConnectionField::HttpsHost, ""},
        {ProxyMode::SecureProxy, "", "proxy.test", "0", "Illegal port value!",
         ConnectionField::HttpsPort, "proxy.test"},
        {ProxyMode::SecureProxy, "", "proxy.test", "70000", "Illegal port value!",
         ConnectionField::HttpsPort, "proxy.test"},
        {ProxyMode::SecureProxy, "", "proxy.test:8080", "3128",
         "Illegal format: proxy.test:8080    3128 \n\nYou have specified two ports: 8080 and "
         "3128!",
         ConnectionField::HttpsHost, "proxy.test:8080"},
        {ProxyMode::SecureProxy, "", "http://proxy.test:8080", "",
         "Illegal protocol: http \n\nPlease specify an https address!\n",
         ConnectionField::HttpsHost, "http://proxy.test:8080"},
        {ProxyMode::SecureProxy, "", "nowhere.test", "",
         "Unknown host: nowhere.test \n\nPlease check your internet connection!\n",
         ConnectionField::HttpsHost, "nowhere.test"},
        {ProxyMode::ProxyScript, "  ", "", "", "HTTP configuration script cannot be empty!",
         ConnectionField::Script, ""},
        {ProxyMode::ProxyScript, "http://wpad.test;x", "", "",
         "Illegal format: http://wpad.test;x. \n\nPlease write a host name or ip-address!",
         ConnectionField::Script, ""},
    };
    for (const auto& c : cases) {
        CPreferences p(base);
        ConnectionFields f;
        f.mode = c.mode;
        f.script = c.script;
        f.httpsHost = c.host;
        f.httpsPort = c.port;
        ConnectionField focus = ConnectionField::None;
        EXPECT_EQ(c.message, CommitConnection(&f, p, Known, &focus)) << c.host << c.script;
        EXPECT_EQ(c.focus, focus) << c.host;
        EXPECT_EQ(c.shownHost, f.httpsHost);
        EXPECT_TRUE(Changed(base, p).empty()) << c.host << c.script;
    }
}

TEST_F(PageRulesTest, ConnectionPageStoresTheAcceptedProxy) {
    CPreferences base;
    base.SetHttpProxyAddress("old-http");
    base.SetHttpProxyPort(3128);

    // An https address with host and port and an empty port field: the HTTP proxy goes.
    CPreferences p(base);
    ConnectionFields f = ConnectionFieldsOf(p);
    EXPECT_EQ(ProxyMode::AutoDetection, f.mode);
    EXPECT_EQ("", f.httpsPort);  // -1 shows nothing
    f.mode = ProxyMode::SecureProxy;
    f.httpsHost = " https://proxy.test:8443 ";
    ConnectionField focus;
    ASSERT_EQ("", CommitConnection(&f, p, Known, &focus));
    EXPECT_EQ("proxy.test", f.httpsHost);
    EXPECT_EQ("proxy.test", p.GetHttpsProxyAddress());
    EXPECT_EQ(8443, p.GetHttpsProxyPort());
    EXPECT_EQ("", p.GetHttpProxyAddress());
    EXPECT_EQ(-1, p.GetHttpProxyPort());
    EXPECT_EQ(1, p.GetUseProxy());
    EXPECT_EQ(0, p.GetAutoDetection());
    EXPECT_EQ(0, p.GetNoProxy());
    EXPECT_EQ(0, p.GetUseProxyScript());
    f = ConnectionFieldsOf(p);
    EXPECT_EQ(ProxyMode::SecureProxy, f.mode);
    EXPECT_EQ("8443", f.httpsPort);

    // A bare host with the port field: the HTTP proxy stays.
    p = base;
    f.httpsHost = "10.1.2.3";
    f.httpsPort = "3129";
    ASSERT_EQ("", CommitConnection(&f, p, Known, &focus));
    EXPECT_EQ("10.1.2.3", p.GetHttpsProxyAddress());
    EXPECT_EQ(3129, p.GetHttpsProxyPort());
    EXPECT_EQ("old-http", p.GetHttpProxyAddress());

    // A configuration script keeps its whole address.
    p = base;
    f.mode = ProxyMode::ProxyScript;
    f.script = " http://wpad.test:8080/wpad.dat ";
    ASSERT_EQ("", CommitConnection(&f, p, Known, &focus));
    EXPECT_EQ("http://wpad.test:8080/wpad.dat", p.GetProxyScript());
    EXPECT_EQ(1, p.GetUseProxyScript());
    EXPECT_EQ(0, p.GetAutoDetection());

    // Direct: only the flags change.
    p = base;
    f.mode = ProxyMode::NoProxy;
    f.script = "";  // not checked when another mode is chosen
    ASSERT_EQ("", CommitConnection(&f, p, Known, &focus));
    EXPECT_EQ((std::set<std::string>{"AutoDetection", "NoProxy"}), Changed(base, p));
}

TEST_F(PageRulesTest, ClientsPageWriteBack) {
    const struct {
        ClientChoice choice;
        int startSip;
        const char *msn, *windows, *econf, *xlite, *none;
        int sip;
    } cases[] = {
        {kMessengers, 1, "1", "1", "0", "0", "0", 0},
        {kWindowsMessengerSip, 0, "0", "1", "0", "0", "0", 1},
        {kEconf, 0, "0", "0", "1", "0", "0", 1},
        {kXLite, 0, "0", "0", "0", "1", "0", 1},
        {kCustomSip, 0, "0", "0", "0", "0", "1", 0},
        {kCustomSip, 1, "0", "0", "0", "0", "1", 1},
    };
    for (const auto& c : cases) {
        CPreferences p;
        p.SetUseSip(c.startSip);
        bool checked[kClientChoices] = {};
        checked[c.choice] = true;
        WriteClientChoice(checked, p);
        EXPECT_EQ(c.msn, p.SyncMsnMessengerText()) << c.choice;
        EXPECT_EQ(c.windows, p.SyncMessengerText()) << c.choice;
        EXPECT_EQ(c.econf, p.SyncEconfText()) << c.choice;
        EXPECT_EQ(c.xlite, p.SyncXLiteText()) << c.choice;
        EXPECT_EQ(c.none, p.DoNotSyncText()) << c.choice;
        EXPECT_EQ(c.sip, p.GetUseSip()) << c.choice;
        // What was written shows as that choice alone the next time the page opens.
        ClientChoiceView v = ClientChoiceOf(p, DetectedClients());
        for (int i = 0; i < kClientChoices; ++i)
            EXPECT_EQ(i == c.choice, v.checked[i]) << c.choice << " shows " << i;
    }
}

TEST_F(PageRulesTest, ClientsPageEnablesWhatIsInstalled) {
    const struct {
        DetectedClients detected;
        bool enabled[kClientChoices];
    } cases[] = {
        {{false, false, false, false}, {false, false, false, false, true}},
        {{true, false, false, false}, {true, false, false, false, true}},
        {{false, true, false, false}, {true, true, false, false, true}},
        {{false, false, true, true}, {false, false, true, true, true}},
    };
    CPreferences p;
    for (const auto& c : cases) {
        ClientChoiceView v = ClientChoiceOf(p, c.detected);
        for (int i = 0; i < kClientChoices; ++i) EXPECT_EQ(c.enabled[i], v.enabled[i]) << i;
    }
}

TEST_F(PageRulesTest, StartAtLogonNeedsAnAdministratorOnlyForAnAllUsersInstall) {
    const struct {
        bool allUsers, admin, editable;
    } cases[] = {
        {false, false, true}, {false, true, true}, {true, false, false}, {true, true, true}};
    for (const auto& c : cases) {
        CPreferences p;
        p.SetInstalledForAllUsers(c.allUsers);
        p.SetIsAdministrator(c.admin);
        EXPECT_EQ(c.editable, LaunchAtStartupEditable(p)) << c.allUsers << c.admin;
    }
}

TEST_F(PageRulesTest, AccountDialog) {
    const struct {
        std::string user;
        std::string password;
        const char* message;
    } cases[] = {
        {"  ", " \t", "User id and password cannot be empty!"},
        {"", "secret", "User id cannot be empty!"},
        {"alice", "  ", "Password cannot be empty!"},
        {"alice", std::string(59, 'p'),
         "User id and password are too long: together they may have at most 63 characters!"},
    };
    for (const auto& c : cases) {
        CPreferences p;
        EXPECT_EQ(c.message, CommitAccount(c.user, c.password, p)) << c.user;
        EXPECT_EQ("", p.GetUserId());
        EXPECT_EQ("", p.GetPasswd());
    }
    CPreferences p;
    ASSERT_EQ("", CommitAccount(" alice ", " secret ", p));
    EXPECT_EQ("alice", p.GetUserId());
    EXPECT_EQ("4e51673885c901eeb478366a27a167eb", p.GetPasswd());
    EXPECT_EQ(kPasswordPlaceholder, PasswordDisplay(p.GetPasswd()));
    EXPECT_EQ("", PasswordDisplay(""));
}

TEST_F(PageRulesTest, GetPasswordAddress) {
    const struct {
        const char* url;
        const char* create;
        bool offered;
        const char* opened;  // nullptr: the service's own site
    } cases[] = {
        {"", "", false, nullptr},
        {"http://localhost/service", "", true, "http://localhost/service"},
        {"", "http://localhost/new", true, "http://localhost/new"},
        {"http://localhost/service", "http://localhost/new", true, "http://localhost/new"},
    };
    for (const auto& c : cases) {
        CPreferences p;
        p.SetUrl(c.url);
        p.SetUrlCreateAccount(c.create);
        EXPECT_EQ(c.offered, OffersGetPassword(p));
        if (c.opened)
            EXPECT_EQ(c.opened, AccountWebAddress(p));
        else
            EXPECT_FALSE(AccountWebAddress(p).empty());
    }
    EXPECT_EQ("Could not open your default Web Browser (Error 2)!\n\nPlease go to the web page: x",
              BrowserFailureText(2, "x"));
}

TEST_F(PageRulesTest, ProxyAuthenticationDialog) {
    const struct {
        const char* user;
        const char* password;
        const char* message;
        bool keepOpen;
        const char* stored;  // nullptr: unchanged
    } cases[] = {
        {" proxyuser ", " pa:ss:word ", "", false, "cHJveHl1c2VyOnBhOnNzOndvcmQ="},
        {"proxyuser", " ", "You have specified a proxy user id but not a password!", true, nullptr},
        {"", "secret", "You have specified a proxy password but not a user id!", true, nullptr},
        {" ", "", "", false, ""},
    };
    for (const auto& c : cases) {
        CPreferences p;
        p.SetProxyAuth("b2xkOm9sZA==");  // "old:old"
        bool keepOpen = !c.keepOpen;
        EXPECT_EQ(c.message, CommitProxyAuth(c.user, c.password, p, &keepOpen)) << c.user;
        EXPECT_EQ(c.keepOpen, keepOpen) << c.user;
        EXPECT_EQ(c.stored ? c.stored : "b2xkOm9sZA==", p.GetProxyAuth()) << c.user;
    }
    CPreferences p;
    bool keepOpen = false;
    std::string message = CommitProxyAuth(std::string(200, 'u'), "pw", p, &keepOpen);
    EXPECT_NE(std::string::npos, message.find("too long")) << message;
    EXPECT_TRUE(keepOpen);
    EXPECT_EQ("", p.GetProxyAuth());

    // What the page and the dialog show of stored credentials.
    std::string user;
    p.SetProxyAuth("cHJveHl1c2VyOnBhOnNzOndvcmQ=");
    ASSERT_TRUE(ProxyAuthUserOf(p, &user));
    EXPECT_EQ("proxyuser", user);
    ConnectionFields f = ConnectionFieldsOf(p);
    EXPECT_EQ("proxyuser", f.authUser);
    EXPECT_EQ(kPasswordPlaceholder, f.authPassword);
    p.SetProxyAuth("bm9jb2xvbg==");  // no colon
    EXPECT_FALSE(ProxyAuthUserOf(p, &user));
    EXPECT_EQ("", user);
    EXPECT_EQ("", ConnectionFieldsOf(p).authUser);
}

TEST_F(PageRulesTest, AdvancedClientSettings) {
    CPreferences shown;
    shown.SetSocksPort(-1);
    shown.SetSipPort(5070);
    shown.SetActiveIpAddress("127.0.0.5");
    shown.SetLocalIpAddress("0.0.0.0");
    shown.SetSyncMode("Dynamic");
    EXPECT_EQ("SOCKS port: Not set, SIP port: 5070, IP: 127.0.0.5", AdvancedInfoText(shown));
    AdvancedFields f = AdvancedFieldsOf(shown);
    EXPECT_TRUE(f.dynamic);
    EXPECT_EQ("", f.ipAddress);
    EXPECT_EQ("", f.sipPort);  // -1: not set
    shown.SetFixedSocksPort(1090);
    shown.SetSyncMode("fixed");
    f = AdvancedFieldsOf(shown);
    EXPECT_FALSE(f.dynamic);
    EXPECT_EQ("1090", f.socksPort);

    auto isLocal = [](const std::string& a) { return a == "127.0.0.5"; };
    const struct {
        bool dynamic;
        const char *ip, *sip, *socks;
        const char* message;
        const char* warning;
        const char* mode;
        const char* storedIp;  // nullptr: nothing but the mode is set
        int storedSip, storedSocks;
    } cases[] = {
        {true, "junk", "junk", "junk", "", "", "dynamic", nullptr, 0, 0},
        {false, "", "", "", "", "", "fixed", "", 0, 0},
        {false, " 127.0.0.5 ", "5070", "1090", "", "", "fixed", "127.0.0.5", 5070, 1090},
        {false, "10.9.9.9", "0", "65535", "",
         "Warning! Specified address 10.9.9.9 is not in local host table\n\nConsider using a "
         "different address\n",
         "fixed", "10.9.9.9", 0, 65535},
        {false, "0.0.0.0", "", "",
         "Illegal local IP address, \n0.0.0.0 is not allowed as a client address!", "", "fixed",
         nullptr, 0, 0},
        {false, "", "65536", "", "Illegal SIP port!", "", "fixed", nullptr, 0, 0},
        {false, "", "", "-1", "Illegal SOCKS port!", "", "fixed", nullptr, 0, 0},
    };
    for (const auto& c : cases) {
        CPreferences p;
        p.SetSyncMode("something");
        p.SetLocalIpAddress("before");
        AdvancedFields in{c.dynamic, c.ip, c.sip, c.socks};
        std::string warning;
        AdvancedField focus;
        EXPECT_EQ(c.message, CommitAdvanced(in, p, isLocal, &warning, &focus)) << c.ip << c.sip;
        EXPECT_EQ(c.warning, warning);
        EXPECT_EQ(c.mode, p.GetSyncMode());
        if (!c.storedIp) {
            EXPECT_EQ("before", p.GetLocalIpAddress());
            EXPECT_EQ(-1, p.GetFixedSipPort());
            continue;
        }
        EXPECT_EQ(c.storedIp, p.GetLocalIpAddress());
        EXPECT_EQ(c.storedSip, p.GetFixedSipPort());
        EXPECT_EQ(c.storedSocks, p.GetFixedSocksPort());
    }
}

TEST_F(PageRulesTest, SipAddressIsWrittenToTheAllUsersKeyAtOnce) {
    {
        RegKey machine;
        machine.Create(RegRoot::LocalMachine, kPreferencesKey);
    }
    CPreferences p;
    CommitExternalSipAddress("  sip.test:5060 ", p);
    EXPECT_EQ("sip.test:5060", p.GetExternalSipAddress());
    RegKey machine;
    std::string stored;
    ASSERT_EQ(kOk, machine.Open(RegRoot::LocalMachine, kPreferencesKey));
    ASSERT_EQ(kOk, machine.QueryString("externalSipAddress", &stored));
    EXPECT_EQ("sip.test:5060", stored);
}

}  // namespace
}  // namespace corv
