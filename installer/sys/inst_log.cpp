#include "installer/sys/inst_log.h"

#include <cstdarg>

#include "platform/text.h"

namespace corv::inst {

namespace {
Mutex g_mutex;
InstallLogSink g_sink;
}  // namespace

InstallLogSink SetInstallLogSink(InstallLogSink sink) {
    std::lock_guard<Mutex> lock(g_mutex);
    std::swap(g_sink, sink);
    return sink;
}

void InstLogText(const std::string& text) {
    std::lock_guard<Mutex> lock(g_mutex);
    if (g_sink) g_sink(text);
}

void InstLog(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = FormatV(fmt, args);
    va_end(args);
    InstLogText(text);
}

ScopedLogCapture::ScopedLogCapture() {
    m_previous = SetInstallLogSink([this](const std::string& text) {
        std::lock_guard<Mutex> lock(m_mutex);
        m_lines.push_back(text);
    });
}

ScopedLogCapture::~ScopedLogCapture() {
    SetInstallLogSink(std::move(m_previous));
}

std::vector<std::string> ScopedLogCapture::Lines() {
    std::lock_guard<Mutex> lock(m_mutex);
    return m_lines;
}

std::string ScopedLogCapture::Text() {
    std::lock_guard<Mutex> lock(m_mutex);
    std::string all;
    for (const auto& line : m_lines) all += line;
    return all;
}

bool ScopedLogCapture::Contains(const std::string& text) {
    return Text().find(text) != std::string::npos;
}

}  // namespace corv::inst
