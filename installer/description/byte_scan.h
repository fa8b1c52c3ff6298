// Byte searches for the reader's hottest loops. Lines are short, so an inline search beats a
// library call; on x86 sixteen bytes are compared at a time.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

// CORV_SCALAR_BYTE_SCAN selects the byte-at-a-time code of targets without SSE2 (32-bit
// Windows), so that its test runs natively too.
#if defined(__SSE2__) && !defined(CORV_SCALAR_BYTE_SCAN)
#define CORV_SSE2_BYTE_SCAN 1
#include <emmintrin.h>
#endif

namespace corv::inst {

#ifdef CORV_SSE2_BYTE_SCAN
inline unsigned Matches(const char* p, __m128i a) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, a)));
}

inline unsigned Matches(const char* p, __m128i a, __m128i b) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, a), _mm_cmpeq_epi8(bytes, b))));
}
#endif

// Copies n bytes. The pieces of a line are short, and a library call per piece would cost
// more than the copy: short lengths take two overlapping fixed-size moves.
inline void CopyBytes(char* to, const char* from, size_t n) {
    if (n >= 16) {
        size_t i = 0;
        for (; i + 16 <= n; i += 16) std::memcpy(to + i, from + i, 16);
        if (i < n) std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (size_t i = 0; i < n; ++i) to[i] = from[i];
    }
}

// The first byte in [p, end) that is `a` or `b`, or end.
inline const char* FindEither(const char* p, const char* end, char a, char b) {
#ifdef CORV_SSE2_BYTE_SCAN
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b);
    for (size_t blocks = static_cast<size_t>(end - p) / 16; blocks > 0; --blocks, p += 16) {
        unsigned hits = Matches(p, va, vb);
        if (hits) return p + __builtin_ctz(hits);
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b) return p;
    return end;
}

// What one pass over a whole text finds.
struct TextSurvey {
    bool nonAscii = false;  // a byte outside ASCII
    bool nul = false;       // a NUL byte
    size_t lineFeeds = 0;   // LF bytes
};

// One pass over a whole text, sixty-four bytes a round: a text of megabytes is read from
// memory once for all of these. Calls atOpen(i, lineFeedsBefore) for each "[" at i that starts
// a line (the text's first byte, or one after CR or LF), in order.
template <typename AtOpen>
inline TextSurvey SurveyText(std::string_view text, AtOpen atOpen) {
    const char* p = text.data();
    const size_t size = text.size();
    TextSurvey survey;
    size_t i = 0;
    auto startsLine = [&](size_t at) { return at == 0 || p[at - 1] == '\n' || p[at - 1] == '\r'; };
#ifdef CORV_SSE2_BYTE_SCAN
    const __m128i zero = _mm_setzero_si128(), lf = _mm_set1_epi8('\n'), open = _mm_set1_epi8('[');
    // Per-byte-lane LF counts, gathered into lineFeeds before a lane can overflow.
    __m128i any = zero, least = _mm_set1_epi8(-1), lanes = zero;
    unsigned roundsInLanes = 0;
    auto gatherLanes = [&] {
        __m128i sums = _mm_sad_epu8(lanes, zero);
        survey.lineFeeds += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
                            static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
        lanes = zero;
        roundsInLanes = 0;
    };
    for (; i + 64 <= size; i += 64) {
        const __m128i* block = reinterpret_cast<const __m128i*>(p + i);
        __m128i b0 = _mm_loadu_si128(block), b1 = _mm_loadu_si128(block + 1),
                b2 = _mm_loadu_si128(block + 2), b3 = _mm_loadu_si128(block + 3);
        any = _mm_or_si128(any, _mm_or_si128(_mm_or_si128(b0, b1), _mm_or_si128(b2, b3)));
        least = _mm_min_epu8(least, _mm_min_epu8(_mm_min_epu8(b0, b1), _mm_min_epu8(b2, b3)));
        __m128i opens =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b0, open), _mm_cmpeq_epi8(b1, open)),
                         _mm_or_si128(_mm_cmpeq_epi8(b2, open), _mm_cmpeq_epi8(b3, open)));
        if (_mm_movemask_epi8(opens)) {
            // Rare: the LF bytes before each "[" of this round are counted one by one.
            gatherLanes();
            size_t feeds = survey.lineFeeds;
            for (size_t j = i; j < i + 64; ++j) {
                if (p[j] == '[' && startsLine(j)) atOpen(j, feeds);
                feeds += p[j] == '\n';
            }
        }
        lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(b0, lf));
        lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(b1, lf));
        lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(b2, lf));
        lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(b3, lf));
        // Each round adds at most four to a lane.
        if (++roundsInLanes == 63) gatherLanes();
    }
    gatherLanes();
    survey.nonAscii = _mm_movemask_epi8(any) != 0;
    survey.nul = _mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0;
#endif
    for (; i < size; ++i) {
        survey.nonAscii |= static_cast<unsigned char>(p[i]) >= 0x80;
        survey.nul |= p[i] == '\0';
        if (p[i] == '[' && startsLine(i)) atOpen(i, survey.lineFeeds);
        survey.lineFeeds += p[i] == '\n';
    }
    return survey;
}

