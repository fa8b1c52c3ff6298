// Benchmark of the install description: read, write and merge of a generated description,
// compared with merely reading the file's bytes. Usage: bench_description [items] [folder]
#include <sched.h>
#include <sys/stat.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "installer/description/description.h"
#include "platform/file_ops.h"
#include "platform/files.h"

using namespace corv;
using namespace corv::inst;
using Clock = std::chrono::steady_clock;

namespace {

// A package with `items` items: registry values, files, links and scripts in the proportions
// of a real product, with flags, selectables and placeholders; `offset` shifts the names so
// that two packages overlap in part.
std::string Generate(int items, int offset, const char* version) {
    std::string t;
    t.reserve(static_cast<size_t>(items) * 110 + 4096);
    t += "[Release]\r\nPackageType=Install\r\nCompany=Velmora\r\nProduct=Corvane\r\n";
    t += "ProcessName=corvtray\r\nVersion=" + std::string(version) +
         "\r\nInstallFor=allusers|prompt\r\n";
    t += "TargetFolder=C:\\Program Files\\$Company\\$Product\r\n";
    t += "[AddRemovePrograms]\r\nDisplayName=$Product\r\nUninstallString=C:\\x\\uninst.exe\r\n";
    t +=
        "[Selectables]\r\ninternal=nutc|NuTCRACKER|selected\r\ninternal=acrobat|Reader|cleared\r\n";
    t += "[Pages]\r\nWelcomePage=Header|Welcome to $Product\r\n";
    int reg = items * 4 / 10, files = items * 5 / 10, scripts = items - reg - files;
    t += "[RegistryKeys]\r\n";
    for (int i = 0; i < reg; ++i) {
        int n = i + offset;
        if (i % 10 == 9)
            t += "Selectable=nutc|reg|HKLM|SOFTWARE\\NuTC\\Key" + std::to_string(n / 8) + "|v" +
                 std::to_string(n) + "|REG_DWORD|" + std::to_string(n) + "\r\n";
        else
            t += "reg=$TargetHKEY|SOFTWARE\\$Company\\$Product\\Key" + std::to_string(n / 8) +
                 "|value" + std::to_string(n) + "|REG_SZ|$TargetFolder\\data" + std::to_string(n) +
                 (i % 7 == 0 ? "|ignoreorder|validsince|2.0" : "") + "\r\n";
    }
    t += "[FileItems]\r\n";
    for (int i = 0; i < files; ++i) {
        int n = i + offset;
        std::string path = "$TargetFolder\\lib\\module" + std::to_string(n);
        if (i % 20 == 0)
            t += "dir=" + path + "\r\n";
        else if (i % 20 == 1)
            t += "link=$StartMenuProgramsFolder\\Corvane\\m" + std::to_string(n) + ".lnk|" + path +
                 ".exe||/hide\r\n";
        else if (i % 20 == 2)
            t += "Selectable=acrobat|file|" + path + ".pdf\r\n";
        else
            t += "file=" + path + ".dll" + (i % 13 == 0 ? "|obsolete" : "") + "\r\n";
    }
    t += "[Scripts]\r\n";
    for (int i = 0; i < scripts; ++i) {
        int n = i + offset;
        t += "Exec=$TargetFolder\\bin\\setup" + std::to_string(n) +
             ".exe|void|/quiet /n:" + std::to_string(n) + "|$TargetFolder\\out" +
             std::to_string(n) + ".txt|hide|update|1234567890123\r\n";
    }
    return t;
}

// The CPUs the benchmark may run on. On a virtual machine one of them may share its core with
// a busy neighbour for minutes, which slows computing down by half and copying hardly at all:
// each figure is the best of its rounds on every CPU, so that such a neighbour does not decide
// the comparison between parsing and reading.
std::vector<int> Cpus() {
    std::vector<int> cpus;
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0)
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
#endif
    if (cpus.empty()) cpus.push_back(-1);  // unknown: wherever the system runs it
    return cpus;
}

void RunOn(int cpu) {
#ifdef __linux__
    static const std::vector<int> all = Cpus();
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int c : all)
        if (cpu < 0 || c == cpu) CPU_SET(c, &set);
    sched_setaffinity(0, sizeof(set), &set);
#else
    (void)cpu;
#endif
}

// The best time of `f` over its rounds; `release`, untimed, drops what a round made, so that
// freeing one round's result is not counted in the next.
template <typename F, typename R>
double BestMs(int rounds, F f, R release) {
    double best = 1e30;
    for (int cpu : Cpus()) {
        RunOn(cpu);
        for (int r = 0; r < rounds; ++r) {
            auto start = Clock::now();
            f();
            double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (ms < best) best = ms;
            release();
        }
    }
    RunOn(-1);
    return best;
}

template <typename F>
double BestMs(int rounds, F f) {
    return BestMs(rounds, f, [] {});
}

