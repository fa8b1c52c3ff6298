#include "installer/description/text_store.h"

namespace corv::inst {

TextStore& TextStore::operator=(const TextStore& other) {
    if (this != &other) {
        m_blocks = other.m_blocks;
        m_free = nullptr;
        m_left = 0;
    }
    return *this;
}

TextStore::TextStore(TextStore&& other) noexcept
    : m_blocks(std::move(other.m_blocks)), m_free(other.m_free), m_left(other.m_left) {
    other.m_blocks.clear();
    other.m_free = nullptr;
    other.m_left = 0;
}

TextStore& TextStore::operator=(TextStore&& other) noexcept {
    if (this != &other) {
        m_blocks = std::move(other.m_blocks);
        m_free = other.m_free;
        m_left = other.m_left;
        other.m_blocks.clear();
        other.m_free = nullptr;
        other.m_left = 0;
    }
    return *this;
}

void TextStore::Reserve(size_t bytes) {
    if (bytes <= m_left) return;
    std::shared_ptr<char[]> block(new char[bytes]);
    m_free = block.get();
    m_left = bytes;
    m_blocks.push_back(std::move(block));
}

void TextStore::Share(const TextStore& other) {
    if (&other == this) return;
    m_blocks.insert(m_blocks.end(), other.m_blocks.begin(), other.m_blocks.end());
}

}  // namespace corv::inst
