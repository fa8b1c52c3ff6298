#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/files.h"

namespace corv {

namespace {

// UTF-16 units of a UTF-8 text: one per character, two for those beyond the basic plane.
size_t Utf16Units(const std::string& utf8) {
    size_t units = 0;
    for (char ch : utf8) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) ++units;  // not a continuation byte
        if (c >= 0xF0) ++units;           // a four-byte character takes a surrogate pair
    }
    return units;
}

}  // namespace

long SetCurrentFolder(const std::string& path) {
    const bool endsInSeparator = !path.empty() && (path.back() == '\\' || path.back() == '/');
    const size_t units = Utf16Units(path) + (endsInSeparator ? 0 : 1) + 1;
    if (units > kCurrentFolderLimit) return kErrFilenameExcedRange;
    if (!IsDirectory(path)) return kErrDirectory;
    return ChangeFolder(path);
}

}  // namespace corv
