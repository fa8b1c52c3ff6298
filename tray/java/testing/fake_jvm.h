// A stand-in for the Java virtual machine library, for tests only: it exports JNI_CreateJavaVM,
// hands out a minimal JNI function table and, for the known client classes, calls the bridge
// library's natives from a client thread like a Java client would. Never a Java runtime.
#pragma once

#ifdef _WIN32
#define FAKE_JVM_API extern "C" __declspec(dllexport)
#else
#define FAKE_JVM_API extern "C" __attribute__((visibility("default")))
#endif

// What the stand-in does on the next creation. Classes it knows:
//   corvane/proxyclient/ProxyClient, corvane/testclient/AllNatives: main reports
//     "Initializing...", starts a client thread that waits for syncaddress() and then calls
//     every native in slot order (the same calls as the Java test class AllNatives);
//   corvane/testclient/QuickMain: main reports "Initializing..." only; no syncaddress;
//   corvane/testclient/StayingClient: main reports "Initializing..." and its client thread runs,
//     calling nothing, until the process ends (a client that stays up);
//   corvane/testclient/ThrowingMain: main throws;  corvane/testclient/NoMain: no main.
struct FakeJvmScript {
    int createResult;       // what JNI_CreateJavaVM returns; 0 creates the machine
    int failStringArray;    // NewObjectArray fails with a pending exception
    int syncaddressThrows;  // syncaddress() throws
    int syncaddressNull;    // syncaddress() returns null
};

// Sets the script and forgets the previous machine, so that a new one can be created.
typedef void (*FakeJvmResetFn)(const FakeJvmScript* script);
// The creation arguments seen last: option i (null past the end), version, ignore flag.
typedef const char* (*FakeJvmOptionFn)(int index);
typedef int (*FakeJvmIntFn)(void);
// Calls made by the launcher, in order, one per line ("FindClass corvane/...", "Destroy", ...).
typedef const char* (*FakeJvmCallsFn)(void);
// How the client thread found the natives: "decorated" or "plain".
typedef const char* (*FakeJvmBindingFn)(void);

FAKE_JVM_API void FakeJvmReset(const FakeJvmScript* script);
FAKE_JVM_API const char* FakeJvmOption(int index);
FAKE_JVM_API int FakeJvmOptionCount(void);
FAKE_JVM_API int FakeJvmVersion(void);
FAKE_JVM_API int FakeJvmIgnoreUnrecognized(void);
FAKE_JVM_API const char* FakeJvmCalls(void);
FAKE_JVM_API const char* FakeJvmBinding(void);
