#include "tray/core/log_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace corv {
namespace {

namespace fs = std::filesystem;

const char kLoggerKey[] = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteAll(const fs::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary);
    out << data;
}

// The scrambled form undone: bytes that were kept because their scrambled value would be a
// line end are exactly those whose scrambled value is one.
std::string Decode(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        unsigned char x = b ^ CLogFile::kScramble;
        if (b != '\n' && b != '\r' && x != '\n' && x != '\r') b = x;
        out += static_cast<char>(b);
    }
    return out;
}

// A fresh folder standing for the preference Home, and a registry with the /Logger node.
class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int counter = 0;
        home_ = fs::temp_directory_path() / ("corv-log-" + std::to_string(CurrentProcessId()) +
                                             "-" + std::to_string(++counter));
        fs::remove_all(home_);
        fs::create_directories(home_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(home_, ec);
    }

    void SetLogger(const std::string& name, const std::string& value) {
        RegKey key;
        ASSERT_EQ(kOk, key.Create(RegRoot::CurrentUser, kLoggerKey));
        ASSERT_EQ(kOk, key.SetString(name, value));
    }

    std::string Home() const { return home_.string(); }
    fs::path LogPath(int n, const std::string& folder = "logs") const {
        return home_ / folder / ("start" + std::to_string(n) + ".log");
    }

    ScopedMemoryRegistry registry_;
    fs::path home_;
};

TEST_F(LogFileTest, ConfigurationDefaultsAndBounds) {
    {
        CLogFile log;  // no /Logger node at all
        EXPECT_EQ("binary", log.Format());
        EXPECT_EQ(5, log.FileCount());
        EXPECT_EQ(500000, log.FileSize());
    }
    struct Case {
        std::string format, count, size;
        std::string wantFormat;
        int wantCount, wantSize;
    };
    const Case cases[] = {
        {"ASCII", "3", "1234", "ascii", 3, 1234},
        {"  ascii \t", "1000", "1", "ascii", 1000, 1},
        {"text", "0", "0", "binary", 5, 500000},
        {"Binary", "5000", "-7", "binary", 5, 500000},
        {"ascii", "1", "99999999999", "ascii", 1, 500000},
        {"ascii", "nine", "12kb", "ascii", 5, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format + "/" + c.count + "/" + c.size);
        SetLogger("log/Format1814", c.format);
        SetLogger("log/File/Count", c.count);
        SetLogger("log/File/Size", c.size);
        CLogFile log;
        EXPECT_EQ(c.wantFormat, log.Format());
        EXPECT_EQ(c.wantCount, log.FileCount());
        EXPECT_EQ(c.wantSize, log.FileSize());
    }
}

TEST_F(LogFileTest, OnlyPresentNonEmptyShortStringsCount) {
    SetLogger("log/Format1814", "");
    SetLogger("log/File/Count", std::string(100, '7'));  // no room for it in 100 bytes
    RegKey key;
    ASSERT_EQ(kOk, key.Open(RegRoot::CurrentUser, kLoggerKey, kRegReadWrite));
    ASSERT_EQ(kOk, key.SetDword("log/File/Size", 42));  // numbers are stored as text
    CLogFile log;
    EXPECT_EQ("binary", log.Format());
    EXPECT_EQ(5, log.FileCount());
    EXPECT_EQ(500000, log.FileSize());

    SetLogger("log/File/Count", std::string(97, ' ') + "12");  // 99 bytes still fit
    log.ReadConfiguration();
    EXPECT_EQ(12, log.FileCount());
}

TEST_F(LogFileTest, RotationKeepsCountFilesAndRemovesThoseOfALargerCount) {
    SetLogger("log/File/Count", "3");
    fs::create_directories(home_ / "logs");
    for (int i = 0; i <= 6; ++i) WriteAll(LogPath(i), "old" + std::to_string(i));

    CLogFile log;
    ASSERT_TRUE(log.Open(Home(), ""));
    EXPECT_TRUE(log.IsOpen());
    log.Close();

    EXPECT_EQ("", ReadAll(LogPath(0)));
    EXPECT_EQ("old0", ReadAll(LogPath(1)));
    EXPECT_EQ("old1", ReadAll(LogPath(2)));
    for (int i = 3; i <= 6; ++i) EXPECT_FALSE(fs::exists(LogPath(i))) << i;
}

TEST_F(LogFileTest, StaleFileSearchStopsAtTheFirstGap) {
    SetLogger("log/File/Count", "2");
    fs::create_directories(home_ / "logs");
    WriteAll(LogPath(2), "a");
    WriteAll(LogPath(4), "b");
    CLogFile log;
    ASSERT_TRUE(log.Open(Home() + "\\", ""));  // a Home that already ends in a backslash
    log.Close();
    EXPECT_FALSE(fs::exists(LogPath(2)));
    EXPECT_TRUE(fs::exists(LogPath(4)));
    EXPECT_FALSE(fs::exists(LogPath(1)));
}

