// The backups' records: a run that dies after any write is undone at the next start, and a
// record that cannot be trusted is never written back.
#include "platform/system.h"
#include "tray/clients/testing/client_fixture.h"

namespace corv::test {
namespace {

class ClientBackupTest : public ClientFixture {
  public:
    // Every program set up, with values the proxy settings change.
    void EveryProgram() {
        InstallMsn("7.0.0813-0000");
        Put(kMsnMessengerKey, "UseSOCKS5", Bin4(0));
        Put(kMsnMessengerKey, "SOCKS5Username", Sz("alice"));
        Put(kMessengerServiceKey, "PrimaryService", Sz("Microsoft RTC Instant Messaging"));
        Put(kMessengerServiceKey, "SOCKS5Password", Bytes(700, 0x11));
        Put(kRtcImspKey, "Transport", Dw(2));
        Put(kEconfKey, "LocalPort", Dw(5060));
        Put(kXLiteKey, "general:OutboundSIPProxy", Sz("localhost:5060"));
        Put(kXLiteFwdKey, "hosts:ListenSIPPort", Dw(5062));
        Flags(true, true, true, true);
    }
    std::vector<uint8_t> RecordBytes(const std::string& program) {
        RegKey k;
        RegValue v;
        k.Open(RegRoot::CurrentUser, kSettingsKeyPath, kRegRead);
        k.QueryValue(BackupRecordName(program), &v);
        return v.data;
    }
    void PutRecord(const std::string& program, const std::vector<uint8_t>& bytes) {
        RegKey k;
        k.Create(RegRoot::CurrentUser, kSettingsKeyPath);
        k.SetBinary(BackupRecordName(program), bytes);
    }
};

// A crash after each write in turn, then one more start: the user's values are back and no
// record is left. Writes that fail from that point on stand for the crash.
TEST_F(ClientBackupTest, ARunThatDiesAfterAnyWriteIsUndoneAtTheNextStart) {
    EveryProgram();
    const auto original = Snapshot(ClientKeys());
    size_t total = 0;
    {
        ScopedScriptedPrompter prompter;
        auto sync = Start();
        registry_.ClearWrites();
        sync->SyncClientSettings(prefs_, 1);
        total = registry_.Writes().size();
        sync->SyncClientSettings(prefs_, 0);
        ASSERT_EQ(original, Snapshot(ClientKeys()));
    }
    ASSERT_GT(total, 30u);
    for (size_t k = 0; k <= total; ++k) {
        SCOPED_TRACE("crash after write " + std::to_string(k));
        {
            ScopedScriptedPrompter prompter({PromptAnswer::No, PromptAnswer::No, PromptAnswer::No,
                                             PromptAnswer::No, PromptAnswer::No});
            auto sync = Start();
            registry_.FailWritesAfter(static_cast<long>(k));
            sync->SyncClientSettings(prefs_, 1);
        }  // the process is gone without its restore
        registry_.FailWritesAfter(-1);
        log_.Clear();
        auto next = Start();
        EXPECT_EQ(original, Snapshot(ClientKeys()));
        EXPECT_TRUE(Records().empty());
        if (k > 0) {
            EXPECT_TRUE(log_.Has("ClientBackup: restored eConf settings\n"));
        }
        // That run changes and restores as usual.
        next->SyncClientSettings(prefs_, 1);
        next->SyncClientSettings(prefs_, 0);
        EXPECT_EQ(original, Snapshot(ClientKeys()));
        EXPECT_TRUE(Records().empty());
    }
}

// A restore that is refused keeps the record: the values come back at the next start.
TEST_F(ClientBackupTest, ARefusedRestoreIsFinishedAtTheNextStart) {
    EveryProgram();
    const auto original = Snapshot(ClientKeys());
    {
        ScopedScriptedPrompter prompter;
        auto sync = Start();
        sync->SyncClientSettings(prefs_, 1);
        registry_.Memory().DenyAccess(RegRoot::CurrentUser, kXLiteKey, kRegWrite);
        sync->SyncClientSettings(prefs_, 0);
    }
    EXPECT_EQ(std::vector<std::string>{"ClientBackup X-Lite"}, Records());
    EXPECT_NE(original, Snapshot(ClientKeys()));

    // Still refused at the next start: kept, and that run's exit tries again.
    auto second = Start();
    EXPECT_TRUE(
        log_.Has("ClientBackup: could not restore every X-Lite setting; the record is kept\n"));
    EXPECT_EQ(std::vector<std::string>{"ClientBackup X-Lite"}, Records());
    registry_.Memory().ClearDenied();
    second->SyncClientSettings(prefs_, 0);
    EXPECT_EQ(original, Snapshot(ClientKeys()));
    EXPECT_TRUE(Records().empty());
}

TEST_F(ClientBackupTest, ARecordThatCannotBeTrustedIsNeverWrittenBack) {
    Put(kXLiteKey, "hosts:ListenSIPPort", Dw(5060));
    Flags(false, false, false, true);
    std::vector<uint8_t> good;
    {
        auto sync = Start();
        sync->SyncClientSettings(prefs_, 1);
        good = RecordBytes("X-Lite");
    }
    ASSERT_FALSE(good.empty());
    auto bad = [&](std::function<void(std::vector<uint8_t>&)> damage) {
        std::vector<uint8_t> b = good;
        damage(b);
        return b;
    };
    auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    // Layout: version, pid, key count, key path (length and text), value count, values.
    const size_t pathAt = 16;
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"a later format", bad([&](auto& b) { put32(b, 0, 2); })},
        {"cut short", bad([](auto& b) { b.resize(b.size() - 3); })},
        {"a byte too many", bad([](auto& b) { b.push_back(0); })},
        {"another program's key", bad([&](auto& b) { b[pathAt] = 'Q'; })},
        {"a value outside the table", bad([&](auto& b) {
             std::string path = kXLiteKey;
             size_t nameAt = pathAt + path.size() + 4 + 4;  // past the value count
             b[nameAt] = 'Q';
         })},
        {"two keys where one may be", bad([&](auto& b) { put32(b, 8, 2); })},
        {"empty", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PutRecord("X-Lite", c.bytes);
        log_.Clear();
        auto sync = Start();
        EXPECT_TRUE(
            log_.Has("ClientBackup: the record of X-Lite settings is damaged and is not used\n"));
        EXPECT_EQ(Describe(Dw(5061)), Get(kXLiteKey, "hosts:ListenSIPPort"));
    }
}

// Another instance that still runs owns its record: it is this run's backup too, but this run
// neither restores it at start nor removes it.
TEST_F(ClientBackupTest, ARunningInstancesRecordIsUsedButLeftToIt) {
    Put(kMessengerServiceKey, "ProxyType", Bin4(1));
    Flags(true, false, false, false);
    const auto original = Snapshot(ClientKeys());
    std::vector<uint8_t> record;
    {
        auto first = Start();
        first->SyncClientSettings(prefs_, 1);
        record = RecordBytes("Windows Messenger");
    }
    const unsigned other = CurrentProcessId() + 1;
    for (int i = 0; i < 4; ++i) record[4 + i] = static_cast<uint8_t>(other >> (8 * i));
    PutRecord("Windows Messenger", record);
    const auto pointed = Snapshot(ClientKeys());

    auto second = Start([&](unsigned pid) { return pid == other; });
    EXPECT_EQ(pointed, Snapshot(ClientKeys()));
    second->SyncClientSettings(prefs_, 1);
    second->SyncClientSettings(prefs_, 0);
    EXPECT_EQ(original, Snapshot(ClientKeys()));  // the first run's backup, not the proxy values
    EXPECT_EQ(record, RecordBytes("Windows Messenger"));
}

// The record holds what the backup read, byte for byte, whatever the type and length.
TEST_F(ClientBackupTest, TheRecordReadsBackAsWritten) {
    ClientBackup backup("Test", {{RegRoot::CurrentUser, "Software\\T", {"a", "b", "c", "d"}}});
    Put(RegRoot::CurrentUser, "Software\\T", "a", Bytes(70000, 0x7F));
    Put(RegRoot::CurrentUser, "Software\\T", "b", Sz(std::string("\xC3\xA9t\xC3\xA9", 5)));
    Put(RegRoot::CurrentUser, "Software\\T", "c", Dw(0xDEADBEEF));
    RegKey key;
    key.Open(RegRoot::CurrentUser, "Software\\T", kRegRead);
    backup.Read(0, key);

    ClientBackup copy("Test", {{RegRoot::CurrentUser, "Software\\T", {"a", "b", "c", "d"}}});
    unsigned pid = 0;
    ASSERT_TRUE(copy.Parse(backup.Serialise(77), &pid));
    EXPECT_EQ(77u, pid);
    for (const char* name : {"a", "b", "c"}) {
        ASSERT_NE(nullptr, copy.Find(0, name)) << name;
        EXPECT_EQ(Describe(*backup.Find(0, name)), Describe(*copy.Find(0, name))) << name;
    }
    EXPECT_EQ(nullptr, copy.Find(0, "d"));
    EXPECT_TRUE(copy.IsRead(0));
}

}  // namespace
}  // namespace corv::test
