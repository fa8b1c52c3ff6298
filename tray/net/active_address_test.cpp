#include "tray/net/active_address.h"

#include <gtest/gtest.h>

#include "platform/loopback_listener.h"
#include "platform/memory_registry.h"
#include "platform/scripted_network.h"
#include "tray/core/log_capture.h"
#include "tray/net/local_host.h"
#include "tray/net/test_hosts_file.h"
#include "tray/settings/java_prefs.h"
#include "tray/settings/preferences.h"

namespace corv {
namespace {

using Attempts = std::vector<std::string>;

// A machine "desk" with a LAN address and loopback, probe servers and proxies in a host table.
class ProbeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        net_.SetHostName("desk");
        net_.AddHost("desk", {"10.0.0.5", "127.0.0.1"});
        net_.AddHost("tunnel.test", {"10.9.0.1", "10.9.0.2"});
        net_.AddHost("other.test", {"10.9.0.3"});
        net_.AddHost("https.proxy", {"10.8.0.1"});
        net_.AddHost("http.proxy", {"10.8.0.2"});
        net_.AddHost("script.server", {"10.8.0.3"});
        options_.servers = {{"tunnel.test", "10.9.1.1"}, {"other.test", "10.9.1.2"}};
        options_.wait = [this](unsigned ms) { waits_.push_back(ms); };
        prefs_.SetIsAdministrator(false);
        prefs_.SetInstalledForAllUsers(false);
    }

    std::string Choose(unsigned waitMs = 5000) {
        return GetActiveAddress(prefs_, hints_, waitMs, options_);
    }

    ScopedScriptedNetwork net_;
    ScopedMemoryRegistry registry_;
    CPreferences prefs_;
    ProxyHints hints_;
    AddressChoiceOptions options_;
    std::vector<unsigned> waits_;
};

TEST_F(ProbeTest, UdpProbeReportsTheLocalAddressOrWhyNot) {
    net_.Route(SocketKind::Udp, "10.9.0.1", 80, "10.0.0.5");
    {
        ScopedLogCapture log;
        EXPECT_EQ("10.0.0.5", probeUDP("tunnel.test", 80));
        EXPECT_EQ("Probing address tunnel.test:80 using UDP\nLocal active address is 10.0.0.5\n",
                  log.Text());
    }
    ScopedLogCapture log;
    EXPECT_EQ("", probeUDP("nowhere.test", 80));
    EXPECT_EQ("", probeUDP("other.test", 443));
    net_.FailLocalName("10.9.0.1", 10022);
    EXPECT_EQ("", probeUDP("tunnel.test", 80));
    net_.FailSocket(SocketKind::Udp, 10055);
    EXPECT_EQ("", probeUDP("tunnel.test", 80));
    EXPECT_EQ(
        "Probing address nowhere.test:80 using UDP\n"
        "Probing nowhere.test:80 failed, reason: Could not resolve ip-address, reason: 11001\n"
        "Probing address other.test:443 using UDP\n"
        "Cannot connect to: other.test:443, reason: 10051!\n"
        "Probing address tunnel.test:80 using UDP\n"
        "Probing tunnel.test:80 failed, reason: getsockname failed (10022)\n"
        "Probing address tunnel.test:80 using UDP\n"
        "Failed to create socket, reason: (10055) " +
            SocketErrorText(10055) + "\n",
        log.Text());
    EXPECT_EQ(0, net_.OpenSockets());
}

