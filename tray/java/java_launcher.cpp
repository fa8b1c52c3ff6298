#include "tray/java/java_launcher.h"

#include <jni.h>

#include <initializer_list>
#include <vector>

#include "platform/dynlib.h"
#include "platform/environment.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tray/core/log_file.h"
#include "tray/core/messages.h"
#include "tray/core/status_text.h"

namespace corv {

#ifdef _WIN32
const char* const kDefaultJvmLibrary = "jvm.dll";
#else
const char* const kDefaultJvmLibrary = "/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so";
#endif

namespace {

constexpr jint kJniVersion = 0x10004;  // 1.4
constexpr unsigned kAddressWaitMs = 5000;
constexpr unsigned kVerifyDelayMs = 200;
const char kClassPathPrefix[] = "-Djava.class.path=";
const char kAddressPrefix[] = "-DactiveAddress=";

using CreateJavaVmFn = jint(JNICALL*)(JavaVM**, void**, void*);

// Text from outside (preferences, the Java client) is formatted with FormatEscaped, so that
// each queued line stays one line of the log.
void Queue(const std::string& text) {
    JavaLogQueue().Push(text);
}

void PostLogIfUnread() {
    if (JavaLogQueue().HasUnread()) PostToMain(kMsgJavaLog);
}

// Prints and clears a pending Java exception; true when there was one.
bool TakeException(JNIEnv* env) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

// An entry the start-time check also treats as absolute: "\..." or "X:...".
// Ends the launch after a failure the catch-all reports.
struct LaunchError {};

}  // namespace

bool UpdatePath(const std::string& jvmFolder) {
    std::string old = GetEnv("PATH");
    TheLog().Log("Old PATH=%s\n", old.c_str());
    long rc = SetEnv("PATH", jvmFolder + PathListSeparator() + old);
    if (rc != kOk) {
        TheLog().Log("Could not update PATH, putenv failed (0x%x)\n", static_cast<unsigned>(rc));
        return false;
    }
    TheLog().Log("New PATH=%s\n", GetEnv("PATH").c_str());
    return true;
}

bool IsAbsoluteClassPathEntry(const std::string& entry) {
    return (!entry.empty() && (entry[0] == '\\' || entry[0] == '/')) ||
           (entry.size() > 1 && entry[1] == ':');
}

std::string BuildClassPath(const std::string& home, const std::string& classPath) {
    std::string result;
    if (!classPath.empty()) {
        const std::string prefix = home + "\\";
        std::string list;
        for (const std::string& item : Split(classPath, ';')) {
            // Absolute entries name their own place; a prefix would make them point nowhere.
            std::string entry = IsAbsoluteClassPathEntry(item) ? item : prefix + item;
#ifndef _WIN32
            entry = NativePath(entry);
#endif
            std::string longer = list.empty() ? entry : list + PathListSeparator() + entry;
            if (sizeof(kClassPathPrefix) - 1 + longer.size() >= kClassPathOptionSize) {
                Queue(FormatEscaped("BuildClassPath: class path too long, left out: %s\n",
                                    entry.c_str()));
                continue;
            }
            list = longer;
        }
        result = kClassPathPrefix + list;
    }
    Queue(FormatEscaped("\nclasspath: %s\n\n", result.c_str()));
    return result;
}

JavaLauncher::JavaLauncher(JavaLaunchHost* host) : host_(host) {}

JavaLauncher::~JavaLauncher() {
    Stop(true);
}

long JavaLauncher::Start(unsigned parameter, const JavaLaunchSettings& settings) {
    if (IsRunning()) return kErrAlreadyExists;
    parameter_ = parameter;
    settings_ = settings;
    if (!WorkerThread::Start()) {
        long rc = LastError();
        return rc ? rc : kErrInvalidHandle;
    }
    return kOk;
}

int JavaLauncher::Stop(bool force) {
    if (!IsRunning()) return static_cast<int>(ExitCode() == kStillActive ? 0 : ExitCode());
    if (!force) return static_cast<int>(kStillActive);
    Terminate();
    running_ = 0;
    return -1;
}

unsigned JavaLauncher::Run() {
    threadId_ = CurrentThreadId();
    Queue(Format("JavaLauncher started thread: 0x%x\n", threadId_.load()));
    running_ = 1;
    if (Launch()) {
        PostLogIfUnread();
    } else {
        PostLogIfUnread();
        // The installation check runs also when Java did not start.
        SleepMs(kVerifyDelayMs);
        PostToMain(kMsgVerifyInstallation);
    }
    running_ = 0;
    return 0;
}

bool JavaLauncher::Launch() {
    try {
        // 1-3: the options, each in its fixed-size buffer.
        const std::string classPathOption = BuildClassPath(settings_.home, settings_.classPath);

        std::string address = host_ ? host_->GetActiveAddress(kAddressWaitMs) : std::string();
        Queue(FormatEscaped("GetActiveAddress returned: %s\n", address.c_str()));
        std::string addressOption = kAddressPrefix + address;
        if (addressOption.size() >= kOptionSize) {
            Queue(FormatEscaped("Active address too long, not passed: %s\n", address.c_str()));
            addressOption = kAddressPrefix;
        }
        Queue(FormatEscaped("Active Address: %s\n\n", address.c_str()));

        std::string idOption;
        if (!settings_.clientId.empty()) {
            idOption = Format("-DCorvanId=%s", settings_.clientId.c_str());
            if (idOption.size() >= kOptionSize) {
                Queue(Format("CorvaneId too long, not passed: %s\n", settings_.clientId.c_str()));
                idOption.clear();
            } else {
                Queue(Format("CorvaneId: %s\n", idOption.c_str()));
            }
        }

        std::vector<JavaVMOption> options;
        for (const std::string* o : std::initializer_list<const std::string*>{
                 &classPathOption, &addressOption, &idOption}) {
            if (o == &idOption && idOption.empty()) break;
            JavaVMOption opt{};
            opt.optionString = const_cast<char*>(o->c_str());
            options.push_back(opt);
        }
        JavaVMInitArgs args{};
        args.version = kJniVersion;
        args.nOptions = static_cast<jint>(options.size());
        args.options = options.data();
        args.ignoreUnrecognized = JNI_TRUE;

        // 4: the virtual machine.
        if (!jvmLibrary_) jvmLibrary_.reset(new DynamicLibrary);
        if (!jvmLibrary_->IsLoaded()) {
            long rc = jvmLibrary_->Load(settings_.jvmLibrary);
            if (rc != kOk) {
                Queue(Format("Could not load %s: %s\n", settings_.jvmLibrary.c_str(),
                             jvmLibrary_->ErrorMessage().c_str()));
                throw LaunchError();
            }
        }
        auto create = reinterpret_cast<CreateJavaVmFn>(jvmLibrary_->Symbol("JNI_CreateJavaVM"));
        if (!create) {
            Queue(Format("Could not find JNI_CreateJavaVM in %s\n", settings_.jvmLibrary.c_str()));
            throw LaunchError();
        }
        JavaVM* jvm = nullptr;
        JNIEnv* env = nullptr;
        jint created = create(&jvm, reinterpret_cast<void**>(&env), &args);
        if (created < 0 || !jvm || !env) {
            Queue(Format("Can't create Java VM: %d\n", static_cast<int>(created)));
            SetStatusText("Could not create Proxy thread");
            return false;
        }

        // 5-7: main class, main method, argument array.
        std::string className = settings_.mainClass;
        for (char& c : className)
            if (c == '.') c = '/';
        jclass mainClass = env->FindClass(className.c_str());
        if (!mainClass || env->ExceptionCheck()) {
            Queue(FormatEscaped("Could not find Java class: %s\n", settings_.mainClass.c_str()));
            TakeException(env);
            SetStatusText("Could not init Proxy thread");
            return false;
        }
        jmethodID mainMethod = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
        if (!mainMethod || env->ExceptionCheck()) {
            Queue("Could not find Java main method\n");
            TakeException(env);
            SetStatusText("Could not initiate Proxy thread");
            return false;
        }
        jclass stringClass = env->FindClass("java/lang/String");
        jobjectArray mainArgs =
            stringClass ? env->NewObjectArray(0, stringClass, nullptr) : nullptr;
        if (!mainArgs || env->ExceptionCheck()) {
            Queue("Could not create Java args array\n");
            TakeException(env);
            SetStatusText("Could not initialize Proxy thread");
            return false;
        }

        // 8-9: main returns once the client's own threads run.
        Queue("Starting JVM...");
        PostToMain(kMsgJavaLog);
        jvalue mainValue;
        mainValue.l = mainArgs;
        env->CallStaticVoidMethodA(mainClass, mainMethod, &mainValue);
        if (env->ExceptionCheck()) {
            Queue("Could not start Java VM\n");
            SetStatusText("Could not start Proxy thread");
            TakeException(env);
            return false;
        }

        // 10: confirm the client's own start text, unless it already moved on.
        ReplaceStatusText("Initializing...", "Initializing...OK");
        Queue("OK\n");

        // 11: the address the client uses.
        try {
            jmethodID sync =
                env->GetStaticMethodID(mainClass, "syncaddress", "()Ljava/lang/String;");
            if (!sync) {
                env->ExceptionClear();  // NoSuchMethodError: the method is optional
                Queue("Could not find Java syncaddress method\n");
            } else {
                Queue("Calling java method syncaddress()\n");
                jstring result =
                    static_cast<jstring>(env->CallStaticObjectMethodA(mainClass, sync, nullptr));
                if (TakeException(env)) throw LaunchError();
                std::string local;
                if (result) {
                    const char* chars = env->GetStringUTFChars(result, nullptr);
                    if (chars) {
                        local = chars;
                        env->ReleaseStringUTFChars(result, chars);
                    }
                }
                Queue(FormatEscaped("Java localAddress: %s\n", local.c_str()));
                if (host_) host_->SetJavaLocalAddress(local);
            }
        } catch (...) {
            Queue(
                "Internal error(ignored): Caught exception while calling java method "
                "syncaddress()\n");
        }

        // 12-13
        Queue("Calling OnJavaStarted()\n");
        try {
            if (host_) host_->OnJavaStarted(1);
        } catch (...) {
            Queue("Internal error(ignored): Caught exception while calling OnJavaStarted()\n");
        }
        Queue("Calling VerifyInstallation()\n");
        try {
            PostToMain(kMsgVerifyInstallation);
        } catch (...) {
            Queue("Internal error(ignored): Caught exception while calling VerifyInstallation()\n");
        }

        // 14-15: stay here until the Java program's last non-daemon thread ends.
        Queue("Calling jvm->DestroyJavaVM()\n");
        PostToMain(kMsgJavaLog);
        jvm->DestroyJavaVM();
        Queue("JVM terminated\n");
        SetStatusText("Proxy thread terminated");
        return true;
    } catch (...) {
        Queue("Internal error: Could not start Java VM\n");
        SetStatusText("Could not start Proxy Thread");
        return false;
    }
}

bool StartJava(JavaLauncher& launcher, bool javaOk, bool credentialsOk, unsigned parameter,
               const JavaLaunchSettings& settings) {
    TheLog().Close();
    if (!javaOk || !credentialsOk) return false;
    return launcher.Start(parameter, settings) == kOk;
}

}  // namespace corv
