#include "tray/net/local_host.h"

#include <gtest/gtest.h>

#include "platform/scripted_network.h"
#include "tray/core/log_capture.h"
#include "tray/net/test_hosts_file.h"

namespace corv {
namespace {

class LocalHostTest : public ::testing::Test {
  protected:
    ScopedScriptedNetwork net_;
};

TEST_F(LocalHostTest, StartsVersion20AndLearnsNameAndPrimaryAddress) {
    net_.SetHostName("desk");
    net_.AddHost("desk", {"10.0.0.5", "192.168.1.9"});
    {
        ScopedLogCapture log;
        CLocalHost host;
        EXPECT_TRUE(host.IsStarted());
        EXPECT_EQ(kSocketsVersion20, net_.LastRequestedVersion());
        EXPECT_EQ("desk", host.GetHostName());
        EXPECT_EQ("10.0.0.5", host.GetPrimaryAddress());
        EXPECT_EQ(0, net_.CleanupCalls());
        EXPECT_EQ("", log.Text());
    }
    EXPECT_EQ(1, net_.CleanupCalls());
}

TEST_F(LocalHostTest, AnotherVersionIsReleasedAndRefused) {
    net_.SetStartup(0, 0x0101);
    ScopedLogCapture log;
    {
        CLocalHost host;
        EXPECT_FALSE(host.IsStarted());
        EXPECT_EQ(kSockErrVersion, host.StartupError());
        EXPECT_EQ(CLocalHost::kNotAvailable, host.GetHostName());
        EXPECT_EQ("", host.GetPrimaryAddress());
        EXPECT_EQ(1, net_.CleanupCalls());
    }
    EXPECT_EQ(1, net_.CleanupCalls());  // released once, not again on destruction
    EXPECT_EQ("Error: Could not initialize winsock\n", log.Text());
}

TEST_F(LocalHostTest, FailedStartupIsNotReleased) {
    net_.SetStartup(10091);  // WSASYSNOTREADY
    ScopedLogCapture log;
    { CLocalHost host; }
    EXPECT_EQ(0, net_.CleanupCalls());
    EXPECT_EQ("Error: Could not initialize winsock\n", log.Text());
}

TEST_F(LocalHostTest, UnknownNameAndAddressAreLogged) {
    net_.SetHostName("", 10093);
    {
        ScopedLogCapture log;
        CLocalHost host;
        EXPECT_EQ("Not available", host.GetHostName());
        EXPECT_EQ("", host.GetPrimaryAddress());
        EXPECT_EQ("Error: Could not get local host name\nError: Could not get local ip-address\n",
                  log.Text());
    }
    net_.SetHostName("desk");
    net_.FailLookup("desk", kSockErrHostNotFound);
    net_.SetCleanupResult(10093);
    ScopedLogCapture log;
    {
        CLocalHost host;
        EXPECT_EQ("desk", host.GetHostName());
        EXPECT_EQ("", host.GetPrimaryAddress());
    }
    EXPECT_EQ("Error: Could not get local ip-address\nError: Clean up of winsock failed\n",
              log.Text());
}

TEST_F(LocalHostTest, HostTableQueries) {
    net_.SetHostName("desk");
    net_.AddHost("desk", {"127.0.0.1", "0.0.0.7", "10.0.0.5", "192.168.1.9"});
    net_.AddHost("loop", {"127.0.0.1"});
    net_.AddHost("zero", {"127.0.0.1", "0.1.2.3"});
    net_.AddHost("empty", {});
    net_.FailLookup("gone", kSockErrHostNotFound);
    CLocalHost host;

    ScopedLogCapture log;
    host.LogLocalAddresses("desk");
    EXPECT_TRUE(host.IsInLocalHostTable("desk", "192.168.1.9"));
    EXPECT_FALSE(host.IsInLocalHostTable("desk", "192.168.1.90"));
    EXPECT_FALSE(host.IsInLocalHostTable("desk", " 10.0.0.5"));
    EXPECT_EQ("10.0.0.5", host.GetFirstLocalAddress("desk"));
    EXPECT_EQ("127.0.0.1", host.GetFirstLocalAddress("loop"));
    EXPECT_EQ("0.1.2.3", host.GetFirstLocalAddress("zero"));  // the last one looked at
    EXPECT_EQ("", host.GetFirstLocalAddress("empty"));
    EXPECT_EQ("", host.GetFirstLocalAddress("gone"));
    EXPECT_FALSE(host.IsInLocalHostTable("gone", "10.0.0.5"));
    host.LogLocalAddresses("gone");
    EXPECT_EQ("127.0.0.1", host.ResolveAddress("DESK"));
    EXPECT_EQ("", host.ResolveAddress("gone"));
    EXPECT_EQ(
        "ipaddr[0] = 127.0.0.1\nipaddr[1] = 0.0.0.7\nipaddr[2] = 10.0.0.5\n"
        "ipaddr[3] = 192.168.1.9\n"
        "gethostbyname failed, WSAGetLastError()=11001\n"
        "gethostbyname failed, WSAGetLastError()=11001\n"
        "gethostbyname failed, WSAGetLastError()=11001\n",
        log.Text());
}

// The system's sockets: the host entry of this machine and of loopback names. The machine's
// own name is looked up only when the hosts file answers for it, so no name server is asked.
TEST(LocalHostSystemTest, LearnsThisMachine) {
    if (!HostNameIsInHostsFile()) GTEST_SKIP() << "the host name is not in the hosts file";
    CLocalHost host;
    ASSERT_TRUE(host.IsStarted());
    EXPECT_NE("Not available", host.GetHostName());
    EXPECT_FALSE(host.GetPrimaryAddress().empty());
    EXPECT_TRUE(host.IsInLocalHostTable(host.GetHostName(), host.GetPrimaryAddress()));
    EXPECT_EQ("127.0.0.1", host.ResolveAddress("localhost"));
    EXPECT_FALSE(host.GetFirstLocalAddress(host.GetHostName()).empty());
}

}  // namespace
}  // namespace corv
