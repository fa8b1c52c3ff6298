// Benchmark of the install job: a package of many files installed by the job, against a plain
// recursive copy of the same package folder ("cp -r" here, "xcopy" under Windows).
// Usage: bench_install [files] [total megabytes] [folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/job/install_job.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/memory_registry.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

using namespace corv;
using namespace corv::inst;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Removes a tree this benchmark made (files one level below its subfolders).
void RemoveTree(const std::string& path) {
    std::string command;
#ifdef _WIN32
    command = "/c rmdir /s /q \"" + path + "\"";
    ChildProcess p;
    if (p.Start(GetEnv("COMSPEC"), command)) p.Wait(kWaitForever);
#else
    ChildProcess p;
    if (p.Start("/bin/rm", "-rf '" + NativePath(path) + "'")) p.Wait(kWaitForever);
#endif
}

// The Add/Remove entry of the round before: the next round is a fresh install again.
void RemoveEntry() {
    RegKey key;
    if (key.Open(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                 kRegReadWrite) == kOk)
        key.DeleteTree("CorvBench");
}

double PlainCopy(const std::string& from, const std::string& to) {
    ChildProcess p;
    auto start = Clock::now();
#ifdef _WIN32
    bool started =
        p.Start(GetEnv("COMSPEC"), "/c xcopy \"" + from + "\" \"" + to + "\" /E /I /Q /Y > NUL");
#else
    bool started = p.Start("/bin/cp", "-r '" + NativePath(from) + "' '" + NativePath(to) + "'");
#endif
    if (!started || p.Wait(kWaitForever) != ProcessWait::Ended) {
        std::fprintf(stderr, "the plain copy could not run\n");
        std::exit(1);
    }
    return Since(start);
}

double Install(const std::string& pkg) {
    auto start = Clock::now();
    CInstallLog log;
    log.Attach();
    InstallerOptions o;
    o.packageFolder = pkg;
    o.configPath = pkg + "\\corvinst.cfg";
    o.programFile = pkg + "\\corvinst.exe";
    o.silent = true;
    CInstallMgr mgr(o, log);
    if (mgr.Install() != InstallAction::INSTALL) {
        std::fprintf(stderr, "the install was not decided: %s\n", ActionText(mgr.Action()).c_str());
        std::exit(1);
    }
    JobOptions options;
    options.installerFile = pkg + "\\corvinst.exe";
    options.progressPauseMs = 0;
    CInstallJob job(mgr, options);
    if (job.Run() != JobOutcome::Success) {
        std::fprintf(stderr, "the install failed: %s\n", job.CompleteText().c_str());
        std::exit(1);
    }
    log.Detach();
    return Since(start);
}

}  // namespace

int main(int argc, char** argv) {
    int files = argc > 1 ? std::atoi(argv[1]) : 2000;
    int megabytes = argc > 2 ? std::atoi(argv[2]) : 200;
    std::string base = argc > 3 ? argv[3] : TempFolder();
    std::string root = base + "\\corvbench_" + std::to_string(CurrentProcessId());
    std::string pkg = root + "\\pkg", target = root + "\\target", copy = root + "\\copy";
    MakeDirectory(root);
    MakeDirectory(pkg);
    SetEnv("TEMP", root);
#ifndef _WIN32
    ScopedMemoryRegistry registry;  // no registry here: the job's few values go to memory
#endif

    // The package: files of equal size, installed into twenty subfolders of the target.
    size_t size = static_cast<size_t>(megabytes) * 1048576 / static_cast<size_t>(files);
    std::string items = "[FileItems]\r\n";
    for (int d = 0; d < 20; ++d) items += "dir=$TargetFolder\\d" + std::to_string(d) + "\r\n";
    std::string bytes(size, 'x');
    for (int i = 0; i < files; ++i) {
        std::string name = "f" + std::to_string(i) + ".bin";
        for (size_t j = 0; j < size; j += 4096) bytes[j] = static_cast<char>(i + j);
        WriteFileBytes(pkg + "\\" + name, bytes);
        items += "file=$TargetFolder\\d" + std::to_string(i % 20) + "\\" + name + "\r\n";
    }
    WriteFileBytes(pkg + "\\corvinst.exe", "installer");
    WriteFileBytes(pkg + "\\corvinst.cfg",
                   "[Release]\r\nPackageType=Install\r\nCompany=Velmora\r\nProduct=CorvBench\r\n"
                   "Version=1.0\r\nInstallFor=onlyforme\r\nTargetFolder=" +
                       target + "\r\n[AddRemovePrograms]\r\nDisplayName=CorvBench\r\n" + items);

    PlainCopy(pkg, copy);  // warms the cache for both
    RemoveTree(copy);
    double best = 1e30, bestCopy = 1e30;
    for (int round = 0; round < 3; ++round) {
        double ms = Install(pkg);
        if (ms < best) best = ms;
        RemoveTree(target);
        RemoveEntry();
        ms = PlainCopy(pkg, copy);
        if (ms < bestCopy) bestCopy = ms;
        RemoveTree(copy);
    }
#ifdef _WIN32
    const char* plain = "xcopy /E";
#else
    const char* plain = "cp -r";
#endif
    std::printf("install benchmark: %d files, %d MB, best of 3\n", files, megabytes);
    std::printf("  install (decision + job)  : %9.1f ms\n", best);
    std::printf("  %-25s : %9.1f ms\n", plain, bestCopy);
    std::printf("  ratio                     : %9.2fx (goal: at most 1.3x natively)\n",
                best / bestCopy);
    RemoveEntry();
    RemoveTree(root);
    return 0;
}
