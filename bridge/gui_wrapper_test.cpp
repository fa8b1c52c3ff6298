#include "bridge/gui_wrapper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/jni_listener.h"

namespace {

using ::testing::ElementsAre;

// Events seen by the fake runtime and the listener, in order.
std::vector<std::string> g_events;

// A Java string stand-in: jstring is an opaque pointer to one of these.
struct FakeString {
    std::string utf8;
    bool convertible = true;
};

const char* JNICALL GetUtf(JNIEnv*, jstring s, jboolean* isCopy) {
    auto* f = reinterpret_cast<FakeString*>(s);
    g_events.push_back("get " + f->utf8);
    if (isCopy) *isCopy = JNI_FALSE;
    return f->convertible ? f->utf8.c_str() : nullptr;
}

void JNICALL ReleaseUtf(JNIEnv*, jstring s, const char* chars) {
    auto* f = reinterpret_cast<FakeString*>(s);
    EXPECT_EQ(chars, f->utf8.c_str()) << "released what was not handed out";
    g_events.push_back("release " + f->utf8);
}

class FakeEnv {
  public:
    FakeEnv() {
        table_.GetStringUTFChars = &GetUtf;
        table_.ReleaseStringUTFChars = &ReleaseUtf;
        env_.functions = &table_;
    }
    JNIEnv* get() { return &env_; }

  private:
    JNINativeInterface_ table_{};
    JNIEnv env_{};
};

jstring J(FakeString& s) {
    return reinterpret_cast<jstring>(&s);
}

class RecordingListener : public CJniListener {
  public:
    void setStatusBar(const char* t) override { Add("0 setStatusBar", t); }
    void dialogBox(const char* t) override { Add("1 dialogBox", t); }
    void bitrate(int v) override { Add("2 bitrate", std::to_string(v)); }
    void balloonInfo(const char* t, const char* m) override { Add("3 balloonInfo", t, m); }
    void balloonWarning(const char* t, const char* m) override { Add("4 balloonWarning", t, m); }
    void balloonError(const char* t, const char* m) override { Add("5 balloonError", t, m); }
    void enableMessengerProxy() override { Add("6 enableMessengerProxy"); }
    void disableMessengerProxy() override { Add("7 disableMessengerProxy"); }
    void setSipPort(int p) override { Add("8 setSipPort", std::to_string(p)); }
    void setSocksPort(int p) override { Add("9 setSocksPort", std::to_string(p)); }

