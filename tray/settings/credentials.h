// The two credential encodings the preferences hold: the account password digest (Passwd) and
// the web proxy's credential string (ProxyAuth), with the MD5 and Base64 they are made of.
#pragma once

#include <cstddef>
#include <string>

namespace corv {

// The text that is digested (user id, domain marker, password) and the proxy credential pair
// (user id, colon, password) have fixed upper bounds, in bytes of the system's code page, that
// the service and the Java client were built for. Longer credentials are refused, never cut.
constexpr size_t kDigestTextBytes = 80;
constexpr size_t kProxyCredentialBytes = 192;

// MD5 of the bytes as 32 lowercase hexadecimal digits.
std::string Md5Hex(const std::string& bytes);

// Base64 with padding, broken into lines of 76 characters by CR LF (none after the last line).
std::string Base64Encode(const std::string& bytes);
// Decodes what the alphabet's characters say; every other character (line breaks, padding,
// blanks) is skipped.
std::string Base64Decode(const std::string& text);

// The account password digest: MD5 of user id + domain marker + password in the system's code
// page. False, with the reason for the user in *error, when the text is too long or cannot be
// written in the code page.
bool MakeAccountDigest(const std::string& userId, const std::string& password, std::string* digest,
                       std::string* error);

// The proxy credential string of "userId:password". False, with the reason, as above.
bool EncodeProxyAuth(const std::string& userId, const std::string& password, std::string* encoded,
                     std::string* error);
// Splits a stored credential string at the first colon of its decoded text. False when there is
// no colon or it comes first; a stored value of any length is decoded whole.
bool DecodeProxyAuth(const std::string& encoded, std::string* userId, std::string* password);

}  // namespace corv