TEST_F(LogFileTest, ClientIdSelectsItsOwnFolderAndPendingLinesAreWrittenOnOpen) {
    SetLogger("log/Format1814", "ascii");
    CLogFile log;
    log.Log("Starting %s\n", "corvtray");
    log.LogText("100% sure\n");
    EXPECT_EQ(2, log.PendingCount());
    ASSERT_TRUE(log.Open(Home(), "ABC"));
    EXPECT_EQ(0, log.PendingCount());
    EXPECT_TRUE(fs::is_directory(home_ / "logs-ABC"));
    EXPECT_FALSE(fs::exists(home_ / "logs"));

    std::string text = ReadAll(LogPath(0, "logs-ABC"));
    const std::regex line(
        R"(\[\d{4}-[1-9]\d?-[1-9]\d? \d\d:\d\d:\d\d,\d{3}\]  Starting corvtray\r\n)"
        R"(\[[^\]]+\]  100% sure\r\n)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(LogFileTest, TimeStampPadsTimeButNotMonthOrDay) {
    const std::regex stamp(R"(\d{4}-([1-9]|1[0-2])-([1-9]|[12]\d|3[01]) \d\d:\d\d:\d\d,\d{3})");
    std::string s = CLogFile::TimeStamp();
    EXPECT_TRUE(std::regex_match(s, stamp)) << s;
    EXPECT_EQ(0u, CLogFile::LogLine("x\n").find("[" + s.substr(0, 4)));
    EXPECT_NE(std::string::npos, CLogFile::LogLine("x\n").find("]  x\n"));
}

TEST_F(LogFileTest, ScriptLinesAreTakenUnchanged) {
    SetLogger("log/Format1814", "ascii");
    CLogFile log;
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Log("[script] dir listing \n");
    log.Log("plain\n");
    log.Flush();
    std::string text = ReadAll(LogPath(0));
    EXPECT_EQ(0u, text.find("[script] dir listing \r\n[")) << text;
    EXPECT_NE(std::string::npos, text.find("]  plain\r\n"));
}

TEST_F(LogFileTest, ScrambledFormKeepsEveryLineEndReadable) {
    // The same bytes the decoder script is checked against.
    const std::string plain = "[2006-2-7 09:05:03,007]  Main: JVM ok\n[script] done \n";
    const std::string golden =
        "\x1c\x75\x77\x77\x71\x6a\x75\x6a\x70\x67\x77\x7e\x7d\x77\x72\x7d\x77\x74\x6b\x77\x77"
        "\x70\x1a\x67\x67\x4d\x26\x2e\x29\x7d\x67\x4a\x11\x4d\x67\x28\x2c\x0d\x0a\x1c\x34\x24"
        "\x35\x2e\x37\x33\x1a\x67\x23\x28\x29\x22\x67\x0d\x0a";
    EXPECT_EQ(golden, CLogFile::Encode(plain, true));
    EXPECT_EQ("a\r\nb\rc\r\r\n", CLogFile::Encode("a\nb\rc\r\n", false));

    // Every byte value: line ends come out only where the text had them.
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != '\n') all += static_cast<char>(b);
    all += '\n';
    std::string enc = CLogFile::Encode(all, true);
    std::string withoutEnd = enc.substr(0, enc.size() - 2);
    EXPECT_EQ(1, std::count(withoutEnd.begin(), withoutEnd.end(), '\r'));  // the text's own CR
    EXPECT_EQ(0, std::count(withoutEnd.begin(), withoutEnd.end(), '\n'));
    EXPECT_EQ("\r\n", enc.substr(enc.size() - 2));
    std::string back = Decode(enc);
    back.erase(back.size() - 2, 1);  // the CR the file adds before LF
    EXPECT_EQ(all, back);

    CLogFile log;  // binary by default
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Log("Main: JVM ok\n");
    log.Close();
    std::string file = Decode(ReadAll(LogPath(0)));
    EXPECT_NE(std::string::npos, file.find("]  Main: JVM ok\r\n")) << file;
}

