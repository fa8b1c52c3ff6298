// Forwards the native calls of GuiWrapper to the listener registered by the host program.
#include "bridge/gui_wrapper.h"

#include <atomic>
#include <cstdio>

#include "bridge/jni_listener.h"

namespace {

// Natives run on any Java thread while the host may register the listener.
std::atomic<CJniListener*> g_listener{nullptr};

void Trace(const char* method) {
    std::printf("--->Java_corvane_proxyclient_util_GuiWrapper_%s\n", method);
    std::fflush(stdout);
}

// The UTF-8 bytes of one Java string for the duration of a listener call. A null string (or one
// the runtime cannot convert) reaches the listener as "" instead of crashing the runtime.
class Utf8 {
  public:
    Utf8(JNIEnv* env, jstring s) : env_(env), s_(s) {
        if (s_) chars_ = env_->GetStringUTFChars(s_, nullptr);
    }
    ~Utf8() { Release(); }
    Utf8(const Utf8&) = delete;
    Utf8& operator=(const Utf8&) = delete;

    const char* get() const { return chars_ ? chars_ : ""; }
    void Release() {
        if (chars_) env_->ReleaseStringUTFChars(s_, chars_);
        chars_ = nullptr;
    }

  private:
    JNIEnv* env_;
    jstring s_;
    const char* chars_ = nullptr;
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
    CJniListener* l = g_listener.load();
    if (!l) return;
    Utf8 t(env, text);
    Guarded([&] { call(l, t.get()); });
}

template <typename F>
void ForwardPair(const char* method, JNIEnv* env, jstring first, jstring second, F&& call) {
    Trace(method);
    CJniListener* l = g_listener.load();
    if (!l) return;
    Utf8 a(env, first);
    Utf8 b(env, second);
    Guarded([&] { call(l, a.get(), b.get()); });
    a.Release();  // in argument order
    b.Release();
}

template <typename F>
void ForwardPlain(const char* method, F&& call) {
    Trace(method);
    CJniListener* l = g_listener.load();
    if (!l) return;
    Guarded([&] { call(l); });
}

}  // namespace

void setListener(CJniListener* listener) {
    g_listener.store(listener);
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
