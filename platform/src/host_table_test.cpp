#include "platform/host_table.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/scripted_network.h"
#include "platform/system.h"

namespace corv {
namespace {

class HostTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        path_ = ProgramPath() + "\\hosttable-" + std::to_string(CurrentProcessId()) + ".txt";
#else
        path_ = "/tmp/corv-hosttable-" + std::to_string(CurrentProcessId()) + ".txt";
#endif
    }
    void TearDown() override {
        RemoveFile(path_);
    }
    void Write(const std::string& text) {
        FILE* f = OpenFile(path_, "wb");
        ASSERT_NE(nullptr, f);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    std::string path_;
    ScriptedNetwork system_;
};

TEST_F(HostTableTest, TheFileIsReadAtEveryLookupAndOnlyLoopbackAddressesCount) {
    HostTableNetwork net(system_, path_);
    std::string name;
    std::vector<std::string> a;
    EXPECT_EQ(kSockErrNetDown, net.HostName(&name));  // no file yet
    EXPECT_EQ(kSockErrHostNotFound, net.LookupHost("desk", &a));

    Write(
        "# the test's machine\ndesk 127.0.0.5 10.1.2.3 127.0.0.256 127.1 127.0.0.1 # 127.0.0.9\n");
    ASSERT_EQ(0, net.HostName(&name));
    EXPECT_EQ("desk", name);
    ASSERT_EQ(0, net.LookupHost("DESK", &a));
    EXPECT_EQ((std::vector<std::string>{"127.0.0.5", "127.0.0.1"}), a);

    Write("desk 127.0.0.6");
    ASSERT_EQ(0, net.LookupHost("desk", &a));
    EXPECT_EQ(std::vector<std::string>{"127.0.0.6"}, a);
    Write("desk");
    EXPECT_EQ(kSockErrNoData, net.LookupHost("desk", &a));
}

TEST_F(HostTableTest, NoNameReachesTheSystemAndNoConnectLeavesLoopback) {
    Write("desk 127.0.0.5");
    system_.AddHost("elsewhere", {"127.0.0.7"});
    system_.Route(SocketKind::Udp, "127.0.0.2", 0, "127.0.0.1");
    system_.Route(SocketKind::Udp, "10.0.0.1", 0, "10.0.0.9");
    HostTableNetwork net(system_, path_);
    std::vector<std::string> a;
    EXPECT_EQ(kSockErrHostNotFound, net.LookupHost("elsewhere", &a));
    ASSERT_EQ(0, net.LookupHost("localhost", &a));
    EXPECT_EQ(std::vector<std::string>{"127.0.0.1"}, a);
    ASSERT_EQ(0, net.LookupHost("10.0.0.1", &a));
    EXPECT_EQ(std::vector<std::string>{"10.0.0.1"}, a);

    NetworkBackend::Socket s;
    ASSERT_EQ(0, net.OpenSocket(SocketKind::Udp, &s));
    EXPECT_EQ(kSockErrNetUnreachable, net.Connect(s, "10.0.0.1", 80));
    EXPECT_EQ(0, net.Connect(s, "127.0.0.2", 80));
    net.CloseSocket(s);
    EXPECT_EQ(std::vector<std::string>{"udp 127.0.0.2:80"}, system_.Attempts());
}

}  // namespace
}  // namespace corv