TEST_F(ProbeTest, TcpProbeReportsTheLocalAddressOrWhyNot) {
    net_.Route(SocketKind::Tcp, "10.9.0.1", 443, "10.0.0.5");
    {
        ScopedLogCapture log;
        EXPECT_EQ("10.0.0.5", probeTCP("tunnel.test", 443));
        EXPECT_EQ("Probing address tunnel.test:443 using TCP\nLocal active address is 10.0.0.5\n",
                  log.Text());
    }
    ScopedLogCapture log;
    EXPECT_EQ("", probeTCP("nowhere.test", 80));
    EXPECT_EQ("", probeTCP("tunnel.test", 80));
    net_.FailLocalName("10.9.0.1", 10022);
    EXPECT_EQ("", probeTCP("tunnel.test", 443));
    net_.FailSocket(SocketKind::Tcp, 10055);
    EXPECT_EQ("", probeTCP("tunnel.test", 443));
    EXPECT_EQ(
        "Probing address nowhere.test:80 using TCP\n"
        "Probing nowhere.test failed, reason: Could not resolve ip-address\n"
        "Probing address tunnel.test:80 using TCP\n"
        "Probing tunnel.test failed, reason: Connecting to the server failed (10061)\n"
        "Probing address tunnel.test:443 using TCP\n"
        "Probing tunnel.test failed, reason: getsockname failed (10022)\n"
        "Probing address tunnel.test:443 using TCP\n"
        "Probing tunnel.test failed, reason: Allocating socket failed (10055)\n",
        log.Text());
    EXPECT_EQ(0, net_.OpenSockets());
}

TEST_F(ProbeTest, ProbeAllTriesProxiesThenServersInOrder) {
    hints_.m_httpsProxyAddr = "https.proxy";
    hints_.m_httpsProxyPort = "8443";
    hints_.m_httpProxyAddr = "http.proxy";
    hints_.m_httpProxyPort = "65536";
    hints_.m_configScriptAddr = "script.server";
    hints_.m_configScriptPort = "";
    EXPECT_EQ("", ProbeAll(ProbeProtocol::Tcp, hints_, "tunnel.test", "10.9.1.1"));
    EXPECT_EQ((Attempts{"tcp 10.8.0.1:8443", "tcp 10.8.0.2:80", "tcp 10.8.0.3:80",
                        "tcp 10.9.1.1:80", "tcp 10.9.1.1:443", "tcp 10.9.0.1:80"}),
              net_.Attempts());

    net_.ClearAttempts();
    net_.Route(SocketKind::Udp, "10.9.1.1", 443, "10.0.0.5");
    EXPECT_EQ("10.0.0.5", ProbeAll(ProbeProtocol::Udp, hints_, "tunnel.test", "10.9.1.1"));
    EXPECT_EQ((Attempts{"udp 10.8.0.1:8443", "udp 10.8.0.2:80", "udp 10.8.0.3:80",
                        "udp 10.9.1.1:80", "udp 10.9.1.1:443"}),
              net_.Attempts());

    // Empty hints are skipped.
    net_.ClearAttempts();
    EXPECT_EQ("", ProbeAll(ProbeProtocol::Tcp, ProxyHints(), "tunnel.test", "10.9.1.1"));
    EXPECT_EQ((Attempts{"tcp 10.9.1.1:80", "tcp 10.9.1.1:443", "tcp 10.9.0.1:80"}),
              net_.Attempts());
}

TEST_F(ProbeTest, HintPortsOutsideTheRangeBecome80) {
    EXPECT_EQ(8080, ProbePort("8080"));
    for (const char* bad : {"0", "65536", "-1", "abc", ""}) EXPECT_EQ(80, ProbePort(bad)) << bad;
}

TEST_F(ProbeTest, FixedModeReturnsTheFixedAddressWithoutProbing) {
    prefs_.SetSyncMode("FIXED");
    prefs_.SetLocalIpAddress("172.16.0.9");  // not a local address: taken anyway
    ScopedLogCapture log;
    EXPECT_EQ("172.16.0.9", Choose());
    EXPECT_EQ("Using fixed addr: \n", log.Text());
    EXPECT_EQ(0, net_.StartupCalls());

    prefs_.SetLocalIpAddress("");
    net_.Route(SocketKind::Udp, "10.9.1.1", 0, "10.0.0.5");
    EXPECT_EQ("10.0.0.5", Choose());
}

