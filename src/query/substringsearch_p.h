#pragma once

#include <string_view>

// Byte substring search for SearchWord. The vector methods test two chosen bytes of the word
// (at offsets `first` < `second`) against 16 or 32 positions at a time and compare the whole
// word only where both agree; every method gives the same answer.
namespace SubstringSearch {

enum class Method { plain, sse2, avx2 };

// The fastest method this processor runs.
Method fastest();

bool contains(std::string_view text, std::string_view word, size_t first, size_t second, Method method);

} // namespace SubstringSearch
