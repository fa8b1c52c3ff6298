#include "tray/settings/credentials.h"

#include <gtest/gtest.h>

#include <string>

namespace corv {
namespace {

TEST(CredentialsTest, Md5MatchesTheReferenceSuite) {
    const struct {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.digest, Md5Hex(c.input)) << '"' << c.input << '"';
    // Lengths around the padding boundaries (55, 56, 64 bytes) against independent values.
    EXPECT_EQ("ef1772b6dff9a122358552954ad0df65", Md5Hex(std::string(55, 'a')));
    EXPECT_EQ("3b0c8ac703f828b04c6c197006d17218", Md5Hex(std::string(56, 'a')));
    EXPECT_EQ("014842d480b571495a4a0363793f7367", Md5Hex(std::string(64, 'a')));
}

TEST(CredentialsTest, Base64EncodesInLinesOf76AndDecodesPastStrayCharacters) {
    const struct {
        const char* plain;
        const char* encoded;
    } vectors[] = {{"", ""},
                   {"f", "Zg=="},
                   {"fo", "Zm8="},
                   {"foo", "Zm9v"},
                   {"foob", "Zm9vYg=="},
                   {"fooba", "Zm9vYmE="},
                   {"foobar", "Zm9vYmFy"}};
    for (const auto& v : vectors) {
        EXPECT_EQ(v.encoded, Base64Encode(v.plain)) << v.plain;
        EXPECT_EQ(v.plain, Base64Decode(v.encoded)) << v.encoded;
    }
    // 57 bytes fill one line exactly; one more byte starts a second one.
    std::string line57 = Base64Encode(std::string(57, 'x'));
    EXPECT_EQ(76u, line57.size());
    EXPECT_EQ(std::string::npos, line57.find('\r'));
    std::string line58 = Base64Encode(std::string(58, 'x'));
    EXPECT_EQ(76u, line58.find("\r\n"));
    EXPECT_EQ(76u + 2 + 4, line58.size());
    // The largest credential pair: 256 characters in four lines, no break at the end.
    std::string longest = Base64Encode(std::string(192, '\xfe'));
    EXPECT_EQ(262u, longest.size());
    EXPECT_NE("\r\n", longest.substr(longest.size() - 2));
    EXPECT_EQ(std::string(192, '\xfe'), Base64Decode(longest));
    // Line breaks, blanks, padding and foreign characters are skipped.
    EXPECT_EQ("foobar", Base64Decode(" Zm9v\r\n Ym*Fy==\t"));
    EXPECT_EQ("fo", Base64Decode("Zm8"));  // missing padding
}

TEST(CredentialsTest, AccountDigestIsStableLowercaseAndRefusesTooLongText) {
    std::string digest, error;
    // md5("alice:corvane.example:secret"), computed independently.
    ASSERT_TRUE(MakeAccountDigest("alice", "secret", &digest, &error));
    EXPECT_EQ("4e51673885c901eeb478366a27a167eb", digest);
    std::string other;
    ASSERT_TRUE(MakeAccountDigest("alice", "secreT", &other, &error));
    EXPECT_NE(digest, other);

    // 80 bytes with the 17-byte marker: 63 bytes of user id and password fit, 64 do not.
    ASSERT_TRUE(MakeAccountDigest(std::string(43, 'u'), std::string(20, 'p'), &digest, &error));
    EXPECT_EQ(32u, digest.size());
    digest = "unchanged";
    EXPECT_FALSE(MakeAccountDigest(std::string(44, 'u'), std::string(20, 'p'), &digest, &error));
    EXPECT_EQ("unchanged", digest);
    EXPECT_EQ("User id and password are too long: together they may have at most 63 characters!",
              error);
}

TEST(CredentialsTest, ProxyCredentialsRoundTripSplitAtTheFirstColonAndRefuseTooLongPairs) {
    std::string encoded, error, user, password;
    ASSERT_TRUE(EncodeProxyAuth("proxyuser", "pa:ss:word", &encoded, &error));
    EXPECT_EQ("cHJveHl1c2VyOnBhOnNzOndvcmQ=", encoded);
    ASSERT_TRUE(DecodeProxyAuth(encoded, &user, &password));
    EXPECT_EQ("proxyuser", user);
    EXPECT_EQ("pa:ss:word", password);

    // 192 bytes with the colon fit (in four lines), 193 do not.
    ASSERT_TRUE(EncodeProxyAuth(std::string(171, 'u'), std::string(20, 'p'), &encoded, &error));
    ASSERT_TRUE(DecodeProxyAuth(encoded, &user, &password));
    EXPECT_EQ(std::string(171, 'u'), user);
    EXPECT_FALSE(EncodeProxyAuth(std::string(172, 'u'), std::string(20, 'p'), &encoded, &error));
    EXPECT_EQ(
        "Proxy user id and password are too long: together they may have at most 191 "
        "characters!",
        error);

    // A stored value longer than what the dialog writes is still read whole.
    std::string stored = Base64Encode(std::string(300, 'u') + ":" + std::string(40, 'p'));
    ASSERT_TRUE(DecodeProxyAuth(stored, &user, &password));
    EXPECT_EQ(300u, user.size());
    EXPECT_EQ(40u, password.size());

    const char* failures[] = {"", "bm9jb2xvbg==" /* "nocolon" */, "OnB3" /* ":pw" */};
    for (const char* f : failures) EXPECT_FALSE(DecodeProxyAuth(f, &user, &password)) << f;
    ASSERT_TRUE(DecodeProxyAuth("dTo=" /* "u:" */, &user, &password));
    EXPECT_EQ("u", user);
    EXPECT_EQ("", password);
}

}  // namespace
}  // namespace corv
