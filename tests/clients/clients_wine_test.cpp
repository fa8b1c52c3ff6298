// The client programs' settings in the real registry: their versions read from stand-in program
// files, and whole runs of corvtray.exe that point them at the proxy and give them back byte for
// byte, also when a run is killed on the way.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <map>

#include "platform/text.h"
#include "tests/support/tray_process.h"
#include "tray/clients/client_detection.h"

namespace corv::test {
namespace {

const char* const kPrefs = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kSettings = "SOFTWARE\\Velmora\\Corvane\\Settings";
const char* const kLogger = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";
const char* const kService = "Software\\Microsoft\\MessengerService";
const char* const kRtc = "Software\\Microsoft\\RTCIMSP";
const char* const kMsn = "Software\\Microsoft\\MSNMessenger";
const char* const kEconf = "SOFTWARE\\France Telecom\\&Conf\\CallControl\\Administration\\SIP";
const char* const kXLite = "Software\\XtenNetworksInc\\X-Lite";
const char* const kXLiteFwd = "Software\\FreeWorldDialupLLC\\X-LiteFWD";
const char* const kPolicy =
    "SOFTWARE\\Policies\\Microsoft\\Messenger\\Client\\{83D4679F-B6D7-11D2-BF36-00C04FB90A03}";

struct KeyRef {
    HKEY root;
    const char* path;
};
const KeyRef kClientKeys[] = {{HKEY_CURRENT_USER, kService}, {HKEY_CURRENT_USER, kRtc},
                              {HKEY_CURRENT_USER, kMsn},     {HKEY_LOCAL_MACHINE, kEconf},
                              {HKEY_CURRENT_USER, kXLite},   {HKEY_CURRENT_USER, kXLiteFwd}};

// Every value of the client keys as the registry holds it: type and raw bytes, by name.
std::map<std::string, std::string> ExportClientKeys() {
    std::map<std::string, std::string> out;
    for (const KeyRef& ref : kClientKeys) {
        HKEY k;
        if (RegOpenKeyExW(ref.root, Widen(ref.path).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) {
            out[ref.path] = "no key";
            continue;
        }
        DWORD maxName = 0, maxData = 0;
        RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                         &maxData, nullptr, nullptr);
        for (DWORD i = 0;; ++i) {
            std::vector<wchar_t> name(maxName + 2);
            std::vector<BYTE> data(maxData + 2);
            DWORD nameLen = maxName + 1, dataLen = maxData, type = 0;
            if (RegEnumValueW(k, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen) !=
                ERROR_SUCCESS)
                break;
            std::string text = "type " + std::to_string(type) + ":";
            for (DWORD b = 0; b < dataLen; ++b) text += Format(" %02x", data[b]);
            out[std::string(ref.path) + "\\" +
                ToLower(Narrow(std::wstring(name.data(), nameLen)))] = text;
        }
        RegCloseKey(k);
    }
    return out;
}

std::string ReadString(HKEY root, const std::string& key, const std::string& name) {
    HKEY k;
    if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return "<absent>";
    std::vector<wchar_t> buf(4096);
    DWORD size = static_cast<DWORD>(buf.size() * sizeof(wchar_t)), type = 0;
    LONG rc = RegQueryValueExW(k, Widen(name).c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(buf.data()), &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return "<absent>";
    if (type == REG_DWORD || type == REG_BINARY)
        return std::to_string(*reinterpret_cast<DWORD*>(buf.data()));
    return Narrow(std::wstring(buf.data(), size / sizeof(wchar_t)).c_str());
}

void SetRaw(HKEY root, const char* key, const char* name, DWORD type, const std::string& bytes) {
    HKEY k;
    if (RegCreateKeyExW(root, Widen(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr))
        return;
    RegSetValueExW(k, Widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(k);
}
void SetBin4(const char* key, const char* name, DWORD v) {
    SetRaw(HKEY_CURRENT_USER, key, name, REG_BINARY, std::string(reinterpret_cast<char*>(&v), 4));
}

std::vector<std::string> Records() {
    std::vector<std::string> names;
    for (const char* p :
         {"eConf", "Windows Messenger", "MSN Messenger", "X-Lite", "X-Lite Free World Dialup"}) {
        std::string name = std::string("ClientBackup ") + p;
        if (ReadString(HKEY_CURRENT_USER, kSettings, name) != "<absent>") names.push_back(name);
    }
    return names;
}

// The first address of this machine's own host entry, which the tray client accepts as its
// fixed local address. Nothing is sent anywhere.
std::string HostAddress() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 0), &wsa);
    char host[256] = "";
    std::string address;
    if (gethostname(host, sizeof(host)) == 0) {
        if (hostent* h = gethostbyname(host))
            if (h->h_addr_list[0])
                address = inet_ntoa(*reinterpret_cast<in_addr*>(h->h_addr_list[0]));
    }
    WSACleanup();
    return address;
}

void CopyStandIn(const char* from, const std::string& folder, const char* name) {
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    CopyFileW(Widen(WindowsPathOf(from)).c_str(), Widen(folder + "\\" + name).c_str(), FALSE);
}

class ClientsWineTest : public ::testing::Test {
  protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        ClearFixtures();
        for (const KeyRef& ref : kClientKeys) DeleteKeyTree(ref.root, ref.path);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kService);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kMsn);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kPolicy);
    }

    // An account, a plain-text log and this machine's address as the fixed local address.
    void Account(TrayProcess& tray) {
        address_ = HostAddress();
        ASSERT_FALSE(address_.empty());
        SetString(HKEY_CURRENT_USER, kPrefs, "Home", tray.Home());
        SetString(HKEY_CURRENT_USER, kPrefs, "UserId", "bob");
        SetString(HKEY_CURRENT_USER, kPrefs, "Passwd", "digest");
        SetString(HKEY_CURRENT_USER, kPrefs, "SyncMode", "fixed");
        SetString(HKEY_CURRENT_USER, kPrefs, "LocalIpAddress", address_);
        SetDword(HKEY_CURRENT_USER, kPrefs, "LaunchAtStartup", 0);
        SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
    }
    void Sync(const char* windows, const char* msn, const char* econf, const char* xlite,
              DWORD useSip) {
        SetString(HKEY_CURRENT_USER, kPrefs, "SyncMessenger", windows);
        SetString(HKEY_CURRENT_USER, kPrefs, "SyncMsnMessenger", msn);
        SetString(HKEY_CURRENT_USER, kPrefs, "SyncEconf", econf);
        SetString(HKEY_CURRENT_USER, kPrefs, "SyncXLite", xlite);
        SetString(HKEY_CURRENT_USER, kPrefs, "DoNotSync", "0");
        SetDword(HKEY_CURRENT_USER, kPrefs, "UseSip", useSip);
    }

    // Every program installed and set up with settings of its own; MSN Messenger's program file
    // has a version resource (7.5), Windows Messenger's has none.
    void Programs(TrayProcess& tray) {
        CopyStandIn(STAND_IN_VERSIONED, tray.Home() + "\\msn", "msnmsgr.exe");
        CopyStandIn(STAND_IN_PLAIN, tray.Home() + "\\wm", "msmsgs.exe");
        SetString(HKEY_LOCAL_MACHINE, kMsn, "InstallationDirectory", tray.Home() + "\\msn");
        SetString(HKEY_LOCAL_MACHINE, kService, "InstallationDirectory", tray.Home() + "\\wm");

        SetString(HKEY_CURRENT_USER, kService, "PrimaryService", "Microsoft RTC Instant Messaging");
        SetBin4(kService, "MSNState", 0);
        SetBin4(kService, "ProxyState", 0);
        SetBin4(kService, "SOCKS5Port", 1080);
        SetString(HKEY_CURRENT_USER, kService, "SOCKS5Server", "localhost");
        SetString(HKEY_CURRENT_USER, kService, "SOCKS5Username", "alice");
        SetRaw(HKEY_CURRENT_USER, kService, "SOCKS5Password", REG_BINARY, std::string(300, '\x5a'));
        SetString(HKEY_CURRENT_USER, kService, "LastUser", "alice@example.invalid");
        SetString(HKEY_CURRENT_USER, kRtc, "ServerAddress", "localhost:5060");
        SetDword(HKEY_CURRENT_USER, kRtc, "Transport", 2);

        SetBin4(kMsn, "UseTCP", 0xFFFFFFFF);
        SetBin4(kMsn, "UseSOCKS5", 0);
        SetDword(HKEY_CURRENT_USER, kMsn, "SOCKS5Port", 1080);  // not the messengers' own type
        SetString(HKEY_CURRENT_USER, kMsn, "SOCKS5Server", std::string(600, 'h'));

        SetDword(HKEY_LOCAL_MACHINE, kEconf, "LocalPort", 5060);
        SetString(HKEY_LOCAL_MACHINE, kEconf, "OutboundProxyAddr", "localhost");

        SetString(HKEY_CURRENT_USER, kXLite, "general:OutboundSIPProxy", "localhost:5060");
        SetDword(HKEY_CURRENT_USER, kXLite, "hosts:ListenSIPPort", 5060);
        SetString(HKEY_CURRENT_USER, kXLite, "last_dialed", "1234");
        SetDword(HKEY_CURRENT_USER, kXLiteFwd, "hosts:ListenSIPPort", 5062);
    }

    std::string address_;
};

