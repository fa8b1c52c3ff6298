// The client programs pointed at the proxy and given back their values, against the in-memory
// registry, with the questions answered from a script.
#include <optional>

#include "tray/clients/testing/client_fixture.h"

namespace corv::test {
namespace {

using Value = std::optional<RegValue>;  // nullopt: absent

struct Val {
    const char* key;
    const char* name;  // "": the key alone
    Value value;
};

struct Row {
    const char* what;
    bool windows, msn, econf, xlite;
    int useSip;
    const char* msnVersion;  // nullptr: MSN Messenger is not set up
    std::vector<Val> before;
    std::vector<Val> after;
    std::vector<const char*> untouched;  // names that already were right: never written
};

class ClientWriteTest : public ClientFixture {};

TEST_F(ClientWriteTest, EachProgramIsPointedAtTheProxyAndGetsEveryValueBack) {
    const std::string longText(600, 'x');
    const Row rows[] = {
        {"Windows Messenger, SOCKS",
         true,
         false,
         false,
         false,
         0,
         nullptr,
         {{kMessengerServiceKey, "PrimaryService", Sz("Microsoft RTC Instant Messaging")},
          {kMessengerServiceKey, "MSNState", Bin4(0)},
          {kMessengerServiceKey, "RTCState", Bin4(1)},
          {kMessengerServiceKey, "ProxyType", Bin4(1)},
          {kMessengerServiceKey, "SOCKS5Port", Bin4(1080)},
          {kMessengerServiceKey, "SOCKS5Server", Sz("localhost")},
          {kMessengerServiceKey, "SOCKS5Username", Sz("alice")},
          {kMessengerServiceKey, "SOCKS5Password", Bytes(300, 0xA5)}},
         {{kMessengerServiceKey, "PrimaryService", Sz(".NET Messenger Service")},
          {kMessengerServiceKey, "MSNState", Bin4(1)},
          {kMessengerServiceKey, "RTCState", Bin4(0)},
          {kMessengerServiceKey, "ProxyState", Bin4(0xFFFFFFFF)},
          {kMessengerServiceKey, "ProxyType", Bin4(2)},
          {kMessengerServiceKey, "SOCKS5Port", Bin4(1081)},
          {kMessengerServiceKey, "SOCKS5Server", Sz(kAddress)},
          {kMessengerServiceKey, "SOCKS5Username", std::nullopt},
          {kMessengerServiceKey, "SOCKS5Password", std::nullopt}},
         {}},
        {"Windows Messenger, SOCKS, values already right",
         true,
         false,
         false,
         false,
         0,
         nullptr,
         {{kMessengerServiceKey, "ProxyState", Bin4(1)},
          {kMessengerServiceKey, "ProxyType", Bin4(2)},
          {kMessengerServiceKey, "SOCKS5Port", Bin4(1081)},
          {kMessengerServiceKey, "SOCKS5Server", Sz(kAddress)}},
         {{kMessengerServiceKey, "ProxyState", Bin4(1)},
          {kMessengerServiceKey, "PrimaryService", Sz(".NET Messenger Service")}},
         {"ProxyState", "ProxyType", "SOCKS5Port", "SOCKS5Server"}},
        {"Windows Messenger, SIP",
         true,
         false,
         false,
         false,
         1,
         nullptr,
         {{kMessengerServiceKey, "ProxyState", Bin4(0xFFFFFFFF)},
          {kMessengerServiceKey, "PrimaryService", Sz(".NET Messenger Service")},
          {kRtcImspKey, "ServerAddress", Sz(longText)}},
         {{kMessengerServiceKey, "ProxyState", Bin4(0)},
          {kMessengerServiceKey, "PrimaryService", Sz("Microsoft RTC Instant Messaging")},
          {kMessengerServiceKey, "MSNState", Bin4(0)},
          {kMessengerServiceKey, "RTCState", Bin4(1)},
          {kRtcImspKey, "ServerAddress", Sz("127.0.0.5:5070")},
          {kRtcImspKey, "Transport", Dw(1)}},
         {}},
        {"MSN Messenger 7",
         false,
         true,
         false,
         false,
         0,
         "7.5.0311-0000",
         {{kMsnMessengerKey, "UseTCP", Bin4(0xFFFFFFFF)},
          {kMsnMessengerKey, "UseSOCKS5", Bin4(0)},
          {kMsnMessengerKey, "UseHTTP", Bin4(0)},
          // Another type than the table's: counts as absent, and still comes back as it was.
          {kMsnMessengerKey, "SOCKS5Port", Dw(1080)},
          {kMsnMessengerKey, "SOCKS5Password", Bytes(5000, 0x5A)}},
         {{kMsnMessengerKey, "UseTCP", Bin4(0)},
          {kMsnMessengerKey, "UseSOCKS4", Bin4(0)},
          {kMsnMessengerKey, "UseSOCKS5", Bin4(0xFFFFFFFF)},
          {kMsnMessengerKey, "UseHTTP", Bin4(0)},
          {kMsnMessengerKey, "ProxyState", std::nullopt},
          {kMsnMessengerKey, "SOCKS5Port", Bin4(1081)},
          {kMsnMessengerKey, "SOCKS5Server", Sz(kAddress)},
          {kMsnMessengerKey, "SOCKS5Password", std::nullopt}},
         {"UseHTTP"}},
        {"MSN Messenger 6",
         false,
         true,
         false,
         false,
         0,
         "6.2.0137-0000",
         {{kMsnMessengerKey, "ProxyState", Bin4(0)}, {kMsnMessengerKey, "UseTCP", Bin4(5)}},
         {{kMsnMessengerKey, "ProxyState", Bin4(0xFFFFFFFF)},
          {kMsnMessengerKey, "ProxyType", Bin4(2)},
          {kMsnMessengerKey, "UseTCP", Bin4(5)},
          {kMsnMessengerKey, "SOCKS5Server", Sz(kAddress)}},
         {"UseTCP"}},
        {"MSN Messenger without a version resource counts as 7",
         false,
         true,
         false,
         false,
         0,
         "",
         {},
         {{kMsnMessengerKey, "UseSOCKS5", Bin4(0xFFFFFFFF)},
          {kMsnMessengerKey, "ProxyState", std::nullopt}},
         {}},
        {"eConf",
         false,
         false,
         true,
         false,
         0,
         nullptr,
         {{kEconfKey, "LocalPort", Dw(5060)}, {kEconfKey, "OutboundProxyAddr", Sz(longText)}},
         {{kEconfKey, "LocalPort", Dw(5061)},
          {kEconfKey, "UseDefaultLocalPort", Dw(0)},
          {kEconfKey, "OutboundProxyAddr", Sz(kAddress)},
          {kEconfKey, "OutboundProxyPort", Dw(5070)},
          {kEconfKey, "UseOutboundProxyInfo", Dw(1)},
          {kEconfKey, "UseDefaultOutboundProxyPort", Dw(0)}},
         {}},
        {"X-Lite, both editions",
         false,
         false,
         false,
         true,
         0,
         nullptr,
         {{kXLiteKey, "general:OutboundSIPProxy", Sz(longText)},
          {kXLiteKey, "hosts:ListenSIPPort", Dw(5060)},
          {kXLiteKey, "last_dialed", Sz("1234")},
          {kXLiteFwdKey, "", std::nullopt}},
         {{kXLiteKey, "general:ProxyServerEnabled", Dw(1)},
          {kXLiteKey, "general:OutboundSIPProxy", Sz("127.0.0.5:5070")},
          {kXLiteKey, "general:ShouldUseOutboundSIPProxy", Dw(1)},
          {kXLiteKey, "hosts:ListenSIPPort", Dw(5061)},
          {kXLiteKey, "last_dialed", Sz("1234")},
          {kXLiteFwdKey, "general:OutboundSIPProxy", Sz("127.0.0.5:5070")}},
         {"last_dialed"}},
        {"X-Lite Free World Dialup alone",
         false,
         false,
         false,
         true,
         0,
         nullptr,
         {{kXLiteFwdKey, "hosts:ListenSIPPort", Dw(5060)}},
         {{kXLiteFwdKey, "hosts:ListenSIPPort", Dw(5061)},
          {kXLiteKey, "hosts:ListenSIPPort", std::nullopt}},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        registry_.Memory().Clear();
        SetUp();
        ScopedScriptedPrompter prompter;
        if (row.msnVersion) InstallMsn(row.msnVersion);
        for (const Val& v : row.before) {
            if (!*v.name)
                MakeKey(
                    v.key == std::string(kEconfKey) ? RegRoot::LocalMachine : RegRoot::CurrentUser,
                    v.key);
            else
                Put(v.key, v.name, *v.value);
        }
        Flags(row.windows, row.msn, row.econf, row.xlite);
        prefs_.SetUseSip(row.useSip);
        auto original = Snapshot(ClientKeys());

        auto sync = Start();
        registry_.ClearWrites();
        sync->SyncClientSettings(prefs_, 1);
        for (const Val& v : row.after)
            EXPECT_EQ(v.value ? Describe(*v.value) : "absent", Get(v.key, v.name)) << v.name;
        for (const char* name : row.untouched)
            for (const std::string& w : registry_.Writes())
                EXPECT_EQ(std::string::npos, w.find(std::string("\\") + name)) << w;
        EXPECT_TRUE(prompter.Texts().empty());
        EXPECT_FALSE(Records().empty());

        sync->SyncClientSettings(prefs_, 0);
        EXPECT_EQ(original, Snapshot(ClientKeys()));
        EXPECT_TRUE(Records().empty());
    }
}

TEST_F(ClientWriteTest, TheSocksServerIsComparedExactly) {
    const struct {
        const char* stored;
        const char* active;
        bool written;
    } cases[] = {
        {"desk-a", "desk-a", false},
        {"Desk-A", "desk-a", true},
        {"desk-a ", "desk-a", true},
        {nullptr, "desk-a", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(absent)");
        registry_.Memory().Clear();
        if (c.stored) Put(kMsnMessengerKey, "SOCKS5Server", Sz(c.stored));
        MakeKey(RegRoot::CurrentUser, kMsnMessengerKey);
        registry_.ClearWrites();
        RegKey key;
        key.Open(RegRoot::CurrentUser, kMsnMessengerKey, kRegReadWrite);
        EXPECT_TRUE(WriteSocks5Endpoint(key, c.active, 1081));
        bool written = false;
        for (const std::string& w : registry_.Writes())
            written = written || w.find("SOCKS5Server") != std::string::npos;
        EXPECT_EQ(c.written, written);
        EXPECT_EQ(Describe(Sz(c.active)), Get(kMsnMessengerKey, "SOCKS5Server"));
    }
}

// A program whose sync was switched off after this run changed it is restored by every later
// run of the dispatcher, also one that points the others at the proxy.
TEST_F(ClientWriteTest, SyncSwitchedOffRestoresTheProgramAtTheNextSync) {
    Put(kMessengerServiceKey, "ProxyState", Bin4(0));
    Put(kXLiteKey, "hosts:ListenSIPPort", Dw(5060));
    Flags(true, false, false, true);
    auto original = Snapshot(ClientKeys());
    auto sync = Start();
    sync->SyncClientSettings(prefs_, 1);
    ASSERT_NE(original, Snapshot(ClientKeys()));

    Flags(false, false, false, false);
    sync->SyncClientSettings(prefs_, 1);
    EXPECT_EQ(original, Snapshot(ClientKeys()));
    EXPECT_TRUE(Records().empty());
    // Someone points it elsewhere: the next run puts the old values back again.
    Put(kMessengerServiceKey, "ProxyState", Bin4(7));
    sync->SyncClientSettings(prefs_, 1);
    EXPECT_EQ(original, Snapshot(ClientKeys()));
}

TEST_F(ClientWriteTest, TheDispatcherWalksThePolicyThenEconfXLiteWindowsAndMsnMessenger) {
    InstallWindowsMessenger("5.1.0701-0000");
    InstallMsn("5.1.0701-0000");  // same folder; both programs of that version
    MakeKey(RegRoot::LocalMachine, kEconfKey);
    MakeKey(RegRoot::CurrentUser, kXLiteKey);
    Flags(true, true, true, true);
    auto sync = Start();
    EXPECT_TRUE(sync->HasWindowsMessenger5());
    registry_.ClearWrites();
    sync->SyncClientSettings(prefs_, 1);

    std::vector<std::string> keys;
    for (const std::string& w : registry_.Writes()) {
        std::string key = w.substr(w.find(' ') + 1);
        key = key.substr(0, key.rfind('\\'));
        if (key.find("Velmora") == std::string::npos && (keys.empty() || keys.back() != key))
            keys.push_back(key);
    }
    const std::vector<std::string> expected = {
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Messenger\\Client\\"
        "{83D4679F-B6D7-11D2-BF36-00C04FB90A03}",
        std::string("HKEY_LOCAL_MACHINE\\") + kEconfKey,
        std::string("HKEY_CURRENT_USER\\") + kXLiteKey,
        std::string("HKEY_CURRENT_USER\\") + kMessengerServiceKey,
        std::string("HKEY_CURRENT_USER\\") + kMsnMessengerKey};
    EXPECT_EQ(expected, keys);
    EXPECT_TRUE(log_.Has("Set Windows Messenger 5.0 client mode\n"));
    // The policy is never undone.
    sync->SyncClientSettings(prefs_, 0);
    EXPECT_EQ(Describe(Dw(0)), Get(RegRoot::LocalMachine,
                                   "SOFTWARE\\Policies\\Microsoft\\Messenger\\Client\\"
                                   "{83D4679F-B6D7-11D2-BF36-00C04FB90A03}",
                                   "EnableSIPHighSecurityMode"));
}

struct QuestionCase {
    const char* what;
    std::function<void(ClientFixture&, RecordingRegistry&)> arrange;
    bool windows, msn, econf, xlite;
    int useSip;
    bool admin;
    const char* address;
    PromptAnswer answer;
    const char* flag;   // the sync flag the question is about
    const char* start;  // the question's first line; "" for no question
    const char* shown;  // part of the text: address and port
    const char* flagAfter;
};

class ClientQuestionTest : public ClientFixture {};

TEST_F(ClientQuestionTest, AFailedSetAsksAndYesSwitchesTheSyncOff) {
    auto failWrites = [](ClientFixture&, RecordingRegistry& r) {
        r.FailWritesAfter(0, "Software\\Microsoft");
    };
    auto messenger = [](ClientFixture& f, RecordingRegistry& r) {
        f.MakeKey(RegRoot::CurrentUser, kMessengerServiceKey);
        f.MakeKey(RegRoot::CurrentUser, kRtcImspKey);
        r.FailWritesAfter(0, "Software\\Microsoft");
    };
    auto econfDenied = [](ClientFixture& f, RecordingRegistry& r) {
        f.MakeKey(RegRoot::LocalMachine, kEconfKey);
        r.Memory().DenyAccess(RegRoot::LocalMachine, kEconfKey, kRegWrite);
    };
    auto econfReady = [](ClientFixture& f, RecordingRegistry& r) {
        auto& t = f;
        t.Put(kEconfKey, "LocalPort", Dw(5061));
        t.Put(kEconfKey, "UseDefaultLocalPort", Dw(0));
        t.Put(kEconfKey, "OutboundProxyAddr", Sz("127.0.0.5"));
        t.Put(kEconfKey, "OutboundProxyPort", Dw(5070));
        t.Put(kEconfKey, "UseOutboundProxyInfo", Dw(1));
        t.Put(kEconfKey, "UseDefaultOutboundProxyPort", Dw(0));
        r.Memory().DenyAccess(RegRoot::LocalMachine, kEconfKey, kRegWrite);
    };
    auto xliteDenied = [](ClientFixture& f, RecordingRegistry& r) {
        f.MakeKey(RegRoot::CurrentUser, kXLiteKey);
        r.Memory().DenyAccess(RegRoot::CurrentUser, kXLiteKey, kRegWrite);
    };
    auto fwdDenied = [](ClientFixture& f, RecordingRegistry& r) {
        f.MakeKey(RegRoot::CurrentUser, kXLiteFwdKey);
        r.Memory().DenyAccess(RegRoot::CurrentUser, kXLiteFwdKey, kRegWrite);
    };
    const QuestionCase cases[] = {
        {"Windows Messenger, yes", messenger, true, false, false, false, 0, true, "127.0.0.5",
         PromptAnswer::Yes, "SyncMessenger",
         "Could not set Windows Messenger settings automatically.\n",
         "Server: 127.0.0.5, Port: 1081,", "0"},
        {"Windows Messenger, no", messenger, true, false, false, false, 0, true, "127.0.0.5",
         PromptAnswer::No, "SyncMessenger",
         "Could not set Windows Messenger settings automatically.\n", "Port: 1081", "1"},
        {"Windows Messenger SIP, no address", messenger, true, false, false, false, 1, true, "",
         PromptAnswer::Yes, "SyncMessenger",
         "Could not set Sip settings in Windows Messenger automatically.\n",
         "IP Address to <your local ip-address>>:5070\n", "0"},
        {"MSN Messenger, address not available", failWrites, false, true, false, false, 0, true,
         "not available", PromptAnswer::Yes, "SyncMsnMessenger",
         "Could not set MSN Messenger settings automatically.\n",
         "Server: <your local ip-address>>, Port: 1081,", "0"},
        {"eConf, administrator", econfDenied, false, false, true, false, 0, true, "127.0.0.5",
         PromptAnswer::No, "SyncEconf", "Could not set eConf settings automatically.\n",
         "Address: 127.0.0.5, Port: 5070\n", "1"},
        {"eConf, no key at the time of the sync", nullptr, false, false, true, false, 0, true,
         "127.0.0.5", PromptAnswer::Yes, "SyncEconf",
         "Could not set eConf settings automatically.\n", "Port: 5070", "0"},
        {"eConf, user without rights: told once, sync off", econfDenied, false, false, true, false,
         0, false, "127.0.0.5", PromptAnswer::No, "SyncEconf",
         "You do not have sufficient rights to set eConf settings automatically.\n",
         "Address: 127.0.0.5, Port: 5070\n", "0"},
        {"eConf, user without rights, already pointed at us", econfReady, false, false, true, false,
         0, false, "127.0.0.5", PromptAnswer::No, "SyncEconf", "", "", "1"},
        {"X-Lite", xliteDenied, false, false, false, true, 0, true, "127.0.0.5", PromptAnswer::Yes,
         "SyncXLite", "Could not set X-Lite settings automatically.\n",
         "Out Bound Proxy: 127.0.0.5:5070,", "0"},
        {"X-Lite Free World Dialup", fwdDenied, false, false, false, true, 0, true, "127.0.0.5",
         PromptAnswer::No, "SyncXLite",
         "Could not set X-Lite Free World Dialup settings automatically.\n",
         "Out Bound Proxy: 127.0.0.5:5070,", "1"},
    };
    for (const QuestionCase& c : cases) {
        SCOPED_TRACE(c.what);
        registry_.Memory().Clear();
        registry_.FailWritesAfter(-1);
        SetUp();
        if (c.msn) InstallMsn("7.0.0813-0000");
        bool econfMissingLater = c.econf && !c.arrange;
        if (econfMissingLater) MakeKey(RegRoot::LocalMachine, kEconfKey);
        prefs_.SetIsAdministrator(c.admin);
        prefs_.SetActiveIpAddress(c.address);
        prefs_.SetUseSip(c.useSip);
        Flags(c.windows, c.msn, c.econf, c.xlite);
        if (c.arrange) c.arrange(*this, registry_);
        auto sync = Start();
        if (econfMissingLater) {
            RegKey root;
            root.Open(RegRoot::LocalMachine, "SOFTWARE\\France Telecom", kRegReadWrite);
            root.DeleteTree("&Conf");
        }
        ScopedScriptedPrompter prompter({c.answer});
        sync->SyncClientSettings(prefs_, 1);
        registry_.FailWritesAfter(-1);

        auto texts = prompter.Texts();
        if (!*c.start) {
            EXPECT_TRUE(texts.empty());
        } else {
            ASSERT_EQ(1u, texts.size());
            EXPECT_EQ(0u, texts[0].find(c.start)) << texts[0];
            EXPECT_NE(std::string::npos, texts[0].find(c.shown)) << texts[0];
        }
        EXPECT_EQ(c.flagAfter, FlagInRegistry(c.flag));
        bool on = std::string(c.flag) == "SyncMessenger"      ? prefs_.GetSyncMessenger()
                  : std::string(c.flag) == "SyncMsnMessenger" ? prefs_.GetSyncMsnMessenger()
                  : std::string(c.flag) == "SyncEconf"        ? prefs_.GetSyncEconf()
                                                              : prefs_.GetSyncXLite();
        EXPECT_EQ(std::string(c.flagAfter) == "1", on);
    }
}

// Both messengers set up and the Java client asks for the proxy: each is written by its own
// operation, then the switch writes both SOCKS endpoints again, also over SIP mode.
TEST_F(ClientQuestionTest, TheMessengerSwitchWritesBothMessengersAndUndoesThemAtExit) {
    InstallMsn("7.0.0813-0000");
    MakeKey(RegRoot::CurrentUser, kMessengerServiceKey);
    Put(kMsnMessengerKey, "ProxyState", Bin4(0xFFFFFFFF));
    Flags(true, false, false, false);  // MSN Messenger's own sync off: the switch still writes it
    prefs_.SetUseSip(1);
    auto original = Snapshot(ClientKeys());
    auto sync = Start();
    ScopedScriptedPrompter prompter;

    sync->SyncMessengerSettings(prefs_, 1);
    EXPECT_EQ(Describe(Sz(".NET Messenger Service")), Get(kMessengerServiceKey, "PrimaryService"));
    EXPECT_EQ(Describe(Sz(kAddress)), Get(kMessengerServiceKey, "SOCKS5Server"));
    EXPECT_EQ(Describe(Sz(kAddress)), Get(kMsnMessengerKey, "SOCKS5Server"));
    EXPECT_EQ(Describe(Bin4(1081)), Get(kMsnMessengerKey, "SOCKS5Port"));

    sync->SyncMessengerSettings(prefs_, 0);
    EXPECT_EQ(Describe(Bin4(0)), Get(kMessengerServiceKey, "ProxyState"));
    EXPECT_EQ(Describe(Bin4(0)), Get(kMsnMessengerKey, "ProxyState"));
    EXPECT_TRUE(prompter.Texts().empty());

    sync->SyncClientSettings(prefs_, 0);  // the exit
    EXPECT_EQ(original, Snapshot(ClientKeys()));
    EXPECT_TRUE(Records().empty());
}

// A messenger set up while the client runs is written by the switch and given back at the exit.
TEST_F(ClientQuestionTest, AMessengerSetUpSinceTheStartIsGivenBackAtTheExit) {
    Flags(true, false, false, false);
    auto sync = Start();
    Put(kMessengerServiceKey, "SOCKS5Server", Sz("localhost"));
    Put(kMsnMessengerKey, "SOCKS5Port", Bin4(1080));
    auto original = Snapshot(ClientKeys());
    ScopedScriptedPrompter prompter;
    sync->SyncMessengerSettings(prefs_, 1);
    ASSERT_EQ(Describe(Sz(kAddress)), Get(kMessengerServiceKey, "SOCKS5Server"));
    ASSERT_EQ(Describe(Bin4(1081)), Get(kMsnMessengerKey, "SOCKS5Port"));
    sync->SyncClientSettings(prefs_, 0);
    EXPECT_EQ(original, Snapshot(ClientKeys()));
    EXPECT_TRUE(Records().empty());
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(ClientQuestionTest, TheMessengerSwitchNamesTheMessengerItCouldNotSet) {
    const struct {
        const char* what;
        bool windows, msn;
        int enable;
        bool askedAboutCopy;  // the passed preferences are the dialog's copy
        const char* start;
        const char* flagAfter;
    } cases[] = {
        {"neither set up, on", false, false, 1, true,
         "Could not set Messenger settings automatically.\n\nIf you want to use Corvane, you have "
         "to configure Messenger manually.\nPlease open the Messenger window",
         "0"},
        {"neither set up, off", false, false, 0, true,
         "Could not reset Messenger settings automatically.\n\nIf you want to use Messenger while",
         "0"},
        {"Windows Messenger alone, writes refused", true, false, 1, true,
         "Could not set Windows Messenger settings automatically.\n\nIf you want to use Corvane, "
         "you have to configure Windows Messenger manually.",
         "0"},
        {"MSN Messenger alone, writes refused", false, true, 0, true,
         "Could not reset MSN Messenger settings automatically.", "0"},
        {"both, writes refused", true, true, 1, true, "Could not set Messenger settings", "0"},
        {"a dialog is open and these are not its preferences", false, false, 1, false, "", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        registry_.Memory().Clear();
        registry_.FailWritesAfter(-1);
        SetUp();
        Flags(true, false, false, false);
        // Set up after the start: the dispatcher leaves them alone, only the switch writes.
        auto sync = Start();
        if (c.windows) MakeKey(RegRoot::CurrentUser, kMessengerServiceKey);
        if (c.msn) MakeKey(RegRoot::CurrentUser, kMsnMessengerKey);
        CPreferences copy(prefs_);
        sync->SetWorkingCopy(c.askedAboutCopy ? &prefs_ : &copy);
        registry_.FailWritesAfter(0, "Software\\Microsoft");
        ScopedScriptedPrompter prompter;
        sync->SyncMessengerSettings(prefs_, c.enable);
        registry_.FailWritesAfter(-1);
        auto texts = prompter.Texts();
        if (!*c.start) {
            EXPECT_TRUE(texts.empty());
        } else {
            ASSERT_EQ(1u, texts.size());
            EXPECT_EQ(0u, texts[0].find(c.start)) << texts[0];
        }
        EXPECT_EQ(c.flagAfter, FlagInRegistry("SyncMessenger"));
    }
}

TEST_F(ClientWriteTest, TheRegistryMonitorsReloadRestoresAProgramWhoseSyncWasSwitchedOff) {
    Put(kMessengerServiceKey, "MSNState", Bin4(0));
    Flags(true, false, false, false);
    auto original = Snapshot(ClientKeys());
    auto sync = Start();
    sync->SyncClientSettings(prefs_, 1);
    ASSERT_NE(original, Snapshot(ClientKeys()));
    {
        RegKey k;
        k.Open(RegRoot::CurrentUser, kPreferencesKey, kRegReadWrite);
        k.SetString("SyncMessenger", "0");
    }
    sync->ReloadClientSettings(prefs_);
    EXPECT_TRUE(log_.Has("Received event from registry monitor, reloading client settings\n"));
    EXPECT_FALSE(prefs_.GetSyncMessenger());
    EXPECT_EQ(original, Snapshot(ClientKeys()));
}

TEST(ClientSettingsChangedTest, SyncAndAddressChangesAreToldApart) {
    const struct {
        const char* what;
        std::function<void(CPreferences&)> change;
        bool sync, address;
    } cases[] = {
        {"nothing", [](CPreferences&) {}, false, false},
        {"SyncXLite", [](CPreferences& p) { p.SetSyncXLite(true); }, true, false},
        {"DoNotSync", [](CPreferences& p) { p.SetDoNotSync(true); }, true, false},
        {"SyncMsnMessenger", [](CPreferences& p) { p.SetSyncMsnMessenger(false); }, true, false},
        {"SyncMode in capitals", [](CPreferences& p) { p.SetSyncMode("DYNAMIC"); }, false, false},
        {"SyncMode", [](CPreferences& p) { p.SetSyncMode("fixed"); }, false, true},
        {"LocalIpAddress", [](CPreferences& p) { p.SetLocalIpAddress("127.0.0.7"); }, false, true},
        {"FixedSipPort", [](CPreferences& p) { p.SetFixedSipPort(5080); }, false, true},
        {"FixedSocksPort", [](CPreferences& p) { p.SetFixedSocksPort(1090); }, false, true},
        {"UseSip alone", [](CPreferences& p) { p.SetUseSip(1); }, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CPreferences before;
        CPreferences after(before);
        c.change(after);
        EXPECT_EQ(c.sync, SyncSettingsChanged(before, after));
        EXPECT_EQ(c.address, AddressSettingsChanged(before, after));
    }
}

}  // namespace
}  // namespace corv::test