TEST_F(ProbeTest, UsableUdpResultEndsTheChoice) {
    net_.Route(SocketKind::Udp, "10.9.1.1", 80, "10.0.0.5");
    ScopedLogCapture log;
    EXPECT_EQ("10.0.0.5", Choose());
    EXPECT_EQ(
        "GetActiveAddress: Local addresses are: \n"
        "ipaddr[0] = 10.0.0.5\n"
        "ipaddr[1] = 127.0.0.1\n"
        "Probing address 10.9.1.1:80 using UDP\n"
        "Local active address is 10.0.0.5\n"
        "probeUDP returned: 10.0.0.5\n",
        log.Text());
    EXPECT_TRUE(waits_.empty());
    EXPECT_EQ(net_.StartupCalls(), net_.CleanupCalls());
}

TEST_F(ProbeTest, UnusableUdpResultsFallToTcp) {
    net_.Route(SocketKind::Udp, "10.9.1.1", 0, "10.0.0.77");  // not this machine's
    net_.Route(SocketKind::Tcp, "10.9.1.1", 443, "10.0.0.5");
    ScopedLogCapture log;
    EXPECT_EQ("10.0.0.5", Choose());
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("probeUDP returned: 10.0.0.77\n"));
    EXPECT_NE(std::string::npos, text.find("probeTCP returned: 10.0.0.5\n"));
    EXPECT_TRUE(waits_.empty());
}

TEST_F(ProbeTest, ZeroAndLoopbackResultsAreNotUsable) {
    net_.AddHost("desk", {"10.0.0.5", "127.0.0.1", "0.0.0.0"});
    net_.Route(SocketKind::Udp, "10.9.1.1", 0, "0.0.0.0");
    net_.Route(SocketKind::Tcp, "10.9.1.1", 0, "127.0.0.1");
    EXPECT_EQ("10.0.0.5", Choose(1000));
    EXPECT_EQ(std::vector<unsigned>{1000}, waits_);
}

TEST_F(ProbeTest, NoNetworkWaitsOnceThenTakesTheFirstLocalAddress) {
    ScopedLogCapture log;
    EXPECT_EQ("10.0.0.5", Choose(5000));
    EXPECT_EQ(std::vector<unsigned>{5000}, waits_);
    std::string text = log.Text();
    EXPECT_NE(std::string::npos,
              text.find("probeTCP returned: \nNo connectivity, waiting 5000ms before probing "
                        "again\nProbing address 10.9.1.1:80 using UDP\n"));
    // Both passes tried UDP and TCP on the fallback address and the host.
    EXPECT_EQ(12u, net_.Attempts().size());
}

TEST_F(ProbeTest, OnlyLoopbackOrNothingEndsIn127001) {
    net_.AddHost("desk", {"127.0.0.1"});
    EXPECT_EQ("127.0.0.1", Choose());

    net_.AddHost("desk", {});
    ScopedLogCapture log;
    EXPECT_EQ("127.0.0.1", Choose());
    EXPECT_NE(std::string::npos, log.Text().find("\nFound no local ip addr, using 127.0.0.1\n"));
}

TEST_F(ProbeTest, UnknownHostNameEndsIn127001) {
    net_.SetHostName("", 10093);
    net_.Route(SocketKind::Udp, "10.9.1.1", 0, "10.0.0.5");
    ScopedLogCapture log;
    EXPECT_EQ("127.0.0.1", Choose());
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("Probing address 10.9.1.1:80 using UDP\n"));
    EXPECT_NE(std::string::npos, text.find("\nFound no local ip addr, using 127.0.0.1\n"));
}

TEST_F(ProbeTest, ResultOutsideTheHostTableAfterTheProbesIs127001) {
    // The host entry changes between the probes and the final check.
    net_.Route(SocketKind::Udp, "10.9.1.1", 0, "10.0.0.77");
    net_.AddHost("desk", {"0.0.0.1"});
    ScopedLogCapture log;
    EXPECT_EQ("127.0.0.1", Choose());
    EXPECT_NE(std::string::npos, log.Text().find("\nFound no local ip addr, using 127.0.0.1\n"));
}

