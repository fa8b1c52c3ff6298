// Forwards the native calls of GuiWrapper to the listener registered by the host program.
#include "bridge/gui_wrapper.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "bridge/jni_listener.h"

namespace {

// Natives run on any Java thread while the host may register the listener.
std::atomic<CJniListener*> g_listener{nullptr};

// Native calls in progress, counted per listener generation, so that setListener can wait for
// the calls still inside the listener it replaces while new calls already go to the new one.
// The generation and both counts share one word: a call takes its generation and counts itself
// in one step, and only then reads the listener.
std::atomic<uint32_t> g_calls{0};
constexpr uint32_t kGenerationBit = 0x80000000u;
constexpr int kCountBits = 15;
constexpr uint32_t kCountMask = (1u << kCountBits) - 1;

uint32_t OneCall(uint32_t generation) {
    return generation ? 1u << kCountBits : 1u;
}

uint32_t CallsOf(uint32_t state, uint32_t generation) {
    return (state >> (generation ? kCountBits : 0)) & kCountMask;
}

// One native call: the listener it may use, counted until the call returns.
class CallScope {
  public:
    CallScope() {
        uint32_t state = g_calls.load();
        do {
            generation_ = state >> 31;
        } while (!g_calls.compare_exchange_weak(state, state + OneCall(generation_)));
        listener_ = g_listener.load();
    }
    ~CallScope() { g_calls.fetch_sub(OneCall(generation_)); }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    CJniListener* listener() const { return listener_; }

  private:
    uint32_t generation_ = 0;
    CJniListener* listener_ = nullptr;
};

std::atomic_flag g_setting = ATOMIC_FLAG_INIT;  // one setListener at a time

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Trace(const char* method) {
    std::printf("--->Java_corvane_proxyclient_util_GuiWrapper_%s\n", method);
    std::fflush(stdout);
}

// The UTF-8 bytes of one Java string for the duration of a listener call. A null string reaches
// the listener as "". When the runtime cannot convert a string (it is out of memory) it has an
// exception pending: the call then ends without reaching the listener, and nothing but the
// releases of what was handed out may call into the runtime before the exception reaches Java.
class Utf8 {
  public:
    Utf8(JNIEnv* env, jstring s) : env_(env), s_(s) {
        if (s_) {
            chars_ = env_->GetStringUTFChars(s_, nullptr);
            failed_ = chars_ == nullptr;
        }
    }
    ~Utf8() { Release(); }
    Utf8(const Utf8&) = delete;
    Utf8& operator=(const Utf8&) = delete;

    bool Failed() const { return failed_; }
    const char* get() const { return chars_ ? chars_ : ""; }
    void Release() {
        if (chars_) env_->ReleaseStringUTFChars(s_, chars_);
        chars_ = nullptr;
    }

  private:
    JNIEnv* env_;
    jstring s_;
    const char* chars_ = nullptr;
    bool failed_ = false;
};

// Nothing may unwind into the Java runtime's frames.
template <typename F>
void Guarded(F&& f) {
    try {
        f();
    } catch (...) {
    }
}

template <typename F>
void ForwardText(const char* method, JNIEnv* env, jstring text, F&& call) {
    Trace(method);
    CallScope scope;
    CJniListener* l = scope.listener();
    if (!l) return;
    Utf8 t(env, text);
    if (t.Failed()) return;
    Guarded([&] { call(l, t.get()); });
}

template <typename F>
void ForwardPair(const char* method, JNIEnv* env, jstring first, jstring second, F&& call) {
    Trace(method);
    CallScope scope;
    CJniListener* l = scope.listener();
    if (!l) return;
    Utf8 a(env, first);
    if (a.Failed()) return;
    Utf8 b(env, second);
    if (b.Failed()) return;  // the first is released on the way out
    Guarded([&] { call(l, a.get(), b.get()); });
    a.Release();  // in argument order
    b.Release();
}

template <typename F>
void ForwardPlain(const char* method, F&& call) {
    Trace(method);
    CallScope scope;
    CJniListener* l = scope.listener();
    if (!l) return;
    Guarded([&] { call(l); });
}

}  // namespace

void setListener(CJniListener* listener) {
    while (g_setting.test_and_set()) Pause();
    g_listener.store(listener);
    // Calls counted before the switch may still hold the old listener: wait for them.
    const uint32_t old = g_calls.fetch_xor(kGenerationBit) >> 31;
    while (CallsOf(g_calls.load(), old) != 0) Pause();
    g_setting.clear();
}

extern "C" {

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_setStatusBarW(JNIEnv* env,
                                                                                    jclass,
                                                                                    jstring text) {
    ForwardText("setStatusBarW", env, text,
                [](CJniListener* l, const char* t) { l->setStatusBar(t); });
}

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_dialogBoxW(JNIEnv* env,
                                                                                 jclass,
                                                                                 jstring text) {
    ForwardText("dialogBoxW", env, text, [](CJniListener* l, const char* t) { l->dialogBox(t); });
}

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_bitrateW(JNIEnv*, jclass,
                                                                               jint value) {
    ForwardPlain("bitrateW", [&](CJniListener* l) { l->bitrate(static_cast<int>(value)); });
}

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_balloonInfoW(
    JNIEnv* env, jclass, jstring title, jstring message) {
    ForwardPair("balloonInfoW", env, title, message,
                [](CJniListener* l, const char* t, const char* m) { l->balloonInfo(t, m); });
}

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_balloonWarningW(
    JNIEnv* env, jclass, jstring title, jstring message) {
    ForwardPair("balloonWarningW", env, title, message,
                [](CJniListener* l, const char* t, const char* m) { l->balloonWarning(t, m); });
}

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_balloonErrorW(
    JNIEnv* env, jclass, jstring title, jstring message) {
    ForwardPair("balloonErrorW", env, title, message,
                [](CJniListener* l, const char* t, const char* m) { l->balloonError(t, m); });
}

CORV_GUI_EXPORT void JNICALL
Java_corvane_proxyclient_util_GuiWrapper_enableMessengerProxyW(JNIEnv*, jclass) {
    ForwardPlain("enableMessengerProxyW", [](CJniListener* l) { l->enableMessengerProxy(); });
}

CORV_GUI_EXPORT void JNICALL
Java_corvane_proxyclient_util_GuiWrapper_disableMessengerProxyW(JNIEnv*, jclass) {
    ForwardPlain("disableMessengerProxyW", [](CJniListener* l) { l->disableMessengerProxy(); });
}

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_setSipPortW(JNIEnv*, jclass,
                                                                                  jint port) {
    ForwardPlain("setSipPortW", [&](CJniListener* l) { l->setSipPort(static_cast<int>(port)); });
}

CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_setSocksPortW(JNIEnv*, jclass,
                                                                                    jint port) {
    ForwardPlain("setSocksPortW",
                 [&](CJniListener* l) { l->setSocksPort(static_cast<int>(port)); });
}

}  // extern "C"