TEST_F(ClientsWineTest, TheMessengersVersionsComeFromTheirProgramFiles) {
    TrayProcess tray("versions");
    Programs(tray);
    ClientDetection detection;
    EXPECT_TRUE(detection.DetectMsnMessenger());
    EXPECT_TRUE(detection.DetectWindowsMessenger());
    EXPECT_EQ("7.5.311-0000", detection.MsnMessengerVersion());
    EXPECT_EQ("<NOT SET>", detection.WindowsMessengerVersion());
    EXPECT_TRUE(detection.IsMsnMessenger7OrLater());
    EXPECT_TRUE(detection.IsWindowsMessenger5OrLater());

    // The program file gone: no version, which counts as older.
    DeleteFileW(Widen(tray.Home() + "\\msn\\msnmsgr.exe").c_str());
    ClientDetection later;
    EXPECT_TRUE(later.DetectMsnMessenger());
    EXPECT_EQ("", later.MsnMessengerVersion());
    EXPECT_FALSE(later.IsMsnMessenger7OrLater());
}

struct Mode {
    const char* what;
    const char *windows, *msn, *econf, *xlite;
    DWORD useSip;
    // Values that show the programs pointed at the proxy while it runs ("%a": the address).
    std::vector<std::pair<std::string, std::string>> pointed;
};

