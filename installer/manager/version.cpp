#include "installer/manager/version.h"

#include "platform/text.h"

namespace corv::inst {

bool ParseVersion(const std::string& text, std::vector<uint32_t>* fields) {
    std::string t = Trim(text);
    fields->clear();
    if (t.empty()) return false;
    uint32_t value = 0;
    size_t digits = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
        char c = i < t.size() ? t[i] : '.';
        if (c >= '0' && c <= '9') {
            if (++digits > 9) return false;
            value = value * 10 + static_cast<uint32_t>(c - '0');
        } else if ((c == '.' || c == '-') && digits > 0) {
            fields->push_back(value);
            value = 0;
            digits = 0;
        } else {
            return false;
        }
    }
    return true;
}

bool CompareVersions(const std::string& a, const std::string& b, int* order) {
    std::vector<uint32_t> x, y;
    if (!ParseVersion(a, &x) || !ParseVersion(b, &y)) return false;
    size_t n = x.size() > y.size() ? x.size() : y.size();
    x.resize(n, 0);
    y.resize(n, 0);
    *order = x < y ? -1 : x > y ? 1 : 0;
    return true;
}

}  // namespace corv::inst
