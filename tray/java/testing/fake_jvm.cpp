// Test stand-in for the Java virtual machine library (see fake_jvm.h).
#define _JNI_IMPLEMENTATION_  // jni.h declares the invocation functions as exports
#include "tray/java/testing/fake_jvm.h"

#include <jni.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

struct FakeClass {
    const char* name;
    bool hasMain;
    bool hasSyncaddress;
};

const FakeClass kClasses[] = {
    {"corvane/proxyclient/ProxyClient", true, true},
    {"corvane/testclient/AllNatives", true, true},
    {"corvane/testclient/QuickMain", true, false},
    {"corvane/testclient/StayingClient", true, true},
    {"corvane/testclient/ThrowingMain", true, false},
    {"corvane/testclient/NoMain", false, false},
    {"java/lang/String", false, false},
};

struct FakeMethod {
    const FakeClass* cls;
    std::string name;
};

struct Env : JNIEnv_ {
    bool pending = false;
};

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    FakeJvmScript script{};
    std::vector<std::string> options;
    int version = 0;
    int ignoreUnrecognized = 0;
    std::string calls;
    std::string callsCopy;
    std::string binding;
    std::string activeAddress;
    bool created = false;
    bool addressTaken = false;
    bool stopping = false;
    bool staying = false;  // the client thread runs until the machine is reset
    std::thread client;
    std::vector<FakeMethod*> methods;
};

State& S() {
    static State* state = new State;  // outlives every client thread
    return *state;
}

JNINativeInterface_ g_table;
JNIInvokeInterface_ g_invoke;
JavaVM g_vm;
Env g_mainEnv;
int g_dummyObject;

void Record(JNIEnv* env, const std::string& call) {
    std::lock_guard<std::mutex> lock(S().mutex);
    if (env && static_cast<Env*>(env)->pending) S().calls += "ERROR pending exception at ";
    S().calls += call + "\n";
}

const FakeClass* ClassOf(jclass c) {
    return reinterpret_cast<const FakeClass*>(c);
}

// --- the bridge library's natives, found as the Java runtime finds them ---

void SetBinding(const char* how) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().binding = how;
}

void* BridgeSymbol(const char* method, int argBytes) {
    std::string plain = std::string("Java_corvane_proxyclient_util_GuiWrapper_") + method;
    std::string decorated = "_" + plain + "@" + std::to_string(argBytes);
    void* sym = nullptr;
#ifdef _WIN32
    HMODULE bridge = LoadLibraryA("jnibridge.dll");
    if (!bridge) return nullptr;
    sym = reinterpret_cast<void*>(GetProcAddress(bridge, decorated.c_str()));
    if (sym) {
        SetBinding("decorated");
        return sym;
    }
    sym = reinterpret_cast<void*>(GetProcAddress(bridge, plain.c_str()));
#else
    void* bridge = dlopen("libjnibridge.so", RTLD_NOW);
    if (!bridge) return nullptr;
    sym = dlsym(bridge, decorated.c_str());
    if (sym) {
        SetBinding("decorated");
        return sym;
    }
    sym = dlsym(bridge, plain.c_str());
#endif
    if (sym) SetBinding("plain");
    return sym;
}

typedef void(JNICALL* TextNative)(JNIEnv*, jclass, jstring);
typedef void(JNICALL* PairNative)(JNIEnv*, jclass, jstring, jstring);
typedef void(JNICALL* IntNative)(JNIEnv*, jclass, jint);
typedef void(JNICALL* PlainNative)(JNIEnv*, jclass);

jstring Str(const std::string& s) {
    return reinterpret_cast<jstring>(const_cast<std::string*>(&s));
}

void CallText(JNIEnv* env, const char* method, const std::string& text) {
    if (auto f = reinterpret_cast<TextNative>(BridgeSymbol(method, 12))) f(env, nullptr, Str(text));
}
void CallPair(JNIEnv* env, const char* method, const std::string& a, const std::string& b) {
    if (auto f = reinterpret_cast<PairNative>(BridgeSymbol(method, 16)))
        f(env, nullptr, Str(a), Str(b));
}
void CallInt(JNIEnv* env, const char* method, int value) {
    if (auto f = reinterpret_cast<IntNative>(BridgeSymbol(method, 12))) f(env, nullptr, value);
}
void CallPlain(JNIEnv* env, const char* method) {
    if (auto f = reinterpret_cast<PlainNative>(BridgeSymbol(method, 8))) f(env, nullptr);
}

