#include "tray/core/log_file.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

namespace corv {

namespace {

const char kLoggerKey[] = "Software\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Logger";
const size_t kConfigValueBytes = 100;
const int kDefaultFileCount = 5;
const int kDefaultFileSize = 500000;
const int kMaxFileCount = 1000;
// How many numbers past the configured count are checked for files of a larger former count.
const int kStaleFileSearch = 100;

// A present, non-empty string value of at most kConfigValueBytes; false otherwise.
bool ReadConfigValue(const RegKey& key, const char* name, std::string* out) {
    std::string text;
    if (key.QueryString(name, &text, kConfigValueBytes) != kOk || text.empty()) return false;
    *out = text;
    return true;
}

// A decimal number as the C library reads it (leading blanks and sign, digits up to the
// first other character); false when it does not fit an int.
bool ParseNumber(const std::string& text, int* out) {
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

std::string RotatedName(const std::string& folder, int number) {
    return Format("%s%s%d%s", folder.c_str(), "start", number, ".log");
}

// Lost lines are reported by one line where they would have been.
std::string DroppedLine(int count, const char* where, int bound) {
    return CLogFile::LogLine(
        corv::Format("Log: %d lines dropped %s (at most %d wait)\n", count, where, bound));
}

void PrintOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

CLogFile::CLogFile() {
    pending_.reserve(kPendingLines);
    ReadConfiguration();
}

CLogFile::~CLogFile() {
    Close();
}

void CLogFile::ReadConfiguration() {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    format_ = "binary";
    fileCount_ = kDefaultFileCount;
    fileSize_ = kDefaultFileSize;

    RegKey key;
    if (key.Open(RegRoot::CurrentUser, kLoggerKey, kRegRead) != kOk) return;
    std::string text;
    if (ReadConfigValue(key, "log/Format1814", &text)) {
        format_ = EqualsNoCase(Trim(text), "ascii") ? "ascii" : "binary";
    }
    int number = 0;
    if (ReadConfigValue(key, "log/File/Count", &text)) {
        bool ok = ParseNumber(text, &number) && number >= 1 && number <= kMaxFileCount;
        fileCount_ = ok ? number : kDefaultFileCount;
    }
    if (ReadConfigValue(key, "log/File/Size", &text)) {
        bool ok = ParseNumber(text, &number) && number >= 1;
        fileSize_ = ok ? number : kDefaultFileSize;
    }
}

void CLogFile::Log(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = FormatEscapedV(fmt, args);
    va_end(args);
    LogText(text);
}

void CLogFile::LogText(const std::string& text) {
    std::string line = text.find("[script]") != std::string::npos ? text : LogLine(text);
    std::lock_guard<RecursiveMutex> lock(mutex_);
    if (file_) {
        WriteLocked(line);
    } else if (static_cast<int>(pending_.size()) < kPendingLines) {
        pending_.push_back(std::move(line));
    } else {
        ++dropped_;
    }
    if (consoleEcho_) PrintOut(text);
    if (observer_) observer_(text);
}

void CLogFile::SetObserver(Observer observer) {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    observer_ = std::move(observer);
}

void CLogFile::Echo(const char* fmt, ...) {
    if (!consoleEcho_) return;
    va_list args;
    va_start(args, fmt);
    std::string text = FormatEscapedV(fmt, args);
    va_end(args);
    PrintOut(text);
}

bool CLogFile::Open(const std::string& home, const std::string& clientId) {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    std::string folder = WithTrailingBackslash(home);
    folder += clientId.empty() ? std::string("logs\\") : "logs-" + clientId + "\\";

    const std::string dir = folder.substr(0, folder.size() - 1);  // checked without the separator
    if (!PathExists(dir)) {
        long rc = MakeDirectory(dir);
        if (rc != kOk && rc != kErrAlreadyExists) {
            PrintOut(
                corv::Format("Create log dir failed, reason: 0x%x\n", static_cast<unsigned>(rc)));
        }
    } else if (!IsDirectory(dir)) {
        PrintOut(
            corv::Format("Create log dir failed, reason: file exists and is not a directory: %s\n",
                         folder.c_str()));
    }

    if (file_) {  // opened again: the earlier file ends before it is rotated
        FlushLocked();
        std::fclose(file_);
        file_ = nullptr;
    }
    Rotate(folder);

    fileName_ = folder + "start0.log";
    file_ = OpenFile(fileName_, "w+b");
    if (!file_) {
        // The system's texts ended with a line end; ours are trimmed, so the line gets its own.
        PrintOut(corv::Format("Could not create log file: %s \nreason: %s\n", fileName_.c_str(),
                              ErrorText(LastFileError()).c_str()));
        return false;
    }
    FlushLocked();
    return true;
}

void CLogFile::Rotate(const std::string& folder) {
    const int n = fileCount_;
    for (int i = n - 1; i >= 0; --i) {
        std::string name = RotatedName(folder, i);
        if (!PathExists(name)) continue;
        if (i == n - 1) {
            RemoveFile(name);
            continue;
        }
        std::string next = RotatedName(folder, i + 1);
        if (PathExists(next)) RemoveFile(next);
        if (RenameFile(name, next) != kOk) Log("Rename failed: %s\n", name.c_str());
    }
    for (int i = n; i < n + kStaleFileSearch; ++i) {
        std::string name = RotatedName(folder, i);
        if (!PathExists(name)) break;
        RemoveFile(name);
    }
}

void CLogFile::Close() {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    CloseLocked();
}

void CLogFile::CloseLocked() {
    if (file_) {
        FlushLocked();
        std::fclose(file_);
        file_ = nullptr;
    } else if (!pending_.empty() && !fileName_.empty()) {
        if (ReopenLocked()) {
            FlushLocked();
            std::fclose(file_);
            file_ = nullptr;
        } else {
            dropped_ += static_cast<int>(pending_.size());
        }
    } else {
        return;  // nothing written yet and no file to write to: keep the lines for Open
    }
    pending_.clear();
}

bool CLogFile::Reopen() {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    return ReopenLocked();
}

bool CLogFile::ReopenLocked() {
    if (file_ || fileName_.empty()) return file_ != nullptr;
    file_ = OpenFile(fileName_, "r+b");
    if (!file_) {
        Echo("Could not reopen log file: %s \nreason: %s\n", fileName_.c_str(),
             ErrorText(LastFileError()).c_str());
        return false;
    }
    std::fseek(file_, 0, SEEK_END);
    return true;
}

void CLogFile::Flush() {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    FlushLocked();
}

void CLogFile::FlushLocked() {
    if (!file_) return;
    for (const std::string& line : pending_) WriteLocked(line);
    if (dropped_ > 0) {
        WriteLocked(DroppedLine(dropped_, "while the log file was closed", kPendingLines));
        dropped_ = 0;
    }
    std::fflush(file_);
    pending_.clear();
}

void CLogFile::WriteLocked(const std::string& line) {
    std::string bytes = Encode(line, format_ == "binary");
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
}

bool CLogFile::IsOpen() const {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    return file_ != nullptr;
}

bool CLogFile::AppendScriptOutput(const std::string& path) {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    const bool wasOpen = file_ != nullptr;
    FILE* in = OpenFile(path, "rb");
    if (!in) {
        Log("Could not read: %s, reason: %s\n", path.c_str(), ErrorText(LastFileError()).c_str());
        return false;
    }
    if (!file_ && !ReopenLocked()) {
        std::fclose(in);
        return false;
    }
    FlushLocked();

    std::string text;
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof(buf), in)) > 0) text.append(buf, got);
    std::fclose(in);
    // Child processes of the command interpreter write in its code page.
    text = OemToUtf8(text);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        WriteLocked("[script] " + EscapeControls(Trim(text.substr(start, end - start))) + " \n");
        start = end + 1;
    }
    if (!wasOpen) CloseLocked();
    return true;
}

