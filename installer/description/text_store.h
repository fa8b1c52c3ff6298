// Storage for the texts of a description's items. Items hold views into it, so that reading a
// large description copies each text once into a few large blocks instead of allocating a
// string per field. Stored texts never change; copies of a store share them.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "installer/description/byte_scan.h"

namespace corv::inst {

class TextStore {
  public:
    TextStore() = default;
    // A copy shares the stored texts and keeps its own texts in blocks of its own.
    TextStore(const TextStore& other) : m_blocks(other.m_blocks) {}
    TextStore& operator=(const TextStore& other);
    TextStore(TextStore&& other) noexcept;
    TextStore& operator=(TextStore&& other) noexcept;

    // A stored copy of `text`, valid as long as this store or a copy of it lives.
    std::string_view Keep(std::string_view text) {
        if (text.size() > m_left) Reserve(text.size() < kBlockBytes ? kBlockBytes : text.size());
        char* at = m_free;
        CopyBytes(at, text.data(), text.size());
        m_free += text.size();
        m_left -= text.size();
        return std::string_view(at, text.size());
    }
    // Makes room for `bytes` more bytes in one block, so that a reader that knows its total
    // allocates once.
    void Reserve(size_t bytes);
    // Keeps the texts of `other` alive as long as this store, so that views into them may be
    // copied over.
    void Share(const TextStore& other);

  private:
    static constexpr size_t kBlockBytes = 16 * 1024;

    std::vector<std::shared_ptr<char[]>> m_blocks;
    char* m_free = nullptr;  // the unused end of the last block, which only this store fills
    size_t m_left = 0;
};

}  // namespace corv::inst