// The client thread: the same calls as the Java test class AllNatives.
void ClientThread() {
    {
        std::unique_lock<std::mutex> lock(S().mutex);
        S().changed.wait(lock, [] { return S().addressTaken || S().stopping; });
        if (S().stopping) return;
        if (S().staying) {
            S().changed.wait(lock, [] { return S().stopping; });
            return;
        }
    }
    Env env;
    env.functions = &g_table;
    CallText(&env, "setStatusBarW", "Verbunden mit Server \xc3\xbc\xe2\x82\xac");
    CallText(&env, "dialogBoxW", "dialog");
    CallInt(&env, "bitrateW", 64000);
    CallPair(&env, "balloonInfoW", "Info", "info message");
    CallPair(&env, "balloonWarningW", "Warning", "warning message");
    CallPair(&env, "balloonErrorW", std::string(300, 't'), std::string(300, 'm'));
    CallPlain(&env, "enableMessengerProxyW");
    CallPlain(&env, "disableMessengerProxyW");
    CallInt(&env, "setSipPortW", 5070);
    CallInt(&env, "setSocksPortW", 1081);
}

void StopClient() {
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().stopping = true;
    }
    S().changed.notify_all();
    if (S().client.joinable()) S().client.join();
}

// --- the JNI function table ---

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    Record(env, std::string("FindClass ") + name);
    for (const FakeClass& c : kClasses)
        if (std::strcmp(c.name, name) == 0)
            return reinterpret_cast<jclass>(const_cast<FakeClass*>(&c));
    static_cast<Env*>(env)->pending = true;  // NoClassDefFoundError
    return nullptr;
}

jboolean JNICALL ExceptionCheck(JNIEnv* env) {
    return static_cast<Env*>(env)->pending ? JNI_TRUE : JNI_FALSE;
}

jthrowable JNICALL ExceptionOccurred(JNIEnv* env) {
    return static_cast<Env*>(env)->pending ? reinterpret_cast<jthrowable>(&g_dummyObject) : nullptr;
}

void JNICALL ExceptionDescribe(JNIEnv* env) {
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().calls += "ExceptionDescribe\n";
    }
    static_cast<Env*>(env)->pending = false;
}

void JNICALL ExceptionClear(JNIEnv* env) {
    static_cast<Env*>(env)->pending = false;
}

jmethodID JNICALL GetStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    const FakeClass* c = ClassOf(cls);
    Record(env,
           std::string("GetStaticMethodID ") + (c ? c->name : "null") + "." + name + " " + sig);
    bool found = c && ((std::strcmp(name, "main") == 0 && c->hasMain &&
                        std::strcmp(sig, "([Ljava/lang/String;)V") == 0) ||
                       (std::strcmp(name, "syncaddress") == 0 && c->hasSyncaddress &&
                        std::strcmp(sig, "()Ljava/lang/String;") == 0));
    if (!found) {
        static_cast<Env*>(env)->pending = true;  // NoSuchMethodError
        return nullptr;
    }
    auto* m = new FakeMethod{c, name};
    std::lock_guard<std::mutex> lock(S().mutex);
    S().methods.push_back(m);
    return reinterpret_cast<jmethodID>(m);
}

jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize length, jclass cls, jobject init) {
    const FakeClass* c = ClassOf(cls);
    Record(env, "NewObjectArray " + std::to_string(length) + " " + (c ? c->name : "null") +
                    (init ? " init" : ""));
    if (S().script.failStringArray) {
        static_cast<Env*>(env)->pending = true;
        return nullptr;
    }
    return reinterpret_cast<jobjectArray>(&g_dummyObject);
}

void JNICALL CallStaticVoidMethodA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* args) {
    const FakeClass* c = ClassOf(cls);
    const auto* m = reinterpret_cast<const FakeMethod*>(id);
    Record(env, std::string("CallStaticVoidMethodA ") + c->name + "." + m->name +
                    (args && args[0].l ? " args" : " no-args"));
    std::string name = c->name;
    if (name == "corvane/testclient/ThrowingMain") {
        static_cast<Env*>(env)->pending = true;
        return;
    }
    CallText(env, "setStatusBarW", "Initializing...");
    if (name == "corvane/testclient/QuickMain") return;
    std::lock_guard<std::mutex> lock(S().mutex);
    S().staying = name == "corvane/testclient/StayingClient";
    S().client = std::thread(ClientThread);
}