TEST_F(ClientsWineTest, ARunPointsTheProgramsAtTheProxyAndLeavesEveryValueAsItWas) {
    const Mode modes[] = {
        {"messengers over SOCKS",
         "1",
         "1",
         "0",
         "0",
         0,
         {{std::string(kService) + "|SOCKS5Server", "%a"},
          {std::string(kService) + "|SOCKS5Username", "<absent>"},
          {std::string(kMsn) + "|SOCKS5Server", "%a"},
          {std::string(kMsn) + "|UseSOCKS5", "4294967295"}}},
        {"Windows Messenger over SIP",
         "1",
         "0",
         "0",
         "0",
         1,
         {{std::string(kService) + "|PrimaryService", "Microsoft RTC Instant Messaging"},
          {std::string(kRtc) + "|ServerAddress", "%a:5060"}}},
        {"eConf", "0", "0", "1", "0", 0, {{std::string(kEconf) + "|OutboundProxyAddr", "%a"}}},
        {"X-Lite",
         "0",
         "0",
         "0",
         "1",
         0,
         {{std::string(kXLite) + "|general:OutboundSIPProxy", "%a:5060"},
          {std::string(kXLiteFwd) + "|hosts:ListenSIPPort", "5061"}}},
    };
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.what);
        Clear();
        TrayProcess tray("run");
        Account(tray);
        Programs(tray);
        Sync(m.windows, m.msn, m.econf, m.xlite, m.useSip);
        const auto before = ExportClientKeys();

        ASSERT_TRUE(tray.Start());
        HWND w = tray.WaitForWindow("Corvane");
        ASSERT_NE(nullptr, w);
        for (const auto& [where, want] : m.pointed) {
            std::string key = where.substr(0, where.find('|'));
            std::string name = where.substr(where.find('|') + 1);
            std::string expected = want;
            if (expected.rfind("%a", 0) == 0) expected = address_ + expected.substr(2);
            HKEY root = key == kEconf ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
            EXPECT_EQ(expected, ReadString(root, key, name)) << key << "\\" << name;
        }
        EXPECT_FALSE(Records().empty());
        EXPECT_EQ(0, tray.CloseAndWait(w));

        EXPECT_EQ(before, ExportClientKeys());
        EXPECT_TRUE(Records().empty());
    }
}