TEST_F(LogFileTest, PendingStoreHoldsAtMost1024LinesAndReportsTheRestOnce) {
    SetLogger("log/Format1814", "ascii");
    CLogFile log;
    for (int i = 1; i <= 1027; ++i) log.Log("line %d\n", i);
    EXPECT_EQ(1024, log.PendingCount());
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Log("after open\n");
    log.Close();
    std::string text = ReadAll(LogPath(0));
    EXPECT_EQ(std::string::npos, text.find("line 1025"));
    const std::string dropped =
        "]  Log: 3 lines dropped while the log file was closed (at most 1024 wait)\r\n";
    size_t last = text.find("]  line 1024\r\n"), report = text.find(dropped),
           after = text.find("]  after open\r\n");
    ASSERT_NE(std::string::npos, report) << text;
    EXPECT_LT(last, report);
    EXPECT_LT(report, after);
    EXPECT_EQ(report, text.rfind(dropped));

    // Lines a failed reopen could not write are reported when a file takes lines again.
    fs::remove_all(home_ / "logs");
    log.Log("lost 1\n");
    log.Log("lost 2\n");
    log.Close();
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Close();
    text = ReadAll(LogPath(0));
    EXPECT_NE(std::string::npos,
              text.find("]  Log: 2 lines dropped while the log file was closed (at most 1024 "
                        "wait)\r\n"))
        << text;
}

TEST_F(LogFileTest, TextArgumentsCannotForgeLines) {
    SetLogger("log/Format1814", "ascii");
    CLogFile log;
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Log("Saving userid: %s\n", "bob\n[2026-1-1 00:00:00,000]  FAKE LOG LINE\r\x1b\x07");
    log.Log("two lines\nof the program's own\n");
    log.Close();
    std::string text = ReadAll(LogPath(0));
    EXPECT_NE(std::string::npos,
              text.find("]  Saving userid: bob\\n[2026-1-1 00:00:00,000]  FAKE LOG LINE"
                        "\\r\\x1b\\x07\r\n"))
        << text;
    EXPECT_EQ(std::string::npos, text.find("\n[2026-1-1"));
    EXPECT_NE(std::string::npos, text.find("]  two lines\r\nof the program's own\r\n"));
}

TEST_F(LogFileTest, CloseReopenAndFlush) {
    SetLogger("log/Format1814", "ascii");
    CLogFile log;
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Log("one\n");
    log.Close();
    EXPECT_FALSE(log.IsOpen());

    log.Log("two\n");
    log.Flush();  // closed: writes nothing
    EXPECT_EQ(1, log.PendingCount());
    log.Close();  // closed with lines pending: reopens, writes and closes again
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(0, log.PendingCount());

    log.Log("three\n");
    ASSERT_TRUE(log.Reopen());
    EXPECT_TRUE(log.IsOpen());
    log.Flush();
    log.Log("four\n");
    log.Close();

    std::string text = ReadAll(LogPath(0));
    size_t a = text.find("one"), b = text.find("two"), c = text.find("three"),
           d = text.find("four");
    ASSERT_NE(std::string::npos, d) << text;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, d);
    EXPECT_EQ(4, std::count(text.begin(), text.end(), '\n'));
}

TEST_F(LogFileTest, ReopenFailureIsEchoedAndLinesAreDroppedOnClose) {
    CLogFile log;
    EXPECT_FALSE(log.Reopen());  // no file name yet
    log.Log("before open\n");
    log.Close();  // no file to write to: the line waits for Open
    EXPECT_EQ(1, log.PendingCount());

    ASSERT_TRUE(log.Open(Home(), ""));
    log.Close();
    fs::remove_all(home_ / "logs");
    log.SetConsoleEcho(true);
    log.Log("lost\n");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(log.Reopen());
    log.Close();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(0u, out.find("Could not reopen log file: ")) << out;
    EXPECT_NE(std::string::npos, out.find("start0.log \nreason: "));
    EXPECT_EQ(0, log.PendingCount());
}

TEST_F(LogFileTest, AppendScriptOutput) {
    SetLogger("log/Format1814", "ascii");
    fs::path script = home_ / "start.log";
    WriteAll(script, "  Checking Java \r\n\r\nnetstat: ok\t\n\x1b[31mred\x07\rlast line");

    CLogFile log;
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Log("before\n");
    log.Close();
    log.Log("pending\n");

    EXPECT_TRUE(log.AppendScriptOutput(script.string()));
    EXPECT_FALSE(log.IsOpen());  // closed before, closed after
    std::string text = ReadAll(LogPath(0));
    size_t at = text.find("]  pending\r\n");
    ASSERT_NE(std::string::npos, at) << text;
    EXPECT_EQ(
        "[script] Checking Java \r\n[script]  \r\n[script] netstat: ok \r\n"
        "[script] \\x1b[31mred\\x07\\rlast line \r\n",
        text.substr(at + 12));

    ASSERT_TRUE(log.Reopen());
    EXPECT_TRUE(log.AppendScriptOutput(script.string()));
    EXPECT_TRUE(log.IsOpen());  // open before, open after

    EXPECT_FALSE(log.AppendScriptOutput((home_ / "missing.log").string()));
    log.Close();
    text = ReadAll(LogPath(0));
    EXPECT_NE(std::string::npos, text.find("]  Could not read: "));
    EXPECT_NE(std::string::npos, text.find("missing.log, reason: "));
}