LoadOptions Options() {
    LoadOptions o;
    o.windowsVersion = "Windows XP";
    o.placeholders = [](const std::string&, std::string*) { return false; };
    return o;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Keep freed memory in the process: otherwise each round's large vectors come from fresh
    // mmap calls and the figures measure page faults (costly in a VM) instead of the code.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    int items = argc > 1 ? std::atoi(argv[1]) : 20000;
    std::string folder = argc > 2 ? argv[2] : TempFolder();
    std::string path = folder + "/bench_description.cfg";
    std::string installedPath = folder + "/bench_uninst.cfg";
    const int rounds = 40;
    const LoadOptions options = Options();

    std::string text = Generate(items, 0, "2.0");
    if (WriteFileBytes(path, text) != kOk) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    // The plain read: the file's bytes from disk (page cache warm) into a buffer of the file's
    // size in one fread, as the loader reads them; nothing else.
    size_t bytes = 0;
    bool readAll = true;
    std::string plain;
    double readMs = BestMs(
        rounds,
        [&] {
            std::FILE* f = std::fopen(path.c_str(), "rb");
            if (!f) return;
            struct stat st;
            plain.assign(fstat(fileno(f), &st) == 0 ? static_cast<size_t>(st.st_size) : 0, '\0');
            bytes = plain.empty() ? 0 : std::fread(&plain[0], 1, plain.size(), f);
            std::fclose(f);
        },
        [&] {
            readAll = readAll && bytes == text.size() && plain == text;
            std::string().swap(plain);
        });
    if (!readAll) {
        std::fprintf(stderr, "plain read got %zu of %zu bytes\n", bytes, text.size());
        return 1;
    }
    // A plain line reader: the bytes split into one string per line, as a text-file reader
    // hands them out.
    std::vector<std::string> all;
    size_t lines = 0;
    double lineReadMs = BestMs(
        rounds,
        [&] {
            std::FILE* f = std::fopen(path.c_str(), "rb");
            std::string data(text.size() + 1, '\0');
            size_t got = f ? std::fread(&data[0], 1, data.size(), f) : 0;
            if (f) std::fclose(f);
            size_t start = 0;
            for (size_t i = 0; i < got; ++i) {
                if (data[i] == '\n') {
                    all.emplace_back(data, start, i - start);
                    start = i + 1;
                }
            }
        },
        [&] {
            lines = all.size();
            std::vector<std::string>().swap(all);
        });
    CInstallConfig config;
    auto releaseConfig = [&] { config = CInstallConfig(); };
    double loadMs = BestMs(
        rounds, [&] { config.Load(path, options); }, releaseConfig);
    double parseMs = BestMs(
        rounds, [&] { config.Parse(text, path, options); }, releaseConfig);
    config.Parse(text, path, options);
    size_t count = config.GetRegistryItems().size() + config.GetFileItems().size() +
                   config.GetScripts().size();
    double writeMs = BestMs(rounds, [&] { config.Save(installedPath); });

    // Merge: an installed copy and a newer package that overlap in half of their items.
    CInstallConfig installed;
    installed.Load(installedPath, options);
    CInstallConfig newer;
    newer.Parse(Generate(items, items / 2, "2.1"), "newer.cfg", options);
    double mergeMs = BestMs(rounds, [&] {
        CInstallConfig copy = installed;
        copy.Merge(newer);
    });
    double copyMs = BestMs(rounds, [&] { CInstallConfig copy = installed; });
    double mergeFileMs = BestMs(3, [&] {
        config.Save(installedPath);
        CInstallConfig::MergeIntoFile(installedPath, newer, options);
    });

    // Linearity: the same merge at half and at double the size.
    auto mergeAt = [&](int n) {
        CInstallConfig a, b;
        a.Parse(Generate(n, 0, "2.0"), "a.cfg", options);
        b.Parse(Generate(n, n / 2, "2.1"), "b.cfg", options);
        double withCopy = BestMs(5, [&] {
            CInstallConfig copy = a;
            copy.Merge(b);
        });
        double copyOnly = BestMs(5, [&] { CInstallConfig copy = a; });
        return withCopy - copyOnly;
    };
    double half = mergeAt(items / 2), full = mergeAt(items), twice = mergeAt(items * 2);

    auto rate = [&](double ms) { return count / (ms / 1000.0); };
    std::printf(
        "description benchmark: %zu items, %zu bytes, best of %d runs on each of %zu CPUs\n", count,
        bytes, rounds, Cpus().size());
    std::printf("  plain read of the bytes : %8.2f ms\n", readMs);
    std::printf("  plain read, line by line: %7.2f ms  (%zu lines)\n", lineReadMs, lines);
    std::printf("  parse (from memory)     : %8.2f ms  %10.0f items/s  %5.1fx plain read\n",
                parseMs, rate(parseMs), parseMs / readMs);
    std::printf("                            %26s %5.1fx line-by-line read\n", "",
                parseMs / lineReadMs);
    std::printf("  read + parse (Load)     : %8.2f ms  %10.0f items/s  %5.1fx plain read\n", loadMs,
                rate(loadMs), loadMs / readMs);
    std::printf("  write (Save)            : %8.2f ms  %10.0f items/s\n", writeMs, rate(writeMs));
    std::printf(
        "  merge in memory         : %8.2f ms  %10.0f items/s  (copy of the installed "
        "description %.2f ms excluded)\n",
        mergeMs - copyMs, rate(mergeMs - copyMs), copyMs);
    std::printf(
        "  merge into file         : %8.2f ms  (load installed copy, merge, save .mrg, replace)\n",
        mergeFileMs);
    std::printf(
        "  merge scaling           : %d items %.2f ms, %d items %.2f ms, %d items %.2f ms "
        "(ratio per doubling %.2f, %.2f)\n",
        items / 2, half, items, full, items * 2, twice, full / half, twice / full);
    RemoveFile(path);
    RemoveFile(installedPath);
    return 0;
}