std::string CLogFile::FileName() const {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    return fileName_;
}

std::string CLogFile::Format() const {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    return format_;
}

int CLogFile::FileCount() const {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    return fileCount_;
}

int CLogFile::FileSize() const {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    return fileSize_;
}

int CLogFile::PendingCount() const {
    std::lock_guard<RecursiveMutex> lock(mutex_);
    return static_cast<int>(pending_.size());
}

std::string CLogFile::TimeStamp() {
    LocalTime t = LocalTimeNow();
    return corv::Format("%d-%d-%d %02d:%02d:%02d,%03d", t.year, t.month, t.day, t.hour, t.minute,
                        t.second, t.millisecond);
}

std::string CLogFile::LogLine(const std::string& text) {
    return "[" + TimeStamp() + "]  " + text;
}

std::string CLogFile::Encode(const std::string& text, bool binary) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b == '\n') {
            out += "\r\n";  // the file's line end on every platform
            continue;
        }
        if (binary && b != '\r') {
            unsigned char s = b ^ kScramble;
            if (s != '\n' && s != '\r') b = s;
        }
        out += static_cast<char>(b);
    }
    return out;
}

CLogFile& TheLog() {
    static CLogFile log;
    return log;
}

bool LineQueue::Push(const std::string& text) {
    return PushRaw(CLogFile::LogLine(text));
}

bool LineQueue::PushRaw(const std::string& line) {
    std::lock_guard<Mutex> lock(mutex_);
    if (static_cast<int>(lines_.size()) >= kSlots) {
        ++dropped_;
        return false;
    }
    lines_.push_back(line);
    return true;
}

std::string LineQueue::TakeAll() {
    std::lock_guard<Mutex> lock(mutex_);
    std::string text;
    for (const std::string& line : lines_) text += line;
    lines_.clear();
    if (dropped_ > 0) {
        text += DroppedLine(dropped_, "from a worker thread's queue", kSlots);
        dropped_ = 0;
    }
    return text;
}

bool LineQueue::HasUnread() const {
    std::lock_guard<Mutex> lock(mutex_);
    return !lines_.empty() || dropped_ > 0;
}

LineQueue& JavaLogQueue() {
    static LineQueue queue;
    return queue;
}

LineQueue& ScriptLogQueue() {
    static LineQueue queue;
    return queue;
}

}  // namespace corv
