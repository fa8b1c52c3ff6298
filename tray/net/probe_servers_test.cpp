#include "tray/net/probe_servers.h"

#include <gtest/gtest.h>

#include "platform/system.h"

namespace corv {
namespace {

void ExpectServers(const ProbeServers& s, const char* h1, const char* a1, const char* h2,
                   const char* a2) {
    EXPECT_EQ(h1, s.first.host);
    EXPECT_EQ(a1, s.first.address);
    EXPECT_EQ(h2, s.second.host);
    EXPECT_EQ(a2, s.second.address);
}

TEST(ProbeServersTest, OverrideGivesBothServers) {
    ExpectServers(ParseProbeServers("one.test,127.0.0.3;two.test,127.0.0.4"), "one.test",
                  "127.0.0.3", "two.test", "127.0.0.4");
    ExpectServers(ParseProbeServers(" one.test , 127.0.0.3 ; two.test,127.0.0.4 "), "one.test",
                  "127.0.0.3", "two.test", "127.0.0.4");
}

TEST(ProbeServersTest, MalformedOverridesStayOnLoopback) {
    ExpectServers(ParseProbeServers("one.test,127.0.0.3"), "one.test", "127.0.0.3", "one.test",
                  "127.0.0.3");
    ExpectServers(ParseProbeServers("one.test,127.0.0.3;two.test"), "one.test", "127.0.0.3",
                  "one.test", "127.0.0.3");
    ExpectServers(ParseProbeServers(";two.test,127.0.0.4"), "localhost", "127.0.0.1", "two.test",
                  "127.0.0.4");
    for (const char* bad : {"", ";", ",;,", "garbage", " , ; , ", "a,;b,"})
        ExpectServers(ParseProbeServers(bad), "localhost", "127.0.0.1", "localhost", "127.0.0.1");
}

TEST(ProbeServersTest, TestsRunAgainstLoopbackServers) {
    if (GetEnv(kProbeServersVariable).empty()) GTEST_SKIP() << "not run by ctest";
    ProbeServers s = BuiltInProbeServers();
    EXPECT_EQ(0u, s.first.address.rfind("127.", 0));
    EXPECT_EQ(0u, s.second.address.rfind("127.", 0));
}

}  // namespace
}  // namespace corv
