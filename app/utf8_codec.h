// The UTF-8 encoder and decoder under the text helpers (app/text.h).
#pragma once
#include <cstddef>
#include <string>

namespace utf8 {

constexpr char32_t kReplacement = 0xFFFD;

// Appends the encoding of `c` (at most U+10FFFF, no surrogate).
void append(std::string& out, char32_t c);

// Decodes one code point at `i` (< s.size()) and advances past it; an
// ill-formed sequence yields U+FFFD and advances by its maximal valid prefix
// (at least one byte).
char32_t next(const std::string& s, size_t& i);

}  // namespace utf8
