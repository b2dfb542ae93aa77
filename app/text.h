// Text helpers shared by the bridge and the platform edges.
#pragma once
#include <cstddef>
#include <string>
#include <utility>

// Splits at the first ':'. Without a ':' the head is the whole text and the
// tail is empty; the tail may hold further colons.
std::pair<std::string, std::string> split_at_first_colon(const std::string& text);

// UTF-8 <-> UTF-16. Ill-formed input (bad bytes, truncated sequences,
// overlongs, surrogates encoded in UTF-8, lone surrogates in UTF-16) becomes
// U+FFFD; the output is always well formed.
std::string utf16_to_utf8(const std::u16string& text);
std::u16string utf8_to_utf16(const std::string& text);

// The UTF-8 encoder and decoder under these helpers.
namespace utf8 {
constexpr char32_t kReplacement = 0xFFFD;
// Appends the encoding of `c` (at most U+10FFFF, no surrogate).
void append(std::string& out, char32_t c);
// Decodes one code point at `i` (< s.size()) and advances past it; an
// ill-formed sequence yields U+FFFD and advances by its maximal valid prefix
// (at least one byte).
char32_t next(const std::string& s, size_t& i);
}  // namespace utf8

// The text with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string make_valid_utf8(const std::string& text);

// A double-quoted literal that both JSON.parse and JavaScript read back as
// `text`: quotes, backslash, every control character, U+2028/U+2029 and '<'
// are escaped; ill-formed UTF-8 is first replaced by U+FFFD.
std::string quote_js_string(const std::string& text);

// Reads one JSON string literal (the whole input, surrounding blanks allowed).
// \uXXXX escapes are decoded; a lone surrogate becomes U+FFFD. Returns false
// when the input is not a single JSON string.
bool parse_json_string(const std::string& literal, std::string* out);
