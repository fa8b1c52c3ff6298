// The real corvtray.exe under Wine with hostile preferences and command lines: wrong types,
// over-long and non-ASCII values, control characters, odd client ids. Whatever the input, the
// program starts and ends in order, its log holds the exit line, it writes nothing outside
// Home and its log folder, and it leaves none of the values it removes at exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/tray_process.h"

namespace corv::test {
namespace {

const char* const kPrefs = "SOFTWARE\\Velmora\\Corvane\\Preferences";
const char* const kCorvane = "SOFTWARE\\Velmora\\Corvane";
const char* const kSettings = "SOFTWARE\\Velmora\\Corvane\\Settings";
const char* const kLogger = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";
const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// What the program publishes while it runs and removes at exit.
const char* const kRemovedAtExit[] = {"Status", "StatusCode", "ActiveIpAddress", "ActiveSipPort",
                                      "ActiveSocksPort"};
const unsigned kBound = 30000;  // a safety bound for waits, not a measure

enum class HomeKind {
    Plain,      // the folder holding corvtray.exe
    Long,       // a real folder of 300 characters inside it
    DriveRoot,  // "C:\"
};

struct Case {
    const char* name;  // also names the folder holding corvtray.exe
    HomeKind home;
    std::string args;
    // Registry values beyond Home and the account; given the Home folder.
    std::function<void(const std::string& home)> setup;
    bool runs;                        // true: runs until the quit message; false: ends by itself
    std::string title;                // of the main window, when it runs
    std::string logFolder;            // below Home
    bool script;                      // the verification's output must reach the log
    std::vector<std::string> logHas;  // "<home>" stands for Home
    std::vector<std::string> logLacks;
    std::string status = std::string();  // published while it runs, when not empty
};

std::string Replace(std::string text, const std::string& home) {
    for (size_t at; (at = text.find("<home>")) != std::string::npos;) text.replace(at, 6, home);
    return text;
}

std::wstring Extended(const std::string& path) {
    return L"\\\\?\\" + Widen(path);
}

// The decoded log file, by its absolute path (which may be over the path limit).
std::string ReadLogFile(const std::string& path) {
    HANDLE h = CreateFileW(Extended(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    return DecodeLog(bytes);
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Widen(WithTrailingBackslash(folder) + "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(Narrow(found.cFileName));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::vector<std::string> Subkeys(HKEY root, const std::string& key) {
    std::vector<std::string> names;
    HKEY k;
    if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = 256;
        if (RegEnumKeyExW(k, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(Narrow(std::wstring(name, size)));
    }
    RegCloseKey(k);
    return names;
}

bool HasValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k;
    if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExW(k, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
                 ERROR_SUCCESS;
    RegCloseKey(k);
    return found;
}

std::string ReadStatus() {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(kSettings).c_str(), 0, KEY_READ, &k))
        return std::string();
    wchar_t buf[1024];
    DWORD size = sizeof(buf) - sizeof(wchar_t), type = 0;
    LONG rc = RegQueryValueExW(k, L"Status", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return std::string();
    return Narrow(std::wstring(buf, size / sizeof(wchar_t)).c_str());
}

// A REG_SZ value with exactly these characters, an embedded NUL included.
void SetRawString(HKEY root, const std::string& key, const std::string& name,
                  const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(root, Widen(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr))
        return;
    RegSetValueExW(k, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

void SetPref(const std::string& name, const std::string& value) {
    SetString(HKEY_CURRENT_USER, kPrefs, name, value);
}

// A real folder of 300 characters below `root`, made through the extended path form.
std::string MakeLongFolder(const std::string& root) {
    std::string path = root;
    while (path.size() < 300) {
        path += "\\" + std::string(std::min<size_t>(60, 300 - path.size() - 1), 'l');
        CreateDirectoryW(Extended(path).c_str(), nullptr);
    }
    return path;
}

std::string ClassPathOfMissingEntries(int n) {
    std::string list = "x";
    for (int i = 1; i < n; ++i) list += ";x";
    return list;
}

const std::string kForged = "bob\n[2026-1-1 00:00:00,000]  FAKE LOG LINE";
const std::string kFormat = "%s%n%s%n%x";
const std::string kAccented = "corv\xc3\xa9";
const std::string kCyrillic = "\xd0\xba\xd0\xbe\xd1\x80\xd0\xb2";

std::vector<Case> Cases() {
    auto none = [](const std::string&) {};
    const std::string plainLog = "logs";
    return {
        // The campaign's faults.
        {"longhome",
         HomeKind::Long,
         "",
         none,
         false,
         "",
         plainLog,
         false,
         {"Can't change to directory <home>\n"},
         {"Changed directory to "}},
        {"roothome",
         HomeKind::DriveRoot,
         "",
         none,
         true,
         "Corvane",
         plainLog,
         true,
         {"Changed directory to C:\\\n", "--- Home                  = C:\\\n"},
         {"Could not read: "}},
        {"clientid",
         HomeKind::Plain,
         "/id:ABC",
         none,
         true,
         "Corvane-ABC",
         "logs-ABC",
         true,
         {"SetCorvaneId: ABC\n"},
         {"Could not read: "}},
        {kAccented.c_str(), HomeKind::Plain, "", none, true, "Corvane", plainLog, true, {}, {}},
        {kCyrillic.c_str(), HomeKind::Plain, "", none, true, "Corvane", plainLog, true, {}, {}},
        {"forged",
         HomeKind::Plain,
         "",
         [](const std::string&) {
             SetPref("UserId", kForged);
             SetPref("SyncMode", "fixed");
             SetPref("LocalIpAddress", "127.0.0.9\r\n\x1b\x07x");
         },
         true,
         "Corvane",
         plainLog,
         false,
         {"--- UserId                = bob\\n[2026-1-1 00:00:00,000]  FAKE LOG LINE\n",
          "-->StatusBar: Disabled: Address 127.0.0.9\\r\\n\\x1b\\x07x is not in local host "
          "table\n"},
         {"\n[2026-1-1 00:00:00,000]  FAKE"},
         "Disabled: Address 127.0.0.9 x is not in local host table"},
        {"idescape",
         HomeKind::Plain,
         "/id:\\..\\..\\escape",
         none,
         true,
         "Corvane",
         plainLog,
         true,
         {"Client id \"\\..\\..\\escape\" refused, it holds a path separator; running without a "
          "client id\n"},
         {"SetCorvaneId"}},
        {"idparent",
         HomeKind::Plain,
         "/id:..\\..",
         none,
         true,
         "Corvane",
         plainLog,
         false,
         {"Client id \"..\\..\" refused, it holds a path separator; running without a client "
          "id\n"},
         {}},
        {"idnested",
         HomeKind::Plain,
         "/id:a\\b",
         none,
         true,
         "Corvane",
         plainLog,
         false,
         {"Client id \"a\\b\" refused, it holds a path separator; running without a client id\n"},
         {}},
        {"idlong",
         HomeKind::Plain,
         "/id:" + std::string(300, 'i'),
         none,
         true,
         "Corvane",
         plainLog,
         false,
         {"\" refused, it is longer than 64 characters; running without a client id\n"},
         {}},
        {"classpath",
         HomeKind::Plain,
         "",
         [](const std::string&) { SetPref("classpath", ClassPathOfMissingEntries(1001)); },
         true,
         "Corvane",
         plainLog,
         false,
         {"Warning: unexisting classpath: <home>\\x\n",
          " lines dropped while the log file was closed (at most 1024 wait)\n"},
         {}},
        // A sample of those that behaved soundly before.
        {"wrongtypes",
         HomeKind::Plain,
         "",
         [](const std::string&) {
             SetDword(HKEY_CURRENT_USER, kPrefs, "UserId", 7);
             SetDword(HKEY_CURRENT_USER, kPrefs, "SyncMode", 7);
             SetPref("LaunchAtStartup", "0");
             SetPref("HideAll", "1");
             SetDword(HKEY_CURRENT_USER, kLogger, "log/File/Count", 3);
         },
         true,
         "Corvane",
         plainLog,
         false,
         {"--- LaunchAtStartup       = 1\n"},
         {}},
        {"bigvalues",
         HomeKind::Plain,
         "",
         [](const std::string&) {
             SetPref("Passwd", std::string(2048, 'p'));
             SetPref("HttpProxyAddress", std::string(5000, 'h'));
             SetPref("Url", std::string(2048, 'u'));
             SetPref("classpath", std::string(5000, 'c'));
         },
         true,
         "Corvane",
         plainLog,
         false,
         {"--- HttpProxyAddress      = \n"},
         {}},
        {"format",
         HomeKind::Plain,
         "/" + kFormat + " " + kFormat,
         [](const std::string&) {
             SetPref("UserId", kFormat);
             SetPref("Url", kFormat);
         },
         true,
         "Corvane",
         plainLog,
         false,
         {"Parameters: /" + kFormat + " " + kFormat + ", Started at: ",
          "--- UserId                = " + kFormat + "\n"},
         {}},
        {"embeddednul",
         HomeKind::Plain,
         "",
         [](const std::string&) {
             SetRawString(HKEY_CURRENT_USER, kPrefs, "UserId", std::wstring(L"bob\0evil", 8));
             SetRawString(HKEY_CURRENT_USER, kPrefs, "LocalIpAddress",
                          std::wstring(L"127.0.0.1\0x", 11));
         },
         true,
         "Corvane",
         plainLog,
         false,
         {},
         {"evil"}},
        {"longcommand",
         HomeKind::Plain,
         std::string(30000, 'a'),
         none,
         true,
         "Corvane",
         plainLog,
         false,
         {"Parameters: aaaa"},
         {}},
    };
}

class HostileInputTest : public ::testing::Test {
  protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        ClearFixtures();
        HKEY k;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(kRun).c_str(), 0, KEY_WRITE, &k) == 0) {
            RegDeleteValueW(k, L"VelmoraCorvan");
            RegCloseKey(k);
        }
    }
};

// What a run of Home = "C:\" leaves in C:\, removed file by file.
void RemoveDriveRootFiles(bool logsExisted) {
    for (const char* f :
         {"C:\\logs\\start0.log", "C:\\logs\\start1.log", "C:\\logs\\start2.log",
          "C:\\logs\\start3.log", "C:\\logs\\start4.log", "C:\\logs\\start.log", "C:\\verify.bat"})
        DeleteFileW(Widen(f).c_str());
    if (!logsExisted) RemoveDirectoryW(L"C:\\logs");
}

// One run of the program with the case's input, and every check of its outcome. A failed
// assertion ends this case only.
void RunCase(const Case& c) {
    const std::string temp = TempRoot();
    const std::string tempFolder = temp.substr(0, temp.size() - 1);
    const std::string tempParent = FolderOf(tempFolder);
    const bool logsExisted = IsDirectory("C:\\logs");
    std::set<std::string> root = Entries("C:\\"), inTemp = Entries(tempFolder),
                          besideTemp = Entries(tempParent);
    struct DriveRootCleanup {
        bool active, logsExisted;
        ~DriveRootCleanup() {
            if (active) RemoveDriveRootFiles(logsExisted);
        }
    } cleanup{c.home == HomeKind::DriveRoot, logsExisted};

    TrayProcess tray(c.name);
    std::string home = tray.Home();
    if (c.home == HomeKind::Long) home = MakeLongFolder(tray.Home());
    if (c.home == HomeKind::DriveRoot) home = "C:\\";
    SetPref("Home", home);
    SetPref("UserId", "bob");
    SetPref("Passwd", "digest");
    SetString(HKEY_CURRENT_USER, kLogger, "log/Format1814", "ascii");
    c.setup(home);
    const std::string log = WithTrailingBackslash(home) + c.logFolder + "\\start0.log";
    const std::string script = WithTrailingBackslash(home) + "verify.bat";

    ASSERT_TRUE(tray.Start(c.args));
    if (c.runs) {
        HWND w = tray.WaitForWindow(c.title);
        ASSERT_NE(nullptr, w) << "no window titled " << c.title;
        if (!c.status.empty()) {
            std::string status;
            for (unsigned waited = 0; waited < kBound && status != c.status; waited += 50) {
                Sleep(50);
                status = ReadStatus();
            }
            EXPECT_EQ(c.status, status);
        }
        // The verification's script deletes itself when it is done.
        for (unsigned waited = 0; waited < kBound && FileExists(script); waited += 50) Sleep(50);
        if (c.script) {
            for (unsigned waited = 0; waited < kBound; waited += 50, Sleep(50))
                if (ReadLogFile(log).find("[script] END") != std::string::npos) break;
        }
        EXPECT_EQ(0, tray.CloseAndWait(w, kBound));
    } else {
        EXPECT_EQ(0, tray.WaitForExit(kBound));
    }

    const std::string text = ReadLogFile(log);
    EXPECT_NE(std::string::npos, text.find("~CCorvanApp Exiting at ")) << log << "\n" << text;
    for (const std::string& part : c.logHas)
        EXPECT_NE(std::string::npos, text.find(Replace(part, home))) << part;
    for (const std::string& part : c.logLacks)
        EXPECT_EQ(std::string::npos, text.find(Replace(part, home))) << part;
    if (c.script) {
        EXPECT_NE(std::string::npos, text.find("[script] echo BEGIN >> logs\\start.log")) << text;
        // The script was readable to the command interpreter: it deleted itself.
        std::string oem;
        const std::string del = Utf8ToOem(script, &oem) ? script : "%~f0";
        EXPECT_NE(std::string::npos, text.find("[script] del \"" + del + "\" \n")) << text;
        EXPECT_FALSE(FileExists(script));
        if (c.logFolder != "logs") {  // made for the script only, and gone with it
            EXPECT_FALSE(FileExists(WithTrailingBackslash(home) + "logs"));
        }
    }

    // Nothing left of what the program removes at exit, and no key of its own making.
    for (const char* name : kRemovedAtExit)
        EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kSettings, name)) << name;
    EXPECT_EQ(std::vector<std::string>{}, Subkeys(HKEY_CURRENT_USER, kSettings));
    for (const std::string& key : Subkeys(HKEY_CURRENT_USER, kCorvane))
        EXPECT_TRUE(key == "Preferences" || key == "Settings") << key;
    EXPECT_EQ(std::vector<std::string>{"Corvane"}, Subkeys(HKEY_CURRENT_USER, "SOFTWARE\\Velmora"));
    // Nothing new outside Home and its log folder (all of C:\ is Home for one case).
    for (const std::string& name : Entries("C:\\"))
        EXPECT_TRUE(root.count(name) || c.home == HomeKind::DriveRoot) << "C:\\" << name;
    const std::string ownName = tray.Home().substr(temp.size());
    for (const std::string& name : Entries(tempFolder))
        EXPECT_TRUE(inTemp.count(name) || name == ownName || name == ownName + ".out")
            << tempFolder << "\\" << name;
    for (const std::string& name : Entries(tempParent))
        EXPECT_TRUE(besideTemp.count(name)) << tempParent << "\\" << name;
}

TEST_F(HostileInputTest, EveryInputEndsInOrderAndLeavesNothingOutsideHome) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        Clean();
        RunCase(c);
    }
}

