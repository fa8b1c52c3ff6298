#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/text.h"

namespace corv {

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

// One conversion of the format, given as its own printf format ("%-8.3lx"), with one argument.
template <typename T>
std::string One(const std::string& directive, T value) {
    int n = std::snprintf(nullptr, 0, directive.c_str(), value);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(&out[0], out.size(), directive.c_str(), value);
    out.resize(static_cast<size_t>(n));
    return out;
}

enum class Size { None, Char, Short, Long, LongLong, Max, SizeT, PtrDiff, LongDouble };

// Length modifiers, the two-letter ones first.
const struct {
    const char* text;
    Size size;
} kSizes[] = {{"hh", Size::Char},   {"ll", Size::LongLong}, {"h", Size::Short},
              {"l", Size::Long},    {"j", Size::Max},       {"z", Size::SizeT},
              {"t", Size::PtrDiff}, {"L", Size::LongDouble}};

// strlen that reads at most `max` bytes.
size_t BoundedLength(const char* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

}  // namespace

std::string EscapeControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (!IsControl(c)) {
            out += ch;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\x%02x", c);
            out += buf;
        }
    }
    return out;
}

std::string WithoutControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool inRun = false;
    for (char ch : text) {
        if (IsControl(static_cast<unsigned char>(ch))) {
            if (!inRun) out += ' ';
            inRun = true;
        } else {
            out += ch;
            inRun = false;
        }
    }
    return out;
}

std::string FormatEscapedV(const char* fmt, va_list args) {
    std::string out;
    const char* p = fmt;
    while (*p) {
        if (*p != '%') {
            const char* next = std::strchr(p, '%');
            size_t n = next ? static_cast<size_t>(next - p) : std::strlen(p);
            out.append(p, n);
            p += n;
            continue;
        }
        const char* start = p++;
        // The conversion is rebuilt with '*' replaced by the numbers taken from the arguments.
        std::string directive = "%";
        while (*p && std::strchr("-+ #0", *p)) directive += *p++;
        if (*p == '*') {
            directive += std::to_string(va_arg(args, int));
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') directive += *p++;
        }
        int precision = -1;
        std::string precisionText;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                precision = va_arg(args, int);
                ++p;
            } else {
                precision = 0;
                while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
            }
            if (precision >= 0) precisionText = "." + std::to_string(precision);
        }
        Size size = Size::None;
        std::string sizeText;
        for (const auto& m : kSizes) {
            size_t n = std::strlen(m.text);
            if (std::strncmp(p, m.text, n) == 0) {
                size = m.size;
                sizeText = m.text;
                p += n;
                break;
            }
        }
        const char conversion = *p;
        if (!conversion) {  // a format cut short: shown as written
            out += start;
            break;
        }
        ++p;
        const std::string full = directive + precisionText + sizeText + conversion;
        switch (conversion) {
            case '%':
                out += '%';
                break;
            case 's':
                if (size == Size::Long) {
                    out += One(full, va_arg(args, const wchar_t*));
                } else {
                    const char* s = va_arg(args, const char*);
                    std::string text =
                        s ? std::string(
                                s, precision >= 0 ? BoundedLength(s, precision) : std::strlen(s))
                          : std::string("(null)");
                    out += One(directive + "s", EscapeControls(text).c_str());
                }
                break;
            case 'c':
                if (size == Size::Long) {
                    out += One(full, static_cast<wint_t>(va_arg(args, int)));
                } else {
                    char c = static_cast<char>(va_arg(args, int));
                    out += One(directive + "s", EscapeControls(std::string(1, c)).c_str());
                }
                break;
            case 'd':
            case 'i':
                switch (size) {
                    case Size::Long:
                        out += One(full, va_arg(args, long));
                        break;
                    case Size::LongLong:
                        out += One(full, va_arg(args, long long));
                        break;
                    case Size::Max:
                        out += One(full, va_arg(args, intmax_t));
                        break;
                    case Size::SizeT:
                    case Size::PtrDiff:
                        out += One(full, va_arg(args, ptrdiff_t));
                        break;
                    default:
                        out += One(full, va_arg(args, int));
                }
                break;
            case 'u':
            case 'o':
            case 'x':
            case 'X':
                switch (size) {
                    case Size::Long:
                        out += One(full, va_arg(args, unsigned long));
                        break;
                    case Size::LongLong:
                        out += One(full, va_arg(args, unsigned long long));
                        break;
                    case Size::Max:
                        out += One(full, va_arg(args, uintmax_t));
                        break;
                    case Size::SizeT:
                    case Size::PtrDiff:
                        out += One(full, va_arg(args, size_t));
                        break;
                    default:
                        out += One(full, va_arg(args, unsigned));
                }
                break;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (size == Size::LongDouble)
                    out += One(full, va_arg(args, long double));
                else
                    out += One(full, va_arg(args, double));
                break;
            case 'p':
                out += One(full, va_arg(args, void*));
                break;
            case 'n':
                va_arg(args, void*);  // the count is never written
                break;
            default:  // unknown: shown as written, no argument taken
                out.append(start, p);
        }
    }
    return out;
}

std::string FormatEscaped(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = FormatEscapedV(fmt, args);
    va_end(args);
    return s;
}

}  // namespace corv