TEST_F(LogFileTest, AppendScriptOutputNeedsALogFile) {
    fs::path script = home_ / "start.log";
    WriteAll(script, "x\n");
    CLogFile log;  // never opened: nowhere to write
    EXPECT_FALSE(log.AppendScriptOutput(script.string()));
}

TEST_F(LogFileTest, UnusableFolderKeepsTheProgramRunning) {
    CLogFile log;
    log.SetConsoleEcho(true);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(log.Open(Home() + "\\missing\\deeper", ""));
    log.Log("still running\n");
    log.Echo("echo %d\n", 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(0u, out.find("Create log dir failed, reason: 0x")) << out;
    EXPECT_NE(std::string::npos, out.find("Could not create log file: "));
    EXPECT_NE(std::string::npos, out.find("start0.log \nreason: "));
    EXPECT_NE(std::string::npos, out.find("\nstill running\necho 1\n"));  // raw text, no time
    EXPECT_FALSE(log.IsOpen());
    for (int i = 0; i < 2000; ++i) log.Log("more\n");
    EXPECT_EQ(1024, log.PendingCount());

    WriteAll(home_ / "logs", "a file where the folder should be");
    CLogFile other;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(other.Open(Home(), ""));
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(0u, out.find("Create log dir failed, reason: file exists and is not a directory: "))
        << out;
    EXPECT_FALSE(other.IsOpen());
}

TEST_F(LogFileTest, FailedRenameIsLogged) {
    SetLogger("log/Format1814", "ascii");
    SetLogger("log/File/Count", "3");
    fs::create_directories(home_ / "logs" / "start2.log" / "inside");  // cannot be replaced
    WriteAll(LogPath(1), "old1");
    CLogFile log;
    ASSERT_TRUE(log.Open(Home(), ""));
    log.Close();
    std::string text = ReadAll(LogPath(0));
    EXPECT_NE(std::string::npos, text.find("]  Rename failed: ")) << text;
    EXPECT_NE(std::string::npos, text.find("start1.log\r\n"));
}

TEST(LineQueueTest, HoldsAtMost1024UnreadLinesAndReusesSlots) {
    LineQueue q;
    EXPECT_FALSE(q.HasUnread());
    EXPECT_EQ("", q.TakeAll());
    for (int i = 0; i < LineQueue::kSlots; ++i) ASSERT_TRUE(q.PushRaw("x"));
    EXPECT_FALSE(q.PushRaw("dropped"));
    EXPECT_FALSE(q.Push("dropped too"));
    EXPECT_TRUE(q.HasUnread());
    std::string all = q.TakeAll();
    EXPECT_EQ(std::string(LineQueue::kSlots, 'x'), all.substr(0, LineQueue::kSlots));
    EXPECT_EQ('[', all[LineQueue::kSlots]);
    EXPECT_NE(std::string::npos,
              all.find("]  Log: 2 lines dropped from a worker thread's queue (at most 1024 wait)\n",
                       LineQueue::kSlots));
    EXPECT_FALSE(q.HasUnread());
    // The loss is reported once.
    ASSERT_TRUE(q.PushRaw("y"));
    EXPECT_EQ("y", q.TakeAll());

    // Drained slots take new lines, far past 1024 over the queue's life.
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(q.Push("Starting JVM...\n"));
        ASSERT_TRUE(q.PushRaw("raw\n"));
        std::string text = q.TakeAll();
        EXPECT_EQ('[', text[0]);
        EXPECT_NE(std::string::npos, text.find("]  Starting JVM...\nraw\n")) << text;
    }
}

TEST(LineQueueTest, ConcurrentWorkersLoseNothingWhileTheReaderDrains) {
    LineQueue q;
    const int kPerWorker = 400;
    auto worker = [&q](char tag) {
        for (int i = 0; i < kPerWorker; ++i)
            while (!q.PushRaw(std::string(1, tag))) std::this_thread::yield();
    };
    std::thread a(worker, 'a'), b(worker, 'b');
    std::string seen;
    while (seen.size() < 2u * kPerWorker) seen += q.TakeAll();
    a.join();
    b.join();
    EXPECT_EQ(kPerWorker, std::count(seen.begin(), seen.end(), 'a'));
    EXPECT_EQ(kPerWorker, std::count(seen.begin(), seen.end(), 'b'));
}

}  // namespace
}  // namespace corv