jobject JNICALL CallStaticObjectMethodA(JNIEnv* env, jclass cls, jmethodID id, const jvalue*) {
    const FakeClass* c = ClassOf(cls);
    const auto* m = reinterpret_cast<const FakeMethod*>(id);
    Record(env, std::string("CallStaticObjectMethodA ") + c->name + "." + m->name);
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().addressTaken = true;
    }
    S().changed.notify_all();
    if (S().script.syncaddressThrows) {
        static_cast<Env*>(env)->pending = true;
        return nullptr;
    }
    if (S().script.syncaddressNull) return nullptr;
    return Str(S().activeAddress);
}

const char* JNICALL GetStringUTFChars(JNIEnv*, jstring s, jboolean* isCopy) {
    if (isCopy) *isCopy = JNI_FALSE;
    return reinterpret_cast<const std::string*>(s)->c_str();
}

void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
    if (reinterpret_cast<const std::string*>(s)->c_str() != chars)
        Record(env, "ERROR released characters that were not handed out");
}

jint JNICALL DestroyJavaVM(JavaVM*) {
    Record(&g_mainEnv, "DestroyJavaVM");
    if (S().client.joinable()) S().client.join();  // the last non-daemon thread
    return JNI_OK;
}

void InitTables() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::memset(&g_table, 0, sizeof g_table);
        g_table.FindClass = &FindClass;
        g_table.ExceptionCheck = &ExceptionCheck;
        g_table.ExceptionOccurred = &ExceptionOccurred;
        g_table.ExceptionDescribe = &ExceptionDescribe;
        g_table.ExceptionClear = &ExceptionClear;
        g_table.GetStaticMethodID = &GetStaticMethodID;
        g_table.NewObjectArray = &NewObjectArray;
        g_table.CallStaticVoidMethodA = &CallStaticVoidMethodA;
        g_table.CallStaticObjectMethodA = &CallStaticObjectMethodA;
        g_table.GetStringUTFChars = &GetStringUTFChars;
        g_table.ReleaseStringUTFChars = &ReleaseStringUTFChars;
        std::memset(&g_invoke, 0, sizeof g_invoke);
        g_invoke.DestroyJavaVM = &DestroyJavaVM;
        g_vm.functions = &g_invoke;
        g_mainEnv.functions = &g_table;
    });
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* initArgs) {
    InitTables();
    auto* args = static_cast<JavaVMInitArgs*>(initArgs);
    std::lock_guard<std::mutex> lock(S().mutex);
    S().options.clear();
    for (jint i = 0; i < args->nOptions; ++i)
        S().options.push_back(args->options[i].optionString ? args->options[i].optionString : "");
    S().version = args->version;
    S().ignoreUnrecognized = args->ignoreUnrecognized;
    S().calls += "JNI_CreateJavaVM\n";
    if (S().script.createResult < 0) return S().script.createResult;
    if (S().created) return JNI_EEXIST;  // one machine per process, as with the real one
    S().created = true;
    for (const std::string& o : S().options)
        if (o.rfind("-DactiveAddress=", 0) == 0) S().activeAddress = o.substr(16);
    g_mainEnv.pending = false;
    *vm = &g_vm;
    *env = static_cast<JNIEnv*>(&g_mainEnv);
    return JNI_OK;
}

FAKE_JVM_API void FakeJvmReset(const FakeJvmScript* script) {
    StopClient();
    std::lock_guard<std::mutex> lock(S().mutex);
    S().script = script ? *script : FakeJvmScript{};
    S().options.clear();
    S().version = 0;
    S().ignoreUnrecognized = 0;
    S().calls.clear();
    S().binding.clear();
    S().activeAddress.clear();
    S().created = false;
    S().addressTaken = false;
    S().stopping = false;
}

FAKE_JVM_API const char* FakeJvmOption(int index) {
    std::lock_guard<std::mutex> lock(S().mutex);
    if (index < 0 || index >= static_cast<int>(S().options.size())) return nullptr;
    return S().options[static_cast<size_t>(index)].c_str();
}

FAKE_JVM_API int FakeJvmOptionCount(void) {
    std::lock_guard<std::mutex> lock(S().mutex);
    return static_cast<int>(S().options.size());
}

FAKE_JVM_API int FakeJvmVersion(void) {
    return S().version;
}
FAKE_JVM_API int FakeJvmIgnoreUnrecognized(void) {
    return S().ignoreUnrecognized;
}

FAKE_JVM_API const char* FakeJvmCalls(void) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().callsCopy = S().calls;
    return S().callsCopy.c_str();
}

FAKE_JVM_API const char* FakeJvmBinding(void) {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().binding.c_str();
}
