#include "platform/files.h"

namespace corv {

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string WithTrailingBackslash(const std::string& folder) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder;
    return folder + "\\";
}

bool ReadAllChunks(const std::function<long(char* buffer, size_t size, size_t* got)>& read,
                   std::string* out, long* error) {
    const size_t before = out->size();
    char buf[65536];
    for (;;) {
        size_t got = 0;
        long rc = read(buf, sizeof(buf), &got);
        if (rc != 0) {
            // A part of the file is missing: the caller must not take the rest for the whole.
            out->resize(before);
            *error = rc;
            return false;
        }
        if (got == 0) return true;
        out->append(buf, got);
    }
}

}  // namespace corv