  private:
    void Add(const std::string& slot, const std::string& a = "", const std::string& b = "") {
        std::string e = slot;
        if (!a.empty() || !b.empty()) e += "(" + a;
        if (!b.empty()) e += "," + b;
        if (!a.empty() || !b.empty()) e += ")";
        g_events.push_back(e);
    }
};

class ThrowingListener : public RecordingListener {
  public:
    void balloonError(const char*, const char*) override { throw 42; }
};

class GuiWrapperTest : public ::testing::Test {
  protected:
    void SetUp() override { g_events.clear(); }
    void TearDown() override { setListener(nullptr); }
    FakeEnv env_;
};

#define NATIVE(name) Java_corvane_proxyclient_util_GuiWrapper_##name

TEST_F(GuiWrapperTest, EveryNativeReachesItsSlotWithItsArguments) {
    RecordingListener listener;
    setListener(&listener);
    FakeString status{"Connected to server"}, dialog{"Hello"}, t{"Title"}, m{"Message"};
    JNIEnv* e = env_.get();
    NATIVE(setStatusBarW)(e, nullptr, J(status));
    NATIVE(dialogBoxW)(e, nullptr, J(dialog));
    NATIVE(bitrateW)(e, nullptr, -7);
    NATIVE(balloonInfoW)(e, nullptr, J(t), J(m));
    NATIVE(balloonWarningW)(e, nullptr, J(t), J(m));
    NATIVE(enableMessengerProxyW)(e, nullptr);
    NATIVE(disableMessengerProxyW)(e, nullptr);
    NATIVE(setSipPortW)(e, nullptr, 5061);
    NATIVE(setSocksPortW)(e, nullptr, 1080);

    std::vector<std::string> slots;
    for (const auto& ev : g_events)
        if (ev.rfind("get ", 0) != 0 && ev.rfind("release ", 0) != 0) slots.push_back(ev);
    EXPECT_THAT(slots, ElementsAre("0 setStatusBar(Connected to server)", "1 dialogBox(Hello)",
                                   "2 bitrate(-7)", "3 balloonInfo(Title,Message)",
                                   "4 balloonWarning(Title,Message)", "6 enableMessengerProxy",
                                   "7 disableMessengerProxy", "8 setSipPort(5061)",
                                   "9 setSocksPort(1080)"));
}

TEST_F(GuiWrapperTest, BalloonStringsAreTakenAndReleasedInArgumentOrder) {
    RecordingListener listener;
    setListener(&listener);
    FakeString title{"A"}, message{"B"};
    NATIVE(balloonErrorW)(env_.get(), nullptr, J(title), J(message));
    EXPECT_THAT(g_events,
                ElementsAre("get A", "get B", "5 balloonError(A,B)", "release A", "release B"));
}

TEST_F(GuiWrapperTest, Utf8BytesPassUnchanged) {
    RecordingListener listener;
    setListener(&listener);
    FakeString s{"Verbunden \xc3\xbc\xe2\x82\xac"};
    NATIVE(setStatusBarW)(env_.get(), nullptr, J(s));
    EXPECT_THAT(g_events, ElementsAre("get " + s.utf8, "0 setStatusBar(" + s.utf8 + ")",
                                      "release " + s.utf8));
}

TEST_F(GuiWrapperTest, WithoutListenerOnlyTheTraceLineIsPrinted) {
    FakeString s{"Initializing..."};
    ::testing::internal::CaptureStdout();
    NATIVE(setStatusBarW)(env_.get(), nullptr, J(s));
    NATIVE(setSipPortW)(env_.get(), nullptr, 5060);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "--->Java_corvane_proxyclient_util_GuiWrapper_setStatusBarW\n"
              "--->Java_corvane_proxyclient_util_GuiWrapper_setSipPortW\n");
    EXPECT_TRUE(g_events.empty()) << "strings must not be touched without a listener";
}

TEST_F(GuiWrapperTest, EachCallPrintsItsTraceLineWithAListenerToo) {
    RecordingListener listener;
    setListener(&listener);
    ::testing::internal::CaptureStdout();
    NATIVE(setSocksPortW)(env_.get(), nullptr, 1081);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "--->Java_corvane_proxyclient_util_GuiWrapper_setSocksPortW\n");
}

TEST_F(GuiWrapperTest, ANewListenerReplacesTheOldAndNullSwitchesForwardingOff) {
    RecordingListener first, second;
    setListener(&first);
    setListener(&second);
    NATIVE(enableMessengerProxyW)(env_.get(), nullptr);
    setListener(nullptr);
    NATIVE(disableMessengerProxyW)(env_.get(), nullptr);
    EXPECT_THAT(g_events, ElementsAre("6 enableMessengerProxy"));
}

TEST_F(GuiWrapperTest, NullOrUnconvertibleStringsReachTheListenerAsEmptyText) {
    RecordingListener listener;
    setListener(&listener);
    FakeString bad{"x"};
    bad.convertible = false;
    FakeString m{"M"};
    NATIVE(setStatusBarW)(env_.get(), nullptr, nullptr);
    NATIVE(balloonInfoW)(env_.get(), nullptr, J(bad), J(m));
    // Nothing that was not handed out is released.
    EXPECT_THAT(g_events,
                ElementsAre("0 setStatusBar", "get x", "get M", "3 balloonInfo(,M)", "release M"));
}

TEST_F(GuiWrapperTest, AThrowingListenerStillReleasesItsStrings) {
    ThrowingListener listener;
    setListener(&listener);
    FakeString t{"T"}, m{"M"};
    NATIVE(balloonErrorW)(env_.get(), nullptr, J(t), J(m));
    EXPECT_THAT(g_events, ElementsAre("get T", "get M", "release T", "release M"));
}

}  // namespace
