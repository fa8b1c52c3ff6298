// Finding the Java runtime the client runs in: a runtime in the program folder, else the
// newest registered Java 1.4.2 or newer (runtime environments before development kits),
// else a runtime of the Java 9 and later registry families.
#pragma once

#include <string>

namespace corv {

// The chosen runtime; part of the controller's run-time state.
struct JavaRuntime {
    int javaOk = 0;           // 1 while a usable runtime is known
    std::string JavaVersion;  // e.g. 1.4.2_05
    std::string JavaHome;     // the runtime's root folder
    std::string JRE;          // the Java launcher without extension
    std::string JVM;          // the folder of jvm.dll
};

extern const char* const kJreFamilyKey;        // "SOFTWARE\JavaSoft\Java Runtime Environment"
extern const char* const kJdkFamilyKey;        // "SOFTWARE\JavaSoft\Java Development Kit"
extern const char* const kModernJreFamilyKey;  // "SOFTWARE\JavaSoft\JRE" (Java 9 and later)
extern const char* const kModernJdkFamilyKey;  // "SOFTWARE\JavaSoft\JDK"

// The whole search; fills *runtime. On failure logs it, sets the status text "Disabled: Java
// 1.4.2 is not installed" and leaves javaOk 0. `home` is the preference Home.
bool VerifyJava(const std::string& home, JavaRuntime* runtime);

// A "jre-<version>" folder in the program folder; no version check.
bool FindPrivateJre(const std::string& home, JavaRuntime* runtime);

// The newest version of one registry family under HKEY_LOCAL_MACHINE ("JRE" or "JDK").
bool FindLatestJre(const std::string& label, const std::string& keyPath, JavaRuntime* runtime);

// The newest version of a Java 9 and later family, by version number; runtimes whose folder
// holds a jvm.dll come first. These have no "jre" subfolder.
bool FindModernJre(const std::string& label, const std::string& keyPath, JavaRuntime* runtime);

// Uses bin\server when the chosen runtime has no client VM but a server VM (64-bit runtimes
// ship only the server VM). Logs the change.
void ChooseVmFolder(JavaRuntime* runtime);

// Plain text comparison without regard to case (so 1.4.2_05 > 1.4.2 and 1.10.0 < 1.4.2).
int CompareJavaVersionText(const std::string& a, const std::string& b);
// Comparison by the numbers in the version (so 10 > 9 and 17.0.2 > 17).
int CompareJavaVersionNumbers(const std::string& a, const std::string& b);

}  // namespace corv
