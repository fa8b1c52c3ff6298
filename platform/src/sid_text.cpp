#include "platform/session.h"
#include "platform/text.h"

namespace corv {

std::string FormatTextualSid(uint8_t revision, const uint8_t authority[6],
                             const std::vector<uint32_t>& subAuthorities) {
    std::string text = Format("S-%lu-", static_cast<unsigned long>(revision));
    if (authority[0] != 0 || authority[1] != 0) {
        text += Format(
            "0x%02hx%02hx%02hx%02hx%02hx%02hx", static_cast<unsigned short>(authority[0]),
            static_cast<unsigned short>(authority[1]), static_cast<unsigned short>(authority[2]),
            static_cast<unsigned short>(authority[3]), static_cast<unsigned short>(authority[4]),
            static_cast<unsigned short>(authority[5]));
    } else {
        unsigned long value = (static_cast<unsigned long>(authority[2]) << 24) |
                              (static_cast<unsigned long>(authority[3]) << 16) |
                              (static_cast<unsigned long>(authority[4]) << 8) |
                              static_cast<unsigned long>(authority[5]);
        text += Format("%lu", value);
    }
    for (uint32_t sub : subAuthorities) text += Format("-%lu", static_cast<unsigned long>(sub));
    return text;
}

}  // namespace corv
