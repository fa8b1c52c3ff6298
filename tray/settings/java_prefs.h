// The Java preferences tree that the Java client reads its settings from: node layout, the
// Java preferences name encoding, and string accessors on an open node.
#pragma once

#include <string>

#include "platform/registry.h"

namespace corv {

// Under HKEY_CURRENT_USER.
extern const char* const kJavaPrefsKey;  // "Software\JavaSoft\Prefs\corvane\proxyclient"
// Nodes in stored form, as full paths below the root of kJavaPrefsKey.
extern const char* const kJavaSipNode;     // kJavaPrefsKey + "\/Sip"
extern const char* const kJavaSocksNode;   // "\/Socks"
extern const char* const kJavaTunnelNode;  // "\/Tunnel"
extern const char* const kJavaUserNode;    // "\/User"

// Capitals become "/" + letter, "/" becomes "\" and "\" becomes "//"; other bytes, those above
// 127 included, stay as they are.
std::string EncodeJavaPrefsName(const std::string& text);
// The reverse, for the texts this program interprets itself. A "/" that starts no escape is
// kept as it is.
std::string DecodeJavaPrefsName(const std::string& stored);

// Value names whose contents never reach a log in clear (case ignored, plain or stored form).
bool IsCredentialName(const std::string& name);

// A node of the tree, opened for the shortest time (closed on destruction).
class JavaKey {
  public:
    static constexpr size_t kMaxValueBytes = 2048;

    long Open(RegRoot root, const std::string& path, unsigned access = kRegRead);
    long Create(RegRoot root, const std::string& path);
    void Close() { key_.Close(); }
    bool IsOpen() const { return key_.IsOpen(); }
    RegKey& Raw() { return key_; }

    // Encodes name and value, logs "javakey.SetStringValue(...)" and writes a REG_SZ.
    long SetStringValue(const std::string& name, const std::string& value);
    // Encodes the name and reads a REG_SZ of at most 2048 bytes into *out exactly as stored.
    // Any failure (missing, wrong type, too long) leaves *out as the caller set it.
    long QueryStringValue(const std::string& name, std::string* out) const;
    // As QueryStringValue, decoded back to the text that was written.
    long QueryDecodedStringValue(const std::string& name, std::string* out) const;
    // Encodes the name and deletes the value; a missing value is no error.
    long DeleteValue(const std::string& name);

  private:
    RegKey key_;
};

}  // namespace corv
