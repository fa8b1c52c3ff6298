#include "tray/settings/java_prefs.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "tray/core/log_capture.h"
#include "tray/settings/preferences.h"

namespace corv {
namespace {

TEST(JavaPrefsNameTest, EncodingEscapesCapitalsAndSlashesOnly) {
    EXPECT_EQ("/Ab1", EncodeJavaPrefsName("Ab1"));
    EXPECT_EQ("/Sip", EncodeJavaPrefsName("Sip"));
    EXPECT_EQ("user/Id", EncodeJavaPrefsName("userId"));
    EXPECT_EQ("a\\b//c", EncodeJavaPrefsName("a/b\\c"));
    EXPECT_EQ("/O/A\\/M", EncodeJavaPrefsName("OA/M"));
    EXPECT_EQ(
        "gr\xC3\xBC\xC3\x9F"
        "e \x7f@[",
        EncodeJavaPrefsName("gr\xC3\xBC\xC3\x9F"
                            "e \x7f@["));
    EXPECT_EQ("", EncodeJavaPrefsName(""));
}

TEST(JavaPrefsNameTest, DecodingUndoesTheEncodingAndToleratesStrayEscapes) {
    for (const char* text : {"Ab1", "externalSipAddress", "a/b\\c", "\\\\//", "ZZ/\\A", "x\xE9Y"})
        EXPECT_EQ(text, DecodeJavaPrefsName(EncodeJavaPrefsName(text))) << text;
    EXPECT_EQ("a/", DecodeJavaPrefsName("a/"));    // a slash at the end escapes nothing
    EXPECT_EQ("/1", DecodeJavaPrefsName("/1"));    // nor one before a digit
    EXPECT_EQ("\\/", DecodeJavaPrefsName("///"));  // "//" first, then a lone slash
}

TEST(JavaPrefsNameTest, CredentialNamesInEitherForm) {
    for (const char* name : {"Passwd", "PASSWD", "hashed/Password", "hashedPassword", "proxyAuth",
                             "proxy/Auth", "PROXYAUTH"})
        EXPECT_TRUE(IsCredentialName(name)) << name;
    for (const char* name : {"user/Id", "Password2", "proxyAuthority", ""})
        EXPECT_FALSE(IsCredentialName(name)) << name;
}

class JavaKeyTest : public ::testing::Test {
  protected:
    ScopedMemoryRegistry registry_;
};

TEST_F(JavaKeyTest, SetStoresAndLogsTheEncodedFormButMasksCredentials) {
    JavaKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kJavaTunnelNode));
    ScopedLogCapture log;
    EXPECT_EQ(kOk, key.SetStringValue("httpProxyAddress", "Proxy/A"));
    EXPECT_EQ(kOk, key.SetStringValue("proxyAuth", "Basic Secret"));
    EXPECT_EQ(kOk, key.SetStringValue("proxyAuth", ""));
    EXPECT_EQ(
        "javakey.SetStringValue(http/Proxy/Address, /Proxy\\/A)\n"
        "javakey.SetStringValue(proxy/Auth, ********)\n"
        "javakey.SetStringValue(proxy/Auth, )\n",
        log.Text());

    RegKey raw;
    ASSERT_EQ(kOk, raw.Open(RegRoot::CurrentUser,
                            "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel"));
    std::string v;
    EXPECT_EQ(kOk, raw.QueryString("http/Proxy/Address", &v));
    EXPECT_EQ("/Proxy\\/A", v);
}

TEST_F(JavaKeyTest, QueryReadsTheStoredFormAndLeavesTheBufferAloneOnFailure) {
    JavaKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kJavaSipNode));
    key.SetStringValue("externalSipAddress", "Sip.Example");
    key.Raw().SetDword("udp/Port", 5060);
    key.Raw().SetString("tcp/Port", std::string(2048, '1'));
    key.Raw().SetString("socks/Port", std::string(2047, '2'));

    ScopedLogCapture log;
    std::string out = "initial";
    EXPECT_EQ(kOk, key.QueryStringValue("externalSipAddress", &out));
    EXPECT_EQ("/Sip./Example", out);
    EXPECT_EQ(kOk, key.QueryDecodedStringValue("externalSipAddress", &out));
    EXPECT_EQ("Sip.Example", out);

    out = "initial";
    EXPECT_NE(kOk, key.QueryStringValue("missing", &out));
    EXPECT_NE(kOk, key.QueryStringValue("udpPort", &out));  // a DWORD is not a string
    EXPECT_NE(kOk, key.QueryStringValue("tcpPort", &out));  // longer than 2048 bytes with its end
    EXPECT_NE(kOk, key.QueryDecodedStringValue("tcpPort", &out));
    EXPECT_EQ("initial", out);
    EXPECT_EQ(kOk, key.QueryStringValue("socksPort", &out));
    EXPECT_EQ(2047u, out.size());
    EXPECT_NE(std::string::npos,
              log.Text().find("javakey.QueryStringValue(external/Sip/Address, ...)\n"));
}

TEST_F(JavaKeyTest, DeleteOfAMissingValueIsNoError) {
    JavaKey key;
    ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kJavaSipNode));
    key.SetStringValue("alwaysTunnelMedia", "true");
    EXPECT_EQ(kOk, key.DeleteValue("alwaysTunnelMedia"));
    EXPECT_EQ(kOk, key.DeleteValue("alwaysTunnelMedia"));
    std::string v;
    EXPECT_EQ(kErrFileNotFound, key.Raw().QueryString("always/Tunnel/Media", &v));
}

}  // namespace
}  // namespace corv
