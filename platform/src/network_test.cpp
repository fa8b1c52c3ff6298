#include "platform/network.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/loopback_listener.h"
#include "platform/scripted_network.h"

namespace corv {
namespace {

// The system's sockets, only ever pointed at 127.0.0.0/8 or at targets that fail locally.
class SystemNetworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        int offered = 0;
        ASSERT_EQ(0, Network().Startup(kSocketsVersion20, &offered));
        EXPECT_EQ(kSocketsVersion20, offered);
    }
    void TearDown() override { EXPECT_EQ(0, Network().Cleanup()); }

    // Connects a new socket and returns the error; *local gets the local address on success.
    long ConnectFrom(SocketKind kind, const std::string& address, int port, std::string* local) {
        NetworkBackend::Socket s = NetworkBackend::kNoSocket;
        long rc = Network().OpenSocket(kind, &s);
        if (rc != 0) return rc;
        rc = Network().Connect(s, address, port);
        if (rc == 0) rc = Network().LocalAddress(s, local);
        Network().CloseSocket(s);
        return rc;
    }
};

TEST_F(SystemNetworkTest, HostEntriesOfLoopbackNamesAndDottedAddresses) {
    std::string name;
    ASSERT_EQ(0, Network().HostName(&name));
    EXPECT_FALSE(name.empty());

    std::vector<std::string> addresses;
    ASSERT_EQ(0, Network().LookupHost("localhost", &addresses));
    EXPECT_NE(addresses.end(), std::find(addresses.begin(), addresses.end(), "127.0.0.1"));

    ASSERT_EQ(0, Network().LookupHost("127.0.0.5", &addresses));
    EXPECT_EQ(std::vector<std::string>{"127.0.0.5"}, addresses);
}

TEST_F(SystemNetworkTest, ConnectedSocketsReportTheirLocalAddress) {
    LoopbackListener listener;
    ASSERT_TRUE(listener.IsListening());
    std::string local;
    EXPECT_EQ(0, ConnectFrom(SocketKind::Tcp, "127.0.0.1", listener.Port(), &local));
    EXPECT_EQ("127.0.0.1", local);

    // A datagram connect sends nothing; it only fixes the route.
    local.clear();
    EXPECT_EQ(0, ConnectFrom(SocketKind::Udp, "127.0.0.1", 9, &local));
    EXPECT_EQ("127.0.0.1", local);
}

TEST_F(SystemNetworkTest, FailuresComeBackAsSocketErrors) {
    int closedPort = 0;
    {
        LoopbackListener listener;
        ASSERT_TRUE(listener.IsListening());
        closedPort = listener.Port();
    }
    std::string local = "unchanged";
    EXPECT_EQ(kSockErrRefused, ConnectFrom(SocketKind::Tcp, "127.0.0.1", closedPort, &local));
    EXPECT_EQ(kSockErrInvalid, ConnectFrom(SocketKind::Tcp, "not-an-address", 80, &local));
    // Broadcast without permission fails before anything is sent.
    EXPECT_EQ(kSockErrAccess, ConnectFrom(SocketKind::Udp, "255.255.255.255", 80, &local));
    EXPECT_EQ("unchanged", local);
    EXPECT_FALSE(SocketErrorText(kSockErrRefused).empty());
}

TEST(ScriptedNetworkTest, RoutesHostTableAndAttemptsAreUnderTheTestsControl) {
    ScopedScriptedNetwork net;
    net.AddHost("Probe.Example", {"10.1.1.1", "10.1.1.2"});
    net.FailLookup("broken", kSockErrTryAgain);
    net.Route(SocketKind::Udp, "10.1.1.1", 0, "192.168.7.7");

    std::vector<std::string> a;
    EXPECT_EQ(0, Network().LookupHost("probe.example", &a));
    EXPECT_EQ(2u, a.size());
    EXPECT_EQ(kSockErrTryAgain, Network().LookupHost("broken", &a));
    EXPECT_EQ(kSockErrHostNotFound, Network().LookupHost("unknown", &a));

    NetworkBackend::Socket s;
    ASSERT_EQ(0, Network().OpenSocket(SocketKind::Udp, &s));
    EXPECT_EQ(0, Network().Connect(s, "10.1.1.1", 53));
    std::string local;
    EXPECT_EQ(0, Network().LocalAddress(s, &local));
    EXPECT_EQ("192.168.7.7", local);
    EXPECT_EQ(1, net.OpenSockets());
    Network().CloseSocket(s);
    EXPECT_EQ(0, net.OpenSockets());

    ASSERT_EQ(0, Network().OpenSocket(SocketKind::Tcp, &s));
    EXPECT_EQ(kSockErrRefused, Network().Connect(s, "10.1.1.1", 80));
    Network().CloseSocket(s);
    EXPECT_EQ((std::vector<std::string>{"udp 10.1.1.1:53", "tcp 10.1.1.1:80"}), net.Attempts());
}

}  // namespace
}  // namespace corv