TEST_F(ClientsWineTest, AKilledRunIsUndoneByTheNextStart) {
    TrayProcess tray("killed");
    Account(tray);
    Programs(tray);
    Sync("1", "1", "0", "0", 0);
    const auto before = ExportClientKeys();

    ASSERT_TRUE(tray.Start());
    ASSERT_NE(nullptr, tray.WaitForWindow("Corvane"));
    tray.Kill();
    ASSERT_EQ(address_, ReadString(HKEY_CURRENT_USER, kService, "SOCKS5Server"));
    EXPECT_EQ(
        (std::vector<std::string>{"ClientBackup Windows Messenger", "ClientBackup MSN Messenger"}),
        Records());

    ASSERT_TRUE(tray.Start());
    HWND w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(address_, ReadString(HKEY_CURRENT_USER, kService, "SOCKS5Server"));
    EXPECT_EQ(0, tray.CloseAndWait(w));
    EXPECT_EQ(before, ExportClientKeys());
    EXPECT_TRUE(Records().empty());
    std::string log = tray.ReadLog();
    EXPECT_NE(std::string::npos, log.find("ClientBackup: restored Windows Messenger settings\n"))
        << log;
    EXPECT_NE(std::string::npos, log.find("ClientBackup: restored MSN Messenger settings\n"));
}

// A key whose access list allows reading only.
void LockKey(HKEY root, const char* path) {
    HKEY k;
    if (RegOpenKeyExW(root, Widen(path).c_str(), 0, WRITE_DAC, &k) != ERROR_SUCCESS) return;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    BYTE aclBuf[256];
    PACL acl = reinterpret_cast<PACL>(aclBuf);
    InitializeAcl(acl, sizeof(aclBuf), ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(k);
    FreeSid(everyone);
}

void UnlockKey(HKEY root, const char* path) {
    HKEY k;
    if (RegOpenKeyExW(root, Widen(path).c_str(), 0, WRITE_DAC, &k) != ERROR_SUCCESS) return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
    RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(k);
}

TEST_F(ClientsWineTest, AnX_LiteKeyThatRefusesWritingIsAskedAboutAndYesSwitchesItsSyncOff) {
    TrayProcess tray("locked");
    Account(tray);
    Programs(tray);
    Sync("0", "0", "0", "1", 0);
    DeleteKeyTree(HKEY_CURRENT_USER, kXLiteFwd);
    LockKey(HKEY_CURRENT_USER, kXLite);
    HKEY probe;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(kXLite).c_str(), 0, KEY_WRITE, &probe) ==
        ERROR_SUCCESS) {
        RegCloseKey(probe);
        UnlockKey(HKEY_CURRENT_USER, kXLite);
        GTEST_SKIP() << "this Wine does not enforce registry access lists";
    }
    const auto before = ExportClientKeys();

    ASSERT_TRUE(tray.Start());
    HWND w = tray.WaitForWindow("Corvane");
    ASSERT_NE(nullptr, w);
    std::string text = tray.AnswerMessageBox(15000, IDYES);
    EXPECT_EQ(0u, text.find("Could not set X-Lite settings automatically.\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Out Bound Proxy: " + address_ + ":5060,")) << text;
    for (int i = 0; i < 100 && ReadString(HKEY_CURRENT_USER, kPrefs, "SyncXLite") != "0"; ++i)
        Sleep(50);
    EXPECT_EQ("0", ReadString(HKEY_CURRENT_USER, kPrefs, "SyncXLite"));
    EXPECT_EQ(0, tray.CloseAndWait(w));
    EXPECT_EQ(before, ExportClientKeys());
    UnlockKey(HKEY_CURRENT_USER, kXLite);
}

}  // namespace
}  // namespace corv::test