// The tests' own tree delete never reaches outside the temp folder, and removes deep trees.
TEST(RemoveTestTreeTest, RefusesAnythingButAFolderInsideTheTempFolder) {
    const std::string temp = TempRoot();
    const std::string pid = std::to_string(GetCurrentProcessId());
    const std::string outside = "C:\\corv-outside-" + pid;
    const std::string sibling = temp + "corv-sibling-" + pid;
    const std::string file = temp + "corv-file-" + pid + ".txt";
    CreateDirectoryW(Widen(outside).c_str(), nullptr);
    CreateDirectoryW(Widen(sibling).c_str(), nullptr);
    WriteFile(file, "a file");
    for (const std::string& path :
         {outside, std::string("C:\\"), temp, temp.substr(0, temp.size() - 1),
          temp + "corv-sibling-" + pid + "\\..\\..", temp + "\\corv-sibling-" + pid,
          "corv-sibling-" + pid, temp + "corv-sibling-" + pid + "/.", file}) {
        EXPECT_FALSE(RemoveTestTree(path)) << path;
    }
    EXPECT_TRUE(IsDirectory(outside));
    EXPECT_TRUE(IsDirectory(sibling));
    EXPECT_TRUE(FileExists(file));

    // A tree deeper than the path limit, with a read-only file, goes whole; its sibling stays.
    const std::string tree = temp + "corv-tree-" + pid;
    CreateDirectoryW(Widen(tree).c_str(), nullptr);
    const std::string deep = MakeLongFolder(tree);
    HANDLE h = CreateFileW(Extended(deep + "\\readonly.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    EXPECT_TRUE(RemoveTestTree(tree));
    EXPECT_FALSE(FileExists(tree));
    EXPECT_TRUE(IsDirectory(sibling));

    RemoveDirectoryW(Widen(outside).c_str());
    RemoveDirectoryW(Widen(sibling).c_str());
    DeleteFileW(Widen(file).c_str());
}

}  // namespace
}  // namespace corv::test
