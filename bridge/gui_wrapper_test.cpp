#include "bridge/gui_wrapper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/jni_listener.h"

namespace {

using ::testing::ElementsAre;

// Events seen by the fake runtime and the listener, in order.
std::vector<std::string> g_events;

// A Java string stand-in: jstring is an opaque pointer to one of these. A string that is not
// convertible fails as the runtime does when it is out of memory: null, exception pending.
struct FakeString {
    std::string utf8;
    bool convertible = true;
};

// A JNI environment with the calls the bridge may make. Slots left empty crash the test.
struct FakeEnv : JNIEnv_ {
    FakeEnv();
    JNIEnv* get() { return this; }
    JNINativeInterface_ table{};
    bool pending = false;  // an exception waits for the Java caller
};

// While an exception is pending only a few calls are allowed (releases, exception queries).
void Enter(JNIEnv* env, const std::string& call, bool allowedWithException) {
    if (static_cast<FakeEnv*>(env)->pending && !allowedWithException)
        g_events.push_back("FAULT " + call + " with an exception pending");
}

const char* JNICALL GetUtf(JNIEnv* env, jstring s, jboolean* isCopy) {
    auto* f = reinterpret_cast<FakeString*>(s);
    Enter(env, "GetStringUTFChars", false);
    g_events.push_back("get " + f->utf8);
    if (isCopy) *isCopy = JNI_FALSE;
    if (f->convertible) return f->utf8.c_str();
    static_cast<FakeEnv*>(env)->pending = true;
    return nullptr;
}

void JNICALL ReleaseUtf(JNIEnv* env, jstring s, const char* chars) {
    auto* f = reinterpret_cast<FakeString*>(s);
    Enter(env, "ReleaseStringUTFChars", true);
    EXPECT_EQ(chars, f->utf8.c_str()) << "released what was not handed out";
    g_events.push_back("release " + f->utf8);
}

jboolean JNICALL PendingCheck(JNIEnv* env) {
    return static_cast<FakeEnv*>(env)->pending ? JNI_TRUE : JNI_FALSE;
}

FakeEnv::FakeEnv() {
    table.GetStringUTFChars = &GetUtf;
    table.ReleaseStringUTFChars = &ReleaseUtf;
    table.ExceptionCheck = &PendingCheck;
    functions = &table;
}

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

void SetStatusBar(JNIEnv* e, jstring text) {
    NATIVE(setStatusBarW)(e, nullptr, text);
}
void DialogBox(JNIEnv* e, jstring text) {
    NATIVE(dialogBoxW)(e, nullptr, text);
}
void BalloonInfo(JNIEnv* e, jstring title, jstring message) {
    NATIVE(balloonInfoW)(e, nullptr, title, message);
}
void BalloonWarning(JNIEnv* e, jstring title, jstring message) {
    NATIVE(balloonWarningW)(e, nullptr, title, message);
}

TEST_F(GuiWrapperTest, AStringThatCannotBeConvertedEndsTheCallWithItsExceptionPending) {
    RecordingListener listener;
    setListener(&listener);
    FakeString bad{"x"}, t{"T"}, m{"M"};
    bad.convertible = false;
    struct Case {
        const char* name;
        std::function<void(JNIEnv*)> call;
        std::vector<std::string> events;
        bool pending;
    };
    const Case cases[] = {
        {"text", [&](JNIEnv* e) { SetStatusBar(e, J(bad)); }, {"get x"}, true},
        {"title", [&](JNIEnv* e) { BalloonInfo(e, J(bad), J(m)); }, {"get x"}, true},
        {"message",
         [&](JNIEnv* e) { BalloonWarning(e, J(t), J(bad)); },
         {"get T", "get x", "release T"},
         true},
        // A null string is no failure: it reaches the listener as empty text.
        {"null", [&](JNIEnv* e) { DialogBox(e, nullptr); }, {"1 dialogBox"}, false},
    };
    for (const Case& c : cases) {
        FakeEnv env;
        g_events.clear();
        c.call(env.get());
        EXPECT_EQ(c.events, g_events) << c.name;
        EXPECT_EQ(c.pending, env.pending) << c.name << ": the exception is left for Java";
    }
}

// Keeps the calling thread inside setStatusBar until released.
class HoldingListener : public RecordingListener {
  public:
    void setStatusBar(const char*) override {
        std::unique_lock<std::mutex> lock(mutex_);
        inside_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_; });
        inside_ = false;
    }
    void WaitInside() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return inside_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    bool Inside() {
        std::lock_guard<std::mutex> lock(mutex_);
        return inside_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool inside_ = false;
    bool released_ = false;
};

TEST_F(GuiWrapperTest, TakingTheListenerBackWaitsForTheCallsInsideIt) {
    HoldingListener held;
    setListener(&held);
    FakeString s{"Connected to server"};
    std::thread java([&] { NATIVE(setStatusBarW)(env_.get(), nullptr, J(s)); });
    held.WaitInside();

    std::mutex mutex;
    std::condition_variable changed;
    bool returned = false;
    bool callStillInside = false;
    std::thread host([&] {
        setListener(nullptr);
        std::lock_guard<std::mutex> lock(mutex);
        returned = true;
        callStillInside = held.Inside();
        changed.notify_all();
    });
    {
        // The call is held: setListener must not return meanwhile, however long we look.
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return returned; });
        EXPECT_FALSE(returned) << "setListener returned while a call was inside the listener";
    }
    held.Release();
    java.join();
    host.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(callStillInside);

    // Calls after it are only traced.
    g_events.clear();
    NATIVE(setStatusBarW)(env_.get(), nullptr, J(s));
    EXPECT_TRUE(g_events.empty());
}

TEST_F(GuiWrapperTest, AThrowingListenerStillReleasesItsStrings) {
    ThrowingListener listener;
    setListener(&listener);
    FakeString t{"T"}, m{"M"};
    NATIVE(balloonErrorW)(env_.get(), nullptr, J(t), J(m));
    EXPECT_THAT(g_events, ElementsAre("get T", "get M", "release T", "release M"));
}

}  // namespace