TEST_F(ProbeTest, TunnelServerListChoosesTheHost) {
    auto setList = [this](const std::string& list) {
        JavaKey tunnel;
        ASSERT_EQ(kOk, tunnel.Create(RegRoot::CurrentUser, kJavaTunnelNode));
        tunnel.SetStringValue("proxyServerAddresses", list);
    };
    // The first three attempts: the fallback address on 80 and 443, then the host on 80.
    auto firstThree = [this]() {
        Attempts a = net_.Attempts();
        net_.ClearAttempts();
        a.resize(3);
        return a;
    };

    Choose();  // no list: the first server
    EXPECT_EQ((Attempts{"udp 10.9.1.1:80", "udp 10.9.1.1:443", "udp 10.9.0.1:80"}), firstThree());

    setList("  ,, Other.Test, tunnel.test");
    Choose();
    // The second server's name switches to its fallback address.
    EXPECT_EQ((Attempts{"udp 10.9.1.2:80", "udp 10.9.1.2:443", "udp 10.9.0.3:80"}), firstThree());

    setList("Proxy.Example.COM other.test");
    net_.AddHost("proxy.example.com", {"10.7.0.1"});
    Choose();
    EXPECT_EQ((Attempts{"udp 10.9.1.1:80", "udp 10.9.1.1:443", "udp 10.7.0.1:80"}), firstThree());

    setList(" ,  , ");
    Choose();
    EXPECT_EQ((Attempts{"udp 10.9.1.1:80", "udp 10.9.1.1:443", "udp 10.9.0.1:80"}), firstThree());
}

TEST_F(ProbeTest, AllUsersInstallReadsTheListUnderTheMachineRoot) {
    prefs_.SetInstalledForAllUsers(true);
    prefs_.SetIsAdministrator(true);
    JavaKey tunnel;
    ASSERT_EQ(kOk, tunnel.Create(RegRoot::LocalMachine, kJavaTunnelNode));
    tunnel.SetStringValue("proxyServerAddresses", "other.test");
    Choose();
    EXPECT_EQ("udp 10.9.1.2:80", net_.Attempts().front());
}

// The system's sockets against loopback only: the built-in servers come from ctest's
// loopback override, and a listener stands for an https proxy.
class SystemProbeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HostNameIsInHostsFile()) GTEST_SKIP() << "the host name is not in the hosts file";
        options_.servers = {{"localhost", "127.0.0.1"}, {"localhost", "127.0.0.2"}};
        options_.wait = [this](unsigned ms) { waits_.push_back(ms); };
    }
    ScopedMemoryRegistry registry_;
    CPreferences prefs_;
    AddressChoiceOptions options_;
    std::vector<unsigned> waits_;
};

TEST_F(SystemProbeTest, ProbesReadTheLoopbackRoute) {
    LoopbackListener listener;
    ASSERT_TRUE(listener.IsListening());
    EXPECT_EQ("127.0.0.1", probeTCP("localhost", listener.Port()));
    EXPECT_EQ("127.0.0.1", probeUDP("127.0.0.1", 9));
    EXPECT_EQ("", probeUDP("255.255.255.255", 80));
    int closedPort = 0;
    {
        LoopbackListener closed;
        closedPort = closed.Port();
    }
    EXPECT_EQ("", probeTCP("127.0.0.1", closedPort));
}

// Every probe answers with the loopback address, which the Java client must not be given:
// the choice falls back to the machine's first other address (Wine lists the interfaces'
// addresses for the machine's own name), or to 127.0.0.1 when it has none.
TEST_F(SystemProbeTest, ProbesSeeingOnlyLoopbackFallBackToTheFirstLocalAddress) {
    LoopbackListener listener;
    ProxyHints hints;
    hints.m_httpsProxyAddr = "127.0.0.1";
    hints.m_httpsProxyPort = std::to_string(listener.Port());
    std::string expected;
    {
        CLocalHost host;
        expected = host.GetFirstLocalAddress(host.GetHostName());
    }
    if (expected.empty() || expected.compare(0, 2, "0.") == 0) expected = "127.0.0.1";
    EXPECT_EQ(expected, GetActiveAddress(prefs_, hints, 0, options_));
    EXPECT_EQ(std::vector<unsigned>{0}, waits_);
}

}  // namespace
}  // namespace corv
