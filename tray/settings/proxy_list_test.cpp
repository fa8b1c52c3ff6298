#include "tray/settings/proxy_list.h"

#include <gtest/gtest.h>

namespace corv {
namespace {

struct ListCase {
    const char* text;
    const char* httpHost;
    const char* httpPort;
    const char* httpsHost;
    const char* httpsPort;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ProxyListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ProxyListTest, FillsTheHttpAndHttpsPairs) {
    const ListCase& c = GetParam();
    ProxyHints h;
    h.m_configScriptAddr = "kept";
    ParseProxyList(c.text, &h);
    EXPECT_EQ(c.httpHost, h.m_httpProxyAddr);
    EXPECT_EQ(c.httpPort, h.m_httpProxyPort);
    EXPECT_EQ(c.httpsHost, h.m_httpsProxyAddr);
    EXPECT_EQ(c.httpsPort, h.m_httpsProxyPort);
    EXPECT_EQ("kept", h.m_configScriptAddr);
}

INSTANTIATE_TEST_SUITE_P(
    SchemeLists, ProxyListTest,
    ::testing::Values(ListCase{"http=web:8080;https=secure:8443;ftp=files:21", "web", "8080",
                               "secure", "8443"},
                      ListCase{"HTTPS=secure;Http=web", "web", "80", "secure", "443"},
                      ListCase{" http = web : 3128 ; https= s:1 ", "web", "3128", "s", "1"},
                      ListCase{"http=http://web:81/;https=https://s", "web", "81", "s", "443"},
                      ListCase{"ftp=files:21;socks=s:1080", "", "", "", ""},
                      ListCase{"=web:80;;=;http=", "", "", "", ""},
                      ListCase{";;;===;;;", "", "", "", ""},
                      ListCase{"http=:8080;https=:443", "", "", "", ""}));

INSTANTIATE_TEST_SUITE_P(
    SingleAddresses, ProxyListTest,
    ::testing::Values(ListCase{"proxy:8080", "proxy", "8080", "", ""},
                      ListCase{"  proxy  ", "proxy", "80", "", ""},
                      ListCase{"proxy:70000", "proxy", "80", "", ""},
                      ListCase{"first:1;second:2", "first", "1", "", ""},
                      ListCase{"http://web:8081/path", "web", "8081", "", ""},
                      ListCase{"https://secure", "", "", "secure", "443"},
                      ListCase{"ftp://files:21", "", "", "", ""},
                      ListCase{"http://", "", "", "", ""}, ListCase{"://", "", "", "", ""},
                      ListCase{"", "", "", "", ""},
                      ListCase{"pr\xC3\xB6xy:8080", "pr\xC3\xB6xy", "8080", "", ""}));

INSTANTIATE_TEST_SUITE_P(BadPorts, ProxyListTest,
                         ::testing::Values(ListCase{"p:0", "p", "80", "", ""},
                                           ListCase{"p:65536", "p", "80", "", ""},
                                           ListCase{"p:-1", "p", "80", "", ""},
                                           ListCase{"p:abc", "p", "80", "", ""},
                                           ListCase{"p:", "p", "80", "", ""},
                                           ListCase{"p:99999999999999999999", "p", "80", "", ""},
                                           ListCase{"https=p:0", "", "", "p", "443"},
                                           ListCase{"p:65535", "p", "65535", "", ""},
                                           ListCase{"p:0080", "p", "80", "", ""}));

TEST(ProxyAddressTest, ScriptServerPrefersTheHttpPair) {
    std::string host = "unchanged", port = "unchanged";
    EXPECT_TRUE(ParseScriptServer("http://wpad.example/proxy.pac", &host, &port));
    EXPECT_EQ("wpad.example", host);
    EXPECT_EQ("80", port);
    EXPECT_TRUE(ParseScriptServer("https://pac.example:8443/p.pac", &host, &port));
    EXPECT_EQ("pac.example", host);
    EXPECT_EQ("8443", port);
    // A number in the path is not a port.
    EXPECT_TRUE(ParseScriptServer("http://wpad/8081/proxy.pac", &host, &port));
    EXPECT_EQ("wpad", host);
    EXPECT_EQ("80", port);

    host = port = "unchanged";
    EXPECT_FALSE(ParseScriptServer("file://c:/proxy.pac", &host, &port));
    EXPECT_FALSE(ParseScriptServer("http://", &host, &port));
    EXPECT_FALSE(ParseScriptServer("", &host, &port));
    EXPECT_EQ("unchanged", host);
    EXPECT_EQ("unchanged", port);
}

TEST(ProxyAddressTest, PortsAreWholeNumbersFrom1To65535) {
    int port = 0;
    EXPECT_TRUE(ParsePort(" 443 ", &port));
    EXPECT_EQ(443, port);
    for (const char* bad : {"0", "65536", "-1", "+80", "abc", "8o", "", " ", "1e3", "100000"})
        EXPECT_FALSE(ParsePort(bad, &port)) << bad;
    EXPECT_EQ(443, port);
}

}  // namespace
}  // namespace corv