// True when no byte of `text` is outside ASCII.
inline bool IsAscii(std::string_view text) {
    const char* p = text.data();
    size_t i = 0;
#ifdef CORV_SSE2_BYTE_SCAN
    __m128i any = _mm_setzero_si128();
    for (; i + 16 <= text.size(); i += 16)
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    if (_mm_movemask_epi8(any)) return false;
#endif
    unsigned char rest = 0;
    for (; i < text.size(); ++i) rest |= static_cast<unsigned char>(p[i]);
    return rest < 0x80;
}

// The first CR or LF in [p, end), or end.
inline const char* FindLineBreak(const char* p, const char* end) {
    return FindEither(p, end, '\r', '\n');
}

// The position of `c` in `text` at or after `from`, or npos.
inline size_t FindByte(std::string_view text, char c, size_t from = 0) {
    const char* p = text.data();
    size_t i = from;
#ifdef CORV_SSE2_BYTE_SCAN
    const __m128i vc = _mm_set1_epi8(c);
    for (; i + 16 <= text.size(); i += 16) {
        unsigned hits = Matches(p + i, vc);
        if (hits) return i + static_cast<size_t>(__builtin_ctz(hits));
    }
#endif
    for (; i < text.size(); ++i)
        if (p[i] == c) return i;
    return std::string_view::npos;
}

// Writes the position of each `a` and `b` in `text` to `at`, in order, and returns their
// number; `at` has room for text.size() positions. The text lies in a buffer that starts at
// `floor`: its last bytes are compared as one block that ends with the text and may start
// before it, rather than one by one.
inline size_t FindEach(std::string_view text, char a, char b, uint32_t* at, const char* floor) {
    const char* p = text.data();
    size_t i = 0, n = 0;
#ifdef CORV_SSE2_BYTE_SCAN
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b);
    for (; i + 16 <= text.size(); i += 16) {
        for (unsigned hits = Matches(p + i, va, vb); hits; hits &= hits - 1)
            at[n++] = static_cast<uint32_t>(i + static_cast<size_t>(__builtin_ctz(hits)));
    }
    if (i < text.size() && static_cast<size_t>(p - floor) + text.size() >= 16) {
        // The block's first 16 - (text.size() - i) bytes were compared already.
        for (unsigned hits = Matches(p + text.size() - 16, va, vb) >> (16 - (text.size() - i));
             hits; hits &= hits - 1)
            at[n++] = static_cast<uint32_t>(i + static_cast<size_t>(__builtin_ctz(hits)));
        return n;
    }
#else
    (void)floor;
#endif
    for (; i < text.size(); ++i)
        if (p[i] == a || p[i] == b) at[n++] = static_cast<uint32_t>(i);
    return n;
}

// The end of the run of letters, digits and "_" that starts at `from`.
inline size_t NameEnd(std::string_view text, size_t from) {
    const char* p = text.data();
    size_t i = from;
#ifdef CORV_SSE2_BYTE_SCAN
    const __m128i caseBit = _mm_set1_epi8(0x20), beforeA = _mm_set1_epi8('a' - 1),
                  afterZ = _mm_set1_epi8('z' + 1), before0 = _mm_set1_epi8('0' - 1),
                  after9 = _mm_set1_epi8('9' + 1), underscore = _mm_set1_epi8('_');
    for (; i + 16 <= text.size(); i += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Signed compares: bytes from 0x80 on count as negative and are never name bytes.
        __m128i lower = _mm_or_si128(bytes, caseBit);
        __m128i letter =
            _mm_and_si128(_mm_cmpgt_epi8(lower, beforeA), _mm_cmpgt_epi8(afterZ, lower));
        __m128i digit =
            _mm_and_si128(_mm_cmpgt_epi8(bytes, before0), _mm_cmpgt_epi8(after9, bytes));
        __m128i name = _mm_or_si128(_mm_or_si128(letter, digit), _mm_cmpeq_epi8(bytes, underscore));
        unsigned other = ~static_cast<unsigned>(_mm_movemask_epi8(name)) & 0xFFFFu;
        if (other) return i + static_cast<size_t>(__builtin_ctz(other));
    }
#endif
    for (; i < text.size(); ++i) {
        char c = p[i];
        bool name =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!name) break;
    }
    return i;
}

// Calls found(i) for the position i of each `c` in `text`, in order.
template <typename Found>
inline void ForEachByte(std::string_view text, char c, Found found) {
    const char* p = text.data();
    size_t i = 0;
#ifdef CORV_SSE2_BYTE_SCAN
    const __m128i vc = _mm_set1_epi8(c);
    for (; i + 16 <= text.size(); i += 16) {
        unsigned hits = Matches(p + i, vc);
        for (; hits; hits &= hits - 1) found(i + static_cast<size_t>(__builtin_ctz(hits)));
    }
#endif
    for (; i < text.size(); ++i)
        if (p[i] == c) found(i);
}

}  // namespace corv::inst
