#include "query/substringsearch_p.h"

#include <QtGlobal>

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

bool plainFind(const char *text, size_t size, const char *word, size_t length)
{
    return std::string_view(text, size).find(std::string_view(word, length)) != std::string_view::npos;
}

#if defined(__x86_64__)

// memcmp for the few bytes of a word, without a library call per candidate.
inline bool sameBytes(const char *a, const char *b, size_t length)
{
    for (; length >= 8; a += 8, b += 8, length -= 8) {
        quint64 x = 0;
        quint64 y = 0;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x != y)
            return false;
    }
    for (; length > 0; ++a, ++b, --length) {
        if (*a != *b)
            return false;
    }
    return true;
}

__attribute__((target("avx2"))) bool avx2Find(
    const char *text, size_t size, const char *word, size_t length, size_t first, size_t second)
{
    const __m256i a = _mm256_set1_epi8(word[first]);
    const __m256i b = _mm256_set1_epi8(word[second]);
    size_t i = 0;
    // Every start in the block leaves room for the whole word (and so for both loads).
    for (; i + 31 + length <= size; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(text + i + first));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(text + i + second));
        auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(x, a), _mm256_cmpeq_epi8(y, b))));
        while (mask != 0) {
            const auto bit = static_cast<size_t>(__builtin_ctz(mask));
            if (sameBytes(text + i + bit, word, length))
                return true;
            mask &= mask - 1;
        }
    }
    return plainFind(text + i, size - i, word, length);
}

bool sse2Find(const char *text, size_t size, const char *word, size_t length, size_t first, size_t second)
{
    const __m128i a = _mm_set1_epi8(word[first]);
    const __m128i b = _mm_set1_epi8(word[second]);
    size_t i = 0;
    for (; i + 15 + length <= size; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + first));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + second));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, a), _mm_cmpeq_epi8(y, b))));
        while (mask != 0) {
            const auto bit = static_cast<size_t>(__builtin_ctz(mask));
            if (sameBytes(text + i + bit, word, length))
                return true;
            mask &= mask - 1;
        }
    }
    return plainFind(text + i, size - i, word, length);
}

#endif

} // namespace

namespace SubstringSearch {

Method fastest()
{
#if defined(__x86_64__)
    static const Method method = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? Method::avx2 : Method::sse2;
    }();
    return method;
#else
    return Method::plain;
#endif
}

bool contains(std::string_view text, std::string_view word, [[maybe_unused]] size_t first,
    [[maybe_unused]] size_t second, Method method)
{
    if (word.size() > text.size())
        return false;
    if (word.size() < 2 || method == Method::plain)
        return text.find(word) != std::string_view::npos;
#if defined(__x86_64__)
    if (method == Method::avx2)
        return avx2Find(text.data(), text.size(), word.data(), word.size(), first, second);
    return sse2Find(text.data(), text.size(), word.data(), word.size(), first, second);
#else
    return text.find(word) != std::string_view::npos;
#endif
}

} // namespace SubstringSearch
