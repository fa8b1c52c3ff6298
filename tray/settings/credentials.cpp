#include "tray/settings/credentials.h"

#include <cstdint>
#include <cstring>

#include "platform/codepage.h"
#include "platform/text.h"
#include "tray/settings/service.h"

namespace corv {

namespace {

// --- MD5 ---

const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

void Md5Block(const unsigned char* block, uint32_t state[4]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = uint32_t(block[i * 4]) | uint32_t(block[i * 4 + 1]) << 8 |
               uint32_t(block[i * 4 + 2]) << 16 | uint32_t(block[i * 4 + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        uint32_t next = b + RotateLeft(a + f + kSine[i] + m[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

// --- Base64 ---

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const size_t kLineLength = 76;

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The credential text in the system's code page, as the service digests it.
bool CodePageBytes(const std::string& utf8, std::string* bytes, std::string* error) {
    if (Utf8ToAnsi(utf8, bytes)) return true;
    *error = "User id and password may only use characters of this computer's language setting!";
    return false;
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::string data = bytes;
    uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
    data += '\x80';
    while (data.size() % 64 != 56) data += '\0';
    for (int i = 0; i < 8; ++i) data += static_cast<char>((bits >> (8 * i)) & 0xff);
    for (size_t i = 0; i < data.size(); i += 64)
        Md5Block(reinterpret_cast<const unsigned char*>(data.data() + i), state);
    std::string hex;
    for (uint32_t word : state)
        for (int i = 0; i < 4; ++i) hex += Format("%02x", (word >> (8 * i)) & 0xff);
    return hex;
}

std::string Base64Encode(const std::string& bytes) {
    std::string flat;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (size_t j = 0; j < 3; ++j)
            group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        for (size_t j = 0; j < 4; ++j)
            flat += j <= n ? kAlphabet[(group >> (18 - 6 * j)) & 0x3f] : '=';
    }
    std::string lines;
    for (size_t i = 0; i < flat.size(); i += kLineLength) {
        if (i > 0) lines += "\r\n";
        lines += flat.substr(i, kLineLength);
    }
    return lines;
}

std::string Base64Decode(const std::string& text) {
    std::string out;
    uint32_t group = 0;
    int count = 0;
    for (char c : text) {
        int v = Sextet(c);
        if (v < 0) continue;
        group = group << 6 | static_cast<uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>((group >> 16) & 0xff);
            out += static_cast<char>((group >> 8) & 0xff);
            out += static_cast<char>(group & 0xff);
            group = 0;
            count = 0;
        }
    }
    // Two or three characters left over carry one or two more bytes; one carries none.
    if (count == 2) out += static_cast<char>((group >> 4) & 0xff);
    if (count == 3) {
        out += static_cast<char>((group >> 10) & 0xff);
        out += static_cast<char>((group >> 2) & 0xff);
    }
    return out;
}

bool MakeAccountDigest(const std::string& userId, const std::string& password, std::string* digest,
                       std::string* error) {
    std::string marker = ServiceDomainMarker();
    std::string text;
    if (!CodePageBytes(userId + marker + password, &text, error)) return false;
    if (text.size() > kDigestTextBytes) {
        *error = Format(
            "User id and password are too long: together they may have at most %d characters!",
            static_cast<int>(kDigestTextBytes - marker.size()));
        return false;
    }
    *digest = Md5Hex(text);
    return true;
}

bool EncodeProxyAuth(const std::string& userId, const std::string& password, std::string* encoded,
                     std::string* error) {
    std::string pair;
    if (!CodePageBytes(userId + ":" + password, &pair, error)) return false;
    if (pair.size() > kProxyCredentialBytes) {
        *error = Format(
            "Proxy user id and password are too long: together they may have at most %d "
            "characters!",
            static_cast<int>(kProxyCredentialBytes - 1));
        return false;
    }
    *encoded = Base64Encode(pair);
    return true;
}

bool DecodeProxyAuth(const std::string& encoded, std::string* userId, std::string* password) {
    std::string pair = AnsiToUtf8(Base64Decode(encoded));
    size_t colon = pair.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    *userId = pair.substr(0, colon);
    *password = pair.substr(colon + 1);
    return true;
}

}  // namespace corv
